#pragma once
#include <QString>

// A plain message box titled with the application title and an OK button: how the program
// shows a failure that escaped an event handler, and the serial component's fallback message.
void ShowMessage(const QString& text);
