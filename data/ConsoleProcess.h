#pragma once
// Which console process wrote an archive session, and whether it still runs. Process numbers
// are reused, so a process is told by its host, its number, its start time and the boot.
#include <QString>
#include <cstdint>

struct ConsoleProcess {
    QString host;
    int64_t pid = 0;
    int64_t start = -1; // clock ticks after the boot; -1 when unknown
    QString boot;       // the kernel's boot id

    static ConsoleProcess Current();
};

// The same process: the number, its start and the boot agree (the host is not looked at).
bool SameProcess(const ConsoleProcess& a, const ConsoleProcess& b);

// Marks a session of the archive at `path` as written by this process now, or no longer.
void SetSessionLive(const QString& path, int64_t session, bool live);
// True while `writer`, which wrote `session` of the archive at `path`, still runs, as far as
// `self` (this process) can tell.
bool SessionStillRunning(const QString& path, int64_t session, const ConsoleProcess& writer,
                         const ConsoleProcess& self);
