#include "archive/WalCheckpointer.h"

#include <sqlite3.h>

#include "base/ThreadPriority.h"

WalCheckpointer::WalCheckpointer(int startFrames, int capFrames)
    : startFrames_(startFrames), capFrames_(capFrames), thread_([this] { Run(); }) {}

WalCheckpointer::~WalCheckpointer() {
    {
        std::lock_guard l(m_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void WalCheckpointer::Attach(SqliteDb& writer, const QString& path) {
    {
        std::lock_guard l(m_);
        path_ = path;
    }
    sqlite3_wal_hook(writer.Handle(), &WalCheckpointer::Hook, this);
}

void WalCheckpointer::Detach() {
    std::unique_lock l(m_);
    path_.clear();
    wanted_ = false;
    cv_.notify_all();
    cv_.wait(l, [this] { return !busy_ && !open_; });
}

int WalCheckpointer::Hook(void* self, sqlite3* db, const char* name, int frames) {
    auto* c = static_cast<WalCheckpointer*>(self);
    if (frames >= c->capFrames_) {
        // Lets the checkpointer's run end, then copies the rest; the next transaction starts the
        // WAL from its beginning. Passive: a reader that holds an old snapshot (a user's long
        // query) keeps its pages in the WAL rather than stalling the writer. Nothing is lost
        // when it copies less: the pages stay in the WAL for the next try.
        {
            std::unique_lock l(c->m_);
            c->cv_.wait(l, [c] { return !c->busy_; });
            c->wanted_ = false;
        }
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } else if (frames >= c->startFrames_) {
        {
            std::lock_guard l(c->m_);
            c->wanted_ = true;
        }
        c->cv_.notify_all();
    }
    return SQLITE_OK;
}

void WalCheckpointer::Run() {
    NameThisThread("archive ckpt");
    LowerThisThreadPriority();
    std::unique_lock l(m_);
    for (;;) {
        cv_.wait(l, [this] {
            return stop_ || (wanted_ && !path_.isEmpty()) || (path_.isEmpty() && open_);
        });
        if (stop_)
            break;
        if (path_.isEmpty()) {
            db_.Close();
            open_ = false;
            cv_.notify_all();
            continue;
        }
        wanted_ = false;
        busy_ = true;
        const QString path = path_;
        l.unlock();
        // Passive: copies what no reader still needs and never waits for a lock. A file that went
        // away or cannot be opened is left: the writer's own checkpoint at the cap and at its
        // close still copy everything. A connection knows of no WAL until it has read the file
        // once (a checkpoint before that copies nothing and says nothing): a read, each time, as
        // one refused for a moment would leave it so.
        if ((db_.IsOpen() || db_.TryOpen(path, false)) && db_.TryExec("PRAGMA schema_version"))
            sqlite3_wal_checkpoint_v2(db_.Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                      nullptr);
        l.lock();
        busy_ = false;
        open_ = db_.IsOpen();
        cv_.notify_all();
    }
    db_.Close();
}
