#pragma once
// The rows of a poked block as the fakes of the spreadsheet service keep them.
#include <QByteArray>
#include <QStringList>

// UTF-8 rows, each followed by CR LF, as a list of rows.
inline QStringList PokedLines(const QByteArray& rows) {
    QStringList lines = QString::fromUtf8(rows).split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the last line end
    return lines;
}
