#pragma once
// Drives modal dialogs from a test: a step runs as soon as the dialog of a name is the active
// modal window, inside its event loop.
#include <QString>
#include <functional>

class QWidget;

void OnModal(const QString& name, std::function<void(QWidget*)> step);
// Closes every modal dialog still open after `ms`, so that a broken test fails instead of
// hanging.
void StartWatchdog(int ms = 20000);
void StopWatchdog();
