#pragma once
// Every event (click, timer tick, socket notice) enters the program's logic through Guarded():
// a failure that escapes the handler is shown by the installed failure handler (a message box
// in the console) and the program goes on with whatever state the handler left. No exception
// ever crosses Qt's signal machinery.
#include <QString>
#include <functional>

void Guarded(const std::function<void()>& handler) noexcept;

// Installs what shows an escaped failure's text; the default prints it on standard error.
void SetFailureHandler(std::function<void(const QString&)> show);
