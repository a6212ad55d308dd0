#pragma once
// The few looks the console's controls carry: the named colours of the original palette and
// bold or sized fonts. Colours go into the palette's text roles so that whoever later
// changes a state label's colour (connection state, server state) does it the same way.
#include <QColor>

class QWidget;

namespace looks {

inline const QColor kGreen{0, 128, 0};
inline const QColor kRed{255, 0, 0};
inline const QColor kBlue{0, 0, 255};

// The colour of a label's or button's text.
void SetTextColor(QWidget* widget, const QColor& color);
QColor TextColor(const QWidget* widget);
// Bold text; pointSize > 0 also sets the size in points.
void SetBold(QWidget* widget, int pointSize = 0);
// Bold text of a size in pixels.
void SetBoldPixels(QWidget* widget, int pixelSize);

} // namespace looks
