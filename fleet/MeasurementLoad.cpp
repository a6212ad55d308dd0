#include "fleet/MeasurementLoad.h"

#include <memory>

#include "fleet/MeasurementCopyReader.h"
#include "pg/PgConnection.h"

namespace fleet {

namespace {

// A timestamp literal of our own making: digits and separators only.
QByteArray TimeLiteral(const QDateTime& t) {
    return "'" + t.toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "'";
}

QByteArray Where(qint64 logger, const LoadSpan& span) {
    QByteArray where = "logger = " + QByteArray::number(logger);
    if (span.from.isValid())
        where += " AND logger_time >= " + TimeLiteral(span.from);
    if (span.to.isValid())
        where += " AND logger_time < " + TimeLiteral(span.to);
    return where;
}

} // namespace

QByteArray MeasurementCopySql(qint64 logger, const LoadSpan& span) {
    return QByteArray("COPY (SELECT ") + MeasurementCopyColumns + " FROM measurement WHERE " +
           Where(logger, span) +
           " ORDER BY logger_time, board, channel, range) TO STDOUT (FORMAT binary)";
}

MeasurementLoad::~MeasurementLoad() {
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool MeasurementLoad::Start(const QString& conninfo, qint64 logger, const LoadSpan& span) {
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join();
    cancel_ = false;
    running_ = true;
    thread_ = std::thread(&MeasurementLoad::Run, this, conninfo,
                          "SELECT count(*) FROM measurement WHERE " + Where(logger, span),
                          MeasurementCopySql(logger, span));
    return true;
}

void MeasurementLoad::Run(QString conninfo, QByteArray countSql, QByteArray copySql) {
    qint64 count = 0;
    QString error;
    // What the UI thread is told, queued: the thread never touches the window.
    auto post = [this](auto&& f) {
        QMetaObject::invokeMethod(this, std::forward<decltype(f)>(f), Qt::QueuedConnection);
    };
    auto finish = [&] {
        const bool cancelled = cancel_.load();
        post([this, count, cancelled, error] {
            running_ = false;
            emit Finished(count, cancelled, cancelled ? QString() : error);
        });
    };
    Result<pg::PgConnection> conn = pg::PgConnection::Connect(conninfo, {}, pg::Wording::Whole);
    if (!conn) {
        error = conn.error().text;
        return finish();
    }
    // A million rows sort in memory, not in files: the sort by logger time is most of the
    // server's work. Only this session's setting.
    (void)conn->Exec("SET work_mem = '256MB'");
    const Result<pg::PgResult> total = conn->Exec(countSql);
    if (!total) {
        error = total.error().text;
        return finish();
    }
    const qint64 expected = total->Int(0, 0);
    post([this, expected] { emit Progress(0, expected); });
    if (const Result<void> started = conn->CopyOutBegin(copySql); !started) {
        error = started.error().text;
        return finish();
    }
    MeasurementCopyReader reader;
    std::vector<TMeasRecord> slice;
    slice.reserve(SliceRecords);
    auto hand = [&] {
        count += qint64(slice.size());
        post([this, s = std::move(slice), count, expected] {
            emit Slice(s);
            emit Progress(count, expected);
        });
        slice = {};
        slice.reserve(SliceRecords);
    };
    bool cancelSent = false;
    for (;;) {
        if (cancel_ && !cancelSent) {
            // The server stops sending; what is under way is read and dropped below.
            conn->Cancel();
            cancelSent = true;
        }
        const std::optional<pg::CopyRow> row = conn->CopyOutNext();
        if (!row)
            break;
        if (!cancelSent && !reader.Feed(row->Bytes(), slice))
            error = QStringLiteral("the database sent rows this console cannot read");
        if (!error.isEmpty())
            cancel_ = true; // stops the stream the same way
        if (slice.size() >= SliceRecords && !cancel_)
            hand();
    }
    if (const Result<void> ended = conn->CopyOutEnd(); !ended && error.isEmpty() && !cancel_)
        error = ended.error().text;
    if (!cancel_ && error.isEmpty() && !reader.Ended())
        error = QStringLiteral("the database ended the rows early");
    if (!cancel_ && error.isEmpty() && !slice.empty())
        hand();
    if (!error.isEmpty()) {
        // A broken stream is no cancel by the operator.
        post([this, count, error] {
            running_ = false;
            emit Finished(count, false, error);
        });
        return;
    }
    finish();
}

} // namespace fleet
