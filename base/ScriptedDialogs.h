#pragma once
// While a script drives the console, modal dialogs do not wait for a person: each one prints
// "dialog: <title>: <message>" and takes the next queued answer, or its default when none is
// queued. Every modal dialog of the console asks here first.
#include <QString>
#include <optional>

namespace scripted {

enum class AnswerKind { Ok, Cancel, Yes, No, Path };

struct DialogAnswer {
    AnswerKind kind = AnswerKind::Ok;
    QString path; // for AnswerKind::Path (a save dialog's file name)
};

// True while a script runs the console.
bool Active();
void SetActive(bool on);

void QueueAnswer(const DialogAnswer& answer);
// The next queued answer, if any (removed from the queue).
std::optional<DialogAnswer> NextAnswer();
// Prints "dialog: <title>: <message>" on standard output.
void Report(const QString& title, const QString& message);
// Empties the queue (tests).
void Reset();

} // namespace scripted
