#pragma once
// The operator's number and date conventions, read once from the system locale at start and
// handed to every piece of code that formats, so that tests can pick any convention.
#include <QChar>
#include <QLocale>
#include <QString>

struct FormatSettings {
    QChar decimalSeparator{'.'};
    QChar timeSeparator{':'};
    QString shortDateFormat{"dd.MM.yyyy"}; // Qt date pattern, always a four-digit year
    QString longTimeFormat{"hh:mm:ss"};    // Qt time pattern

    static FormatSettings fromLocale(const QLocale& locale);
    static FormatSettings system();
};

// "%.2f" with the operator's decimal separator, no thousands separator.
QString Fixed2(double value, const FormatSettings& fs);
// A separator as a byte of the 8-bit code page of saved text files; one it lacks becomes "?", as
// in every other text that goes to such a file.
inline char Latin1Of(QChar c) {
    return c.unicode() < 256 ? static_cast<char>(c.unicode()) : '?';
}
// "%d" of an integer.
inline QString Int(long long value) {
    return QString::number(value);
}
