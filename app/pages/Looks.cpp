#include "app/pages/Looks.h"

#include <QFont>
#include <QPalette>
#include <QWidget>

namespace looks {

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette p = widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, color);
    widget->setPalette(p);
}

QColor TextColor(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

void SetBold(QWidget* widget, int pointSize) {
    QFont f = widget->font();
    f.setBold(true);
    if (pointSize > 0)
        f.setPointSize(pointSize);
    widget->setFont(f);
}

void SetBoldPixels(QWidget* widget, int pixelSize) {
    QFont f = widget->font();
    f.setBold(true);
    f.setPixelSize(pixelSize);
    widget->setFont(f);
}

} // namespace looks
