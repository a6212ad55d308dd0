#include "archive/ArchiveReader.h"

#include <sqlite3.h>

#include "base/ThreadPriority.h"
#include "sqlite/Sqlite.h"

Result<SqliteDb> OpenArchiveForReading(const QString& path, int busyTimeoutMs) {
    SqliteDb db;
    if (Result<void> opened = db.TryOpenReadOnly(path); !opened)
        return tl::unexpected(opened.error());
    db.SetBusyTimeout(busyTimeoutMs);
    return db;
}

ArchiveReader::ArchiveReader(QString path, int busyTimeoutMs)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs), thread_([this] { Run(); }) {}

ArchiveReader::~ArchiveReader() {
    {
        std::lock_guard l(m_);
        stop_ = true;
        jobs_.clear();
        if (handle_)
            sqlite3_interrupt(handle_);
    }
    cv_.notify_all();
    thread_.join();
}

void ArchiveReader::Post(std::function<void(SqliteDb&)> job) {
    {
        std::lock_guard l(m_);
        jobs_.push_back(std::move(job));
    }
    cv_.notify_all();
}

void ArchiveReader::Run() {
    NameThisThread("archive reader");
    LowerThisThreadPriority();
    SqliteDb db;
    for (;;) {
        std::function<void(SqliteDb&)> job;
        {
            std::unique_lock l(m_);
            cv_.wait(l, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (!db.IsOpen()) {
            // When it cannot be opened the job finds the connection closed and says so; the
            // next one tries again.
            if (Result<SqliteDb> opened = OpenArchiveForReading(path_, busyTimeoutMs_)) {
                std::lock_guard l(m_);
                db = std::move(*opened);
                handle_ = db.Handle();
            }
        }
        job(db);
    }
    std::lock_guard l(m_);
    handle_ = nullptr;
}
