#pragma once
// SIGINT and SIGTERM end the event loop instead of the process, so the program cleans up (its
// port link) as on a normal exit. The handler only writes a byte to a socket pair; the event
// loop reads it and quits.
#include <QObject>

class QSocketNotifier;

namespace logger {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // The signal that arrived, 0 while none has.
    static int Received();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace logger
