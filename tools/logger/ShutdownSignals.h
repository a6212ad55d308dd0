#pragma once
// SIGINT and SIGTERM end the event loop instead of the process, so the program cleans up (its
// port link) as on a normal exit; SIGUSR1 calls onUser1 and goes on. The handler only writes
// the signal's number to a socket pair; the event loop reads it and acts.
#include <functional>

#include <QObject>

class QSocketNotifier;

namespace logger {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // The shutdown signal that arrived, 0 while none has.
    static int Received();

    std::function<void()> onUser1;

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace logger
