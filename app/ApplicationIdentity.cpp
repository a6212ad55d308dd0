#include "app/ApplicationIdentity.h"

#include <QApplication>
#include <QIcon>

void SetApplicationIdentity() {
    // The name only: a display name would be appended to the window caption by the
    // window system's integration ("... — Impix II.").
    QApplication::setApplicationName("Impix II.");
    QApplication::setWindowIcon(QIcon::fromTheme("impix", QIcon(":/icons/impix.png")));
    // The desktop entry the windows belong to (the shell's icon and grouping).
    QGuiApplication::setDesktopFileName("org.impix.Console");
}
