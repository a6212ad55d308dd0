#pragma once
// A configuration file in the Windows INI form: "[Section]" lines followed by "Key=Value" lines,
// section and key names compared without regard to case, the first section and key of a name
// counting. Reads integer keys; writes integer keys while keeping every other line of the file
// as it was. Any content, also garbage or binary, reads without harm: unusable values give the
// caller's default.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class IniFile {
public:
    // Reads the file now; a missing or unreadable file reads as empty.
    explicit IniFile(QString path);

    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Sets the key in memory (adding the section or key when missing); Save writes it out.
    void WriteInteger(const QString& section, const QString& key, int value);
    // Replaces the file with the contents in memory through a temporary file beside it, so a
    // failed write leaves the old file whole. Throws Failure("Unable to write to <path>:
    // <reason>").
    void Save() const;

    // An integer value by the reading rules: surrounding blanks (and a pair of matching quotes)
    // ignored; more than two characters starting "0x" or "0X" read as hexadecimal up to 32 bits;
    // otherwise an optionally signed decimal in the 32-bit range; anything else gives nothing.
    static std::optional<int> ParseInteger(const QByteArray& text);

private:
    struct Found {
        qsizetype section = -1; // line of the section header, -1 when there is none
        qsizetype key = -1;     // line of the key, -1 when the section lacks it
        qsizetype end = -1;     // line after the section's last non-blank line
    };
    Found Find(const QString& section, const QString& key) const;
    QByteArray Line(const QByteArray& text) const; // text plus the file's line end

    QString path_;
    QList<QByteArray> lines_; // without '\n'; a '\r' of a CR LF line end kept
    bool crlf_ = false;       // the file ends its lines in CR LF
};
