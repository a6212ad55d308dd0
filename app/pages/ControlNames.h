#pragma once
// Finding the console's controls by their control names (their objectName). Widgets that Qt
// makes inside composite widgets carry names beginning with "qt_" and are no controls.
#include <QString>
#include <QStringList>

class QWidget;

// The names of all named controls below `root`, in creation order.
QStringList ControlNames(const QWidget* root);
// The names that occur more than once below `root` (empty when all are unique).
QStringList DuplicateControlNames(const QWidget* root);
// The control of that name below `root`, or nullptr.
QWidget* FindControl(const QWidget* root, const QString& name);
