#pragma once
// Windows-1256 (Arabic) text to Unicode. The standard dialog keeps one word in this code page,
// the Arabic cancel caption, as it was stored in the form's source.
#include <QByteArrayView>
#include <QString>

// Every byte value maps to a character, so any input decodes.
QString DecodeWindows1256(QByteArrayView bytes);
