#pragma once
// Drives the console from a file of commands, one a line, by control name, raising the same
// events as an operator: click, set, page, print, grab, wait, answer, quit. Commands run from
// the event loop, so a command that opens a modal dialog lets the following commands drive it.
#include <QObject>
#include <QStringList>

class QWidget;

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    explicit ScriptRunner(QStringList lines, QObject* parent = nullptr);
    // Reads the file; throws Failure when it cannot be read.
    static QStringList ReadScript(const QString& path);

    // Queues the answers that stand before any other command, so that dialogs shown while the
    // console starts take them.
    void QueueLeadingAnswers();
    // Runs the remaining commands once the event loop runs.
    void Start();

private:
    void Step();
    // Runs one command ("wait" is handled by Step).
    void Execute(const QString& line);
    void Fail(const QString& message);
    QWidget* Find(const QString& name) const;
    void Print(const QString& name, QWidget* w) const;

    QStringList lines_;
    int next_ = 0;
    bool stopped_ = false;
    int executing_ = 0; // commands running (nested while one waits in a modal dialog)
};
