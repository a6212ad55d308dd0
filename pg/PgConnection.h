#pragma once
// A PostgreSQL connection through libpq, with results that free themselves and failures as
// Error values that carry the database's own message and code. Blocking calls: the collector
// talks to the database from a thread of its own, never from the listener's event loop.
#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

#include "base/Result.h"

struct pg_conn;
struct pg_result;

namespace pg {

// SQLSTATE codes the collector acts on.
namespace sqlstate {
inline const QString UniqueViolation = QStringLiteral("23505");
inline const QString Deadlock = QStringLiteral("40P01");
inline const QString SerializationFailure = QStringLiteral("40001");
} // namespace sqlstate

class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result) : result_(result) {}
    PgResult(PgResult&& other) noexcept;
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    ~PgResult();

    int Rows() const;
    bool IsNull(int row, int column) const;
    // The value as sent: text, or the bytes of a binary result.
    QByteArray Bytes(int row, int column) const;
    QString Text(int row, int column) const { return QString::fromUtf8(Bytes(row, column)); }
    int64_t Int(int row, int column) const { return Bytes(row, column).toLongLong(); }
    // Rows an INSERT, UPDATE, DELETE or COPY touched.
    int64_t Affected() const;

private:
    pg_result* result_ = nullptr;
};

class PgConnection {
public:
    PgConnection() = default;
    PgConnection(PgConnection&& other) noexcept;
    PgConnection& operator=(PgConnection&& other) noexcept;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // Connects with a libpq connection string or URI; empty: libpq's environment (PGHOST, PGPORT,
    // PGDATABASE, PGUSER, ...) and its service file. A connection string's own settings win over
    // the collector's defaults (10 s to connect, TCP keepalives that notice a vanished server
    // within a minute).
    static Result<PgConnection> Connect(const QString& conninfo);

    // One or more statements without parameters.
    Result<PgResult> Exec(const QByteArray& sql);
    // One statement with text parameters ($1, $2, ...; a null QByteArray is NULL); with
    // `binaryResult` the values come back as their binary form (bytea: the bytes themselves).
    Result<PgResult> Exec(const QByteArray& sql, const std::vector<QByteArray>& params,
                          bool binaryResult = false);

    // COPY ... FROM STDIN: begin, hand over the data in pieces of any size, end (the rows
    // copied). A failure of the server comes out of CopyEnd at the latest. Ended with a reason,
    // the COPY fails with it whatever was sent.
    Result<void> CopyBegin(const QByteArray& sql);
    Result<void> CopyPut(const QByteArray& data);
    Result<int64_t> CopyEnd(const QByteArray& abandonedBecause = {});

    // The connection is gone (server stopped, network lost); a new one is needed.
    bool Broken() const;
    // "15.18"
    QString ServerVersion() const;
    int ServerVersionNumber() const;
    // LISTEN's notifications that arrived so far: channel and payload.
    struct Notification {
        QString channel;
        QString payload;
    };
    std::vector<Notification> TakeNotifications();

private:
    explicit PgConnection(pg_conn* conn) : conn_(conn) {}
    Error ConnectionError() const;
    Result<PgResult> Checked(pg_result* result);

    pg_conn* conn_ = nullptr;
};

} // namespace pg
