#include "export/WorkbookLock.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <sys/stat.h>
#include <unistd.h>

#include "base/RegularFile.h"

namespace {

constexpr qsizetype ReadBytes = 4096;
constexpr qsizetype NameChars = 64;

// The first bytes of the file, when it is a regular one.
QByteArray Head(const QString& path) {
    const RegularFileOpen file = OpenRegularFile(QFile::encodeName(path));
    if (!file.Ok())
        return {};
    QByteArray bytes(ReadBytes, Qt::Uninitialized);
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(file.fd, bytes.data() + have, size_t(bytes.size() - have));
        if (n <= 0)
            break;
        have += n;
    }
    ::close(file.fd);
    bytes.resize(have);
    return bytes;
}

// A name as it may be shown: printable characters only, blanks trimmed, cut short.
QString Printable(const QString& text) {
    QString out;
    for (const QChar c : text)
        if (c.isPrint())
            out += c;
    out = out.trimmed();
    return out.size() > NameChars ? out.left(NameChars) + QStringLiteral("...") : out;
}

// LibreOffice's lock file: one entry "author,system user,host,time,profile;", where a backslash
// takes the next character as it is (a comma or a semicolon in a name).
QString LibreOfficeUser(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    QStringList fields{QString()};
    for (qsizetype i = 0; i < text.size() && text[i] != ';'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            fields.back() += text[++i];
        else if (text[i] == ',')
            fields << QString();
        else
            fields.back() += text[i];
    }
    const QString author = Printable(fields.value(0));
    const QString account = Printable(fields.value(1));
    const QString host = Printable(fields.value(2));
    QString user = author.isEmpty()    ? account
                   : account.isEmpty() ? author
                                       : author + " (" + account + ")";
    if (!user.isEmpty() && !host.isEmpty())
        user += QStringLiteral(" on ") + host;
    return user;
}

// Excel's owner file: a length byte and that many bytes of the user's name in the system's
// 8-bit code page, and from byte 54 the same name once more in UTF-16 after its length.
QString ExcelUser(const QByteArray& bytes) {
    const int n = bytes.isEmpty() ? 0 : uchar(bytes[0]);
    if (n == 0 || n >= bytes.size())
        return {};
    constexpr qsizetype Wide = 54;
    if (bytes.size() >= Wide + 2 + 2 * n && uchar(bytes[Wide]) + 256 * uchar(bytes[Wide + 1]) == n)
        return Printable(QStringDecoder(QStringDecoder::Utf16LE)
                             .decode(QByteArrayView(bytes.constData() + Wide + 2, 2 * n)));
    return Printable(QString::fromLatin1(bytes.constData() + 1, n));
}

bool Present(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

std::optional<WorkbookHolder> WorkbookHeldBy(const QString& workbook) {
    const QFileInfo named(workbook);
    QStringList places{named.absoluteFilePath()};
    if (named.isSymLink() && !named.canonicalFilePath().isEmpty())
        places << named.canonicalFilePath();
    for (const QString& place : places) {
        const QFileInfo file(place);
        const QString folder = file.absolutePath() + '/';
        const QString office = folder + ".~lock." + file.fileName() + '#';
        if (Present(office))
            return WorkbookHolder{QStringLiteral("LibreOffice"), LibreOfficeUser(Head(office)),
                                  office};
        const QString excel = folder + "~$" + file.fileName();
        if (Present(excel))
            return WorkbookHolder{QStringLiteral("Excel"), ExcelUser(Head(excel)), excel};
    }
    return std::nullopt;
}

QString HeldMessage(const QString& workbook, const WorkbookHolder& holder) {
    return QStringLiteral("%1 is open in %2%3. Close it there first; if %2 no longer runs, remove "
                          "%4.")
        .arg(QFileInfo(workbook).fileName(), holder.program,
             holder.user.isEmpty() ? QString() : QStringLiteral(" by ") + holder.user,
             holder.lockFile);
}
