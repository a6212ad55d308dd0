#pragma once
// Messages and questions are shown at most this wide, whatever their length: a sentence wraps at
// its blanks, a long path or word inside itself, so no dialog runs off a small screen.
#include <QString>

class QFont;

// The widest line of a message, in pixels; the dialogs add their icon and margins to it.
inline constexpr int kMessageTextWidth = 480;

// The text with line breaks where a label in `font` at most `width` pixels wide wraps it: at the
// blanks, and inside a word that is wider than a line. Its own line breaks stay; the blanks at
// a break go.
QString WrapMessage(const QString& text, const QFont& font, int width = kMessageTextWidth);
