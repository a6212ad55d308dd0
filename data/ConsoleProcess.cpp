#include "data/ConsoleProcess.h"

#include <QFile>
#include <QSysInfo>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

QByteArray ReadSmallFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
}

// The start time of a process in clock ticks since boot (field 22 of /proc/<pid>/stat), or -1:
// with the boot it tells a running console from one whose number was reused.
int64_t ProcessStart(int64_t pid) {
    const QByteArray stat = ReadSmallFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    bool ok = false;
    const int64_t start = fields.size() > 19 ? fields[19].toLongLong(&ok) : -1;
    return ok ? start : -1;
}

QString BootId() {
    return QString::fromLatin1(ReadSmallFile("/proc/sys/kernel/random/boot_id").trimmed());
}

// The sessions that archives of this process write now. Another process's sessions are told by
// their process; ours by this list, as one process may hold several archives (tests do).
std::mutex liveMutex;
std::set<std::pair<QString, int64_t>>& LiveSessions() {
    static std::set<std::pair<QString, int64_t>> live;
    return live;
}
bool IsLiveHere(const QString& path, int64_t session) {
    std::lock_guard l(liveMutex);
    return LiveSessions().count({path, session}) != 0;
}

} // namespace

void SetSessionLive(const QString& path, int64_t session, bool live) {
    std::lock_guard l(liveMutex);
    if (live)
        LiveSessions().emplace(path, session);
    else
        LiveSessions().erase({path, session});
}

ConsoleProcess ConsoleProcess::Current() {
    ConsoleProcess p;
    p.host = QSysInfo::machineHostName();
    p.pid = ::getpid();
    p.start = ProcessStart(p.pid);
    p.boot = BootId();
    return p;
}

bool SameProcess(const ConsoleProcess& a, const ConsoleProcess& b) {
    return a.pid == b.pid && a.start == b.start && a.boot == b.boot;
}

bool SessionStillRunning(const QString& path, int64_t session, const ConsoleProcess& writer,
                         const ConsoleProcess& self) {
    if (IsLiveHere(path, session))
        return true;
    if (SameProcess(writer, self))
        return false; // an archive of this process that is closed
    // A console on another computer sharing the file cannot be checked: taken as running.
    if (writer.host != self.host)
        return true;
    return writer.boot == self.boot && writer.start >= 0 &&
           ProcessStart(writer.pid) == writer.start;
}
