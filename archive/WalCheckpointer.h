#pragma once
// Copies a WAL file's pages back into its database on a thread of its own, so that the
// connection that writes never stops for it. SQLite would otherwise do this inside the commit
// that crossed the threshold: on a flood of arrivals about a fifth of the writer's time.
//
// The writer turns SQLite's own checkpoints off and calls Attach(): after each commit SQLite
// tells the hook how long the WAL is. Past `startFrames` the checkpointer is woken (a passive
// checkpoint on a second connection, which never blocks the writer). Past `capFrames` the
// writer itself finishes the checkpoint, after the checkpointer's run: while arrivals keep
// coming the checkpointer never quite catches up, and the WAL is only started anew once every
// frame in it is back in the database.
#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sqlite/Sqlite.h"

class WalCheckpointer {
public:
    WalCheckpointer(int startFrames, int capFrames);
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

    // Takes over the checkpoints of `writer`, an open connection to `path` in WAL mode.
    void Attach(SqliteDb& writer, const QString& path);
    // Before the writer's connection closes: waits until the checkpointer's connection is
    // closed. It must not outlive the writer's: closing last, it would remove the WAL by name,
    // which after a move aside is the new file's.
    void Detach();

private:
    static int Hook(void* self, sqlite3* db, const char* name, int frames);
    void Run();

    const int startFrames_;
    const int capFrames_;
    std::mutex m_;
    std::condition_variable cv_;
    QString path_; // empty while detached
    bool wanted_ = false;
    bool busy_ = false;
    bool open_ = false; // the checkpointer's connection is open
    bool stop_ = false;
    SqliteDb db_; // the checkpointer's own connection, used on its thread only
    std::thread thread_;
};
