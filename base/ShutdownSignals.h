#pragma once
// SIGINT, SIGTERM and SIGHUP end the event loop instead of the process, so the program cleans up
// as on a normal exit (the emulator its port link, the collector its spool); SIGUSR1 calls
// onUser1 and goes on. The handler only writes the signal's number to a socket pair; the event
// loop reads it and acts.
#include <functional>

#include <QObject>

class QSocketNotifier;

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // The shutdown signal that arrived, 0 while none has.
    static int Received();

    std::function<void()> onUser1;
    // What a shutdown signal does; empty: QCoreApplication::quit().
    std::function<void()> onShutdown;

private:
    QSocketNotifier* notifier_ = nullptr;
};
