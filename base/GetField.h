#pragma once
#include <QChar>
#include <QString>

// The N-th piece (from 1) of a text cut at every occurrence of the separator. Pieces are not
// trimmed; two separators in a row give an empty piece; the last piece runs to the end of the
// text. A text of nothing but blanks, a text with fewer than N - 1 separators and an N below 1
// give an empty piece.
QString GetField(const QString& text, QChar sep, int n);
