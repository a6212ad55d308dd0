#include "export/TemplateCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/RegularFile.h"

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;

tl::unexpected<Error> CannotCreate(const QString& target) {
    return Fail(QStringLiteral("Cannot create file %1").arg(target));
}

bool Stat(const QString& path, struct stat& st) {
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

// Creates the missing folders of `folder`. Refuses before creating anything when the nearest
// existing ancestor is no folder, so a failure leaves no half-made path behind.
bool MakeFolders(const QString& folder) {
    QString probe = QDir::cleanPath(folder);
    struct stat st {};
    while (!Stat(probe, st)) {
        const QString up = QFileInfo(probe).path();
        if (up == probe)
            return false;
        probe = up;
    }
    if (!S_ISDIR(st.st_mode))
        return false;
    return QDir().mkpath(folder);
}

} // namespace

QString TemplateWorkbookPath(const QString& programFolder) {
    const QString shipped = programFolder + QStringLiteral("Forms/Table1.xlsx");
    const QString own = programFolder + QStringLiteral("Forms/Table1.xls");
    return !QFileInfo::exists(shipped) && QFileInfo::exists(own) ? own : shipped;
}

Result<std::unique_ptr<ReplacingFile>> CopyTemplate(const QString& templatePath,
                                                    const QString& target) {
    // Only a regular file: a pipe in the template's place would hold the copy up for good.
    const RegularFileOpen opened = OpenRegularFile(QFile::encodeName(templatePath));
    QFile source;
    struct stat sourceStat {};
    if (!opened.Ok() || ::fstat(opened.fd, &sourceStat) != 0 ||
        !source.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (opened.Ok())
            ::close(opened.fd);
        return Fail(QStringLiteral("Cannot open file %1").arg(templatePath));
    }

    if (target.isEmpty() || !MakeFolders(QFileInfo(target).absolutePath()))
        return CannotCreate(target);
    auto copy = std::make_unique<ReplacingFile>(target);
    if (!copy->OpenKept())
        return CannotCreate(target);

    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(chunk.data(), ChunkBytes);
        if (n < 0)
            return Fail(QStringLiteral("Stream read error"));
        if (n == 0)
            break;
        if (!copy->Write(QByteArray::fromRawData(chunk.constData(), n)))
            return Fail(QStringLiteral("Stream write error"));
    }
    if (!copy->Keep())
        return Fail(QStringLiteral("Stream write error"));

    // The copy carries the template's date; a file system that cannot keep it still has a
    // complete copy, so a failure here is not reported.
    const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(copy->KeptPath()).constData(), times, 0);
    return copy;
}
