#pragma once
// Reads of the archive that may take seconds (counting a large session's measurements) run on a
// thread and a connection of their own: with the file in WAL mode the writer never waits for
// them nor they for it, and the UI thread waits for neither. Jobs run one after another, in the
// order posted.
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "base/Result.h"

class SqliteDb;
struct sqlite3;

class ArchiveReader {
public:
    ArchiveReader(QString path, int busyTimeoutMs);
    // Interrupts the read under way, drops those waiting and waits for the thread.
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Runs `job` on the reader's thread with its connection (opened for reading only when
    // first needed; closed while the file cannot be opened); a job reports its own outcome,
    // and catches its own failures.
    void Post(std::function<void(SqliteDb&)> job);

private:
    void Run();

    const QString path_;
    const int busyTimeoutMs_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void(SqliteDb&)>> jobs_;
    bool stop_ = false;
    sqlite3* handle_ = nullptr; // the open connection, for an interrupt from another thread
    std::thread thread_;
};

// Opens the archive at `path` for reading only, waiting this long for another connection's lock.
Result<SqliteDb> OpenArchiveForReading(const QString& path, int busyTimeoutMs);
