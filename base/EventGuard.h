#pragma once
// Every event (click, timer tick, socket notice) enters the program's logic through Guarded():
// a failure that escapes the handler is shown by the installed failure handler (a message box
// in the console) and the program goes on with whatever state the handler left. No exception
// ever crosses Qt's signal machinery.
//
// Only a Failure (and running out of memory) is the operator's business. Anything else that
// escapes (std::logic_error, std::out_of_range, ...) is a programming error: a debug build ends
// with its text on standard error, so that it cannot pass unnoticed; a release build logs it and
// shows it like a failure, so that the operator's session is not lost.
#include <QString>
#include <functional>

void Guarded(const std::function<void()>& handler) noexcept;

// Installs what shows an escaped failure's text; the default prints it on standard error.
void SetFailureHandler(std::function<void(const QString&)> show);

// Installs what happens to an escaped programming error instead of the build's default above
// (the test entry points fail the running test); an empty function restores the default.
void SetProgrammingErrorHandler(std::function<void(const QString&)> handle);
