#pragma once
// The console's live view of the collector's database: it connects without blocking the event
// loop, reads the loggers' state and the unknown peers' reports, and reads them again when the
// collector announces a committed report (LISTEN impix_report, the socket watched by the event
// loop: nothing is polled). A lost connection is reported and tried again every 10 s.
#include <QObject>
#include <QTimer>
#include <memory>

#include "fleet/FleetRows.h"
#include "fleet/PgHandle.h"

class QSocketNotifier;

namespace fleet {

class FleetClient : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 10000;
    // A connection attempt that has not finished by then is given up (and tried again).
    static constexpr int ConnectTimeoutMs = 15000;
    // Notifications closer together than this are read as one.
    static constexpr int SettleMs = 150;

    explicit FleetClient(QString conninfo, QObject* parent = nullptr);
    ~FleetClient() override;

    const QString& Conninfo() const { return conninfo_; }
    // Connects (at once, without waiting for the database).
    void Start();
    bool Connected() const { return connected_; }
    // Why there is no view of the fleet (the connection's or the query's message); empty when
    // all is well.
    const QString& Problem() const { return problem_; }
    const FleetSnapshot& Snapshot() const { return snapshot_; }
    // Reads the fleet again now.
    void Refresh();

signals:
    void Changed(); // the snapshot, the connection or the problem changed

private:
    void Connect();
    void Poll();
    void Ready();
    void Lost(const QString& why);
    void Readable();
    void Watch(bool forWriting);

    QString conninfo_;
    PgConn conn_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    QTimer connectTimeout_;
    QTimer settle_;
    bool connected_ = false;
    QString problem_;
    FleetSnapshot snapshot_;
};

} // namespace fleet
