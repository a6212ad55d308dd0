#include "serial/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <cstdint>

#include "base/Failure.h"
#include "base/ReplacingFile.h"

namespace {
bool SameName(const QByteArray& name, const QString& wanted) {
    return QString::fromUtf8(name).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The section name of a "[Name]" line, or nothing for any other line.
std::optional<QByteArray> SectionName(QByteArray t) {
    if (t.startsWith("\xEF\xBB\xBF")) // a UTF-8 mark left by some editors
        t = t.mid(3).trimmed();
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

bool IsComment(const QByteArray& t) {
    return t.startsWith(';') || t.startsWith('#');
}

QByteArray KeyName(const QByteArray& t) {
    const qsizetype eq = t.indexOf('=');
    return (eq < 0 ? t : t.left(eq)).trimmed();
}

QByteArray KeyValue(const QByteArray& t) {
    const qsizetype eq = t.indexOf('=');
    return eq < 0 ? QByteArray() : t.mid(eq + 1).trimmed();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {
    // Only a plain file is read: a device or pipe named by mistake must not hang the reader.
    if (!QFileInfo(path_).isFile())
        return;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    if (content.isEmpty())
        return;
    lines_ = content.split('\n');
    if (content.endsWith('\n'))
        lines_.removeLast();
    crlf_ = !lines_.isEmpty() && lines_.first().endsWith('\r');
}

IniFile::Found IniFile::Find(const QString& section, const QString& key) const {
    Found f;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QByteArray t = lines_[i].trimmed();
        if (const auto name = SectionName(t)) {
            if (f.section >= 0)
                break; // the end of the section sought
            if (SameName(*name, section)) {
                f.section = i;
                f.end = i + 1;
            }
            continue;
        }
        if (f.section < 0 || t.isEmpty())
            continue;
        f.end = i + 1;
        if (f.key < 0 && !IsComment(t) && SameName(KeyName(t), key))
            f.key = i;
    }
    return f;
}

QByteArray IniFile::Line(const QByteArray& text) const {
    return crlf_ ? text + '\r' : text;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    const Found f = Find(section, key);
    if (f.key < 0)
        return def;
    return ParseInteger(KeyValue(lines_[f.key].trimmed())).value_or(def);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value) {
    const QByteArray text = QByteArray::number(value);
    const Found f = Find(section, key);
    if (f.key >= 0) {
        // The key keeps the spelling it has in the file.
        const QByteArray& old = lines_[f.key];
        const QByteArray line = KeyName(old.trimmed()) + '=' + text;
        lines_[f.key] = old.endsWith('\r') ? line + '\r' : line;
    } else if (f.section >= 0) {
        lines_.insert(f.end, Line(key.toUtf8() + '=' + text));
    } else {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(Line(QByteArray()));
        lines_.append(Line('[' + section.toUtf8() + ']'));
        lines_.append(Line(key.toUtf8() + '=' + text));
    }
}

void IniFile::Save() const {
    QByteArray text;
    for (const QByteArray& line : lines_)
        text += line + '\n';
    if (Result<void> written = ReplacingFile::WriteWhole(path_, text); !written)
        throw Failure("Unable to write to " + path_ + ": " + written.error().text);
}

std::optional<int> IniFile::ParseInteger(const QByteArray& text) {
    QByteArray t = text.trimmed();
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        t = t.mid(1, t.size() - 2);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        uint64_t v = 0;
        for (qsizetype i = 2; i < t.size(); ++i) {
            const int d = HexDigit(t[i]);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + static_cast<uint64_t>(d);
            if (v > 0xFFFFFFFFu)
                return std::nullopt;
        }
        // Eight hex digits fill the 32-bit word: 0xFFFFFFFF is -1.
        return static_cast<int32_t>(static_cast<uint32_t>(v));
    }
    qsizetype i = 0;
    const bool negative = !t.isEmpty() && t[0] == '-';
    if (!t.isEmpty() && (t[0] == '-' || t[0] == '+'))
        ++i;
    if (i >= t.size())
        return std::nullopt;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return std::nullopt;
        v = v * 10 + (t[i] - '0');
        if (v > int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return std::nullopt;
    return static_cast<int>(v);
}
