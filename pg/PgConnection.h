#pragma once
// PostgreSQL through libpq, for the collector and the console's fleet view: a connection and
// results that free themselves, failures as Error values that carry the database's own message
// and code. The collector and the fleet view's loads wait for each answer on threads of their
// own; the fleet view's live connection never waits: it connects step by step and sends
// statements whose results it takes once the socket, watched by its event loop, has them.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
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

// How a failure's text reads. The collector's log and --check give the server's primary message
// with its lines joined; the fleet window gives libpq's whole message ("ERROR:", where in the
// statement) with every run of blanks folded into one.
enum class Wording { Primary, Whole };

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
    bool CopyingOut() const;

private:
    pg_result* result_ = nullptr;
};

// One row of a COPY ... TO STDOUT as libpq hands it over, freed with the object.
class CopyRow {
public:
    CopyRow(char* data, int size) : data_(data), size_(size) {}
    CopyRow(CopyRow&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(other.size_) {}
    CopyRow& operator=(CopyRow&&) = delete;
    CopyRow(const CopyRow&) = delete;
    CopyRow& operator=(const CopyRow&) = delete;
    ~CopyRow();
    std::string_view Bytes() const { return {data_, size_t(size_)}; }

private:
    char* data_;
    int size_;
};

class PgConnection {
public:
    // Settings put in front of a connection string, whose own settings win: keyword and value.
    using Defaults = std::vector<std::pair<QByteArray, QByteArray>>;

    PgConnection() = default;
    PgConnection(PgConnection&& other) noexcept;
    PgConnection& operator=(PgConnection&& other) noexcept;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // Connects, waiting, with a libpq connection string or URI; empty: libpq's environment
    // (PGHOST, PGPORT, PGDATABASE, PGUSER, ...) and its service file. With defaults the string
    // is read as the dbname setting that libpq expands (a plain word is a database's name).
    static Result<PgConnection> Connect(const QString& conninfo, const Defaults& defaults = {},
                                        Wording wording = Wording::Primary);
    // Starts connecting without waiting: ContinueConnect each time Socket() is ready for what
    // the step before asked, until it is done.
    static Result<PgConnection> StartConnect(const QString& conninfo, Wording wording);
    enum class Step { Read, Write, Done };
    Result<Step> ContinueConnect();
    Result<int> Socket() const;

    // One or more statements without parameters.
    Result<PgResult> Exec(const QByteArray& sql);
    // One statement with text parameters ($1, $2, ...; a null QByteArray is NULL); with
    // `binaryResult` the values come back as their binary form (bytea: the bytes themselves).
    Result<PgResult> Exec(const QByteArray& sql, const std::vector<QByteArray>& params,
                          bool binaryResult = false);

    // Without waiting: sends statements, reads what the socket has (and the notifications
    // among it), tells whether a result is still on its way, and takes the next result of the
    // statements sent (nothing once all were taken).
    Result<void> Send(const QByteArray& sql);
    struct Notification {
        QString channel;
        QString payload;
    };
    // LISTEN's notifications that arrived so far: channel and payload.
    Result<std::vector<Notification>> TakeNotifications();
    bool Busy() const;
    std::optional<Result<PgResult>> NextResult();

    // COPY ... FROM STDIN: begin, hand over the data in pieces of any size, end (the rows
    // copied). A failure of the server comes out of CopyEnd at the latest. Ended with a reason,
    // the COPY fails with it whatever was sent.
    Result<void> CopyBegin(const QByteArray& sql);
    Result<void> CopyPut(const QByteArray& data);
    Result<int64_t> CopyEnd(const QByteArray& abandonedBecause = {});

    // COPY ... TO STDOUT: begin, take the rows one at a time (waiting for each; nothing once
    // the rows end or the connection broke), end (how it ended). Cancel asks the server to
    // stop the statement under way; the rows on their way still come.
    Result<void> CopyOutBegin(const QByteArray& sql);
    std::optional<CopyRow> CopyOutNext();
    Result<void> CopyOutEnd();
    void Cancel();

    // The connection is gone (server stopped, network lost); a new one is needed.
    bool Broken() const;
    // Why, in the connection's wording.
    Error ConnectionError() const;
    // "15.18"
    QString ServerVersion() const;
    int ServerVersionNumber() const;

private:
    PgConnection(pg_conn* conn, Wording wording) : conn_(conn), wording_(wording) {}
    static Result<PgConnection> Made(pg_conn* conn, Wording wording);
    Result<PgResult> Checked(pg_result* result);

    pg_conn* conn_ = nullptr;
    Wording wording_ = Wording::Primary;
};

} // namespace pg
