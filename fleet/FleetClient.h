#pragma once
// The console's live view of the collector's database: it connects without blocking the event
// loop, reads the loggers' state and the unknown peers' reports, and reads again what the
// collector announces after a committed report (LISTEN impix_report: the loggers it names, or
// the unknown peers' list). Every statement is sent without waiting and its rows are taken when
// the socket, watched by the event loop, has them all: a slow database never stops the window,
// and nothing is polled. A lost connection is reported and tried again every 10 s.
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "fleet/FleetRows.h"
#include "pg/PgConnection.h"

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
    // Reads the whole fleet again (now, or once the statement under way is answered).
    void Refresh();
    // More loggers named by notifications than this are read again as a whole fleet.
    static constexpr size_t MaxNamedLoggers = 500;

signals:
    void StateChanged(); // the connection or the problem changed
    void FleetRead();    // the whole snapshot was read again
    void UnknownRead();  // the unknown peers' reports were read again
    // These loggers' rows were read again (each already in the snapshot, or a new logger).
    void LoggersRead(const std::vector<fleet::LoggerRow>& rows);

private:
    enum class Asked { Nothing, Setup, Fleet, Loggers, Unknown };

    void Connect();
    void Poll();
    void Ready();
    void Lost(const QString& why);
    void Readable();
    void Watch(bool forWriting);
    void Notified(const QByteArray& payload);
    void SendNext();
    void Send(Asked what, const QByteArray& sql);
    void Answered();
    void Problem(const QString& why);
    QString conninfo_;
    std::optional<pg::PgConnection> conn_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    QTimer connectTimeout_;
    QTimer settle_;
    bool connected_ = false;
    QString problem_;
    FleetSnapshot snapshot_;
    // The statement under way and its results so far; what is to be read after it.
    Asked asked_ = Asked::Nothing;
    std::vector<Result<pg::PgResult>> answers_;
    bool wantFleet_ = false;
    bool wantUnknown_ = false;
    std::set<qint64> wantLoggers_;
};

} // namespace fleet
