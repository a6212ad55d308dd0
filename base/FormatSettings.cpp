#include "base/FormatSettings.h"

#include <QRegularExpression>

FormatSettings FormatSettings::fromLocale(const QLocale& locale) {
    FormatSettings fs;
    const QString dec = locale.decimalPoint();
    fs.decimalSeparator = dec.isEmpty() ? QChar('.') : dec.front();
    // The year always has four digits: a two-digit year read back would put the logger's clock
    // into the first century.
    fs.shortDateFormat = locale.dateFormat(QLocale::ShortFormat)
                             .replace(QRegularExpression("(?<!y)y{1,3}(?!y)"), "yyyy");
    // The operator's long time is hours, minutes and seconds; the zone name that Qt's long
    // format adds belongs to no clock the logger keeps.
    fs.longTimeFormat = locale.timeFormat(QLocale::LongFormat)
                            .remove(QRegularExpression("\\s*(?<![A-Za-z'])t+(?![A-Za-z'])"))
                            .trimmed();
    // The time separator is the first character after the hour field that is not a letter.
    const QString& t = fs.longTimeFormat;
    const qsizetype h = t.indexOf(QRegularExpression("[hH]"));
    fs.timeSeparator = ':';
    if (h >= 0) {
        for (qsizetype i = h; i < t.size(); ++i) {
            if (!t[i].isLetter() && t[i] != '\'' && !t[i].isSpace()) {
                fs.timeSeparator = t[i];
                break;
            }
        }
    }
    return fs;
}

FormatSettings FormatSettings::system() {
    return fromLocale(QLocale::system());
}

QString Fixed2(double value, const FormatSettings& fs) {
    QString s = QString::asprintf("%.2f", value);
    if (fs.decimalSeparator != '.')
        s.replace('.', fs.decimalSeparator);
    return s;
}
