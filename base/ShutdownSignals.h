#pragma once
// SIGINT, SIGTERM and SIGHUP end the event loops instead of the process, so the program cleans
// up (the emulator its port link, the console its archive, the collector its spool) as on a
// normal exit; SIGUSR1 calls onUser1 and goes on. The handler only writes the signal's number to a
// socket pair; the event loop reads it and acts.
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // The shutdown signal that arrived, 0 while none has.
    static int Received();

    std::function<void()> onUser1;
    // What a shutdown signal does instead of ending the event loops at once (the collector first
    // writes out its spool).
    std::function<void()> onShutdown;

private:
    QSocketNotifier* notifier_ = nullptr;
};

// "SIGTERM", "SIGHUP", "SIGINT", or "signal N".
QString SignalName(int signal);
