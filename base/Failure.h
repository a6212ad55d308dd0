#pragma once
// A failure carrying the system's message text. Handlers let it escape; the event guard of the
// main window shows the text in a message box and the program goes on.
#include <QString>
#include <stdexcept>

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};
