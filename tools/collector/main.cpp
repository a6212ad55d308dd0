// impix-collector: the GPRS reports of a fleet of Impix II loggers into PostgreSQL.
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QProcessEnvironment>

#include "base/ProgramVersion.h"
#include "base/ShutdownSignals.h"
#include "tools/collector/CollectorCommands.h"
#include "tools/collector/CollectorLog.h"
#include "tools/collector/CollectorService.h"
#include "tools/collector/CollectorSettings.h"

namespace {

// Every connection is a file descriptor; the usual soft limit of 1,024 would refuse loggers long
// before --max-connections.
void RaiseFileLimit(int connections) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = static_cast<rlim_t>(connections) + 64;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed)
        collector::Log(QString("only %1 files may be open: fewer connections than %2 at once")
                           .arg(limit.rlim_cur)
                           .arg(connections));
}

int Run(const collector::CollectorSettings& settings) {
    RaiseFileLimit(settings.limits.maxConnections);
    ShutdownSignals shutdown;
    collector::CollectorService service(settings);
    shutdown.onShutdown = [&service] { service.Shutdown(); };
    if (Result<void> r = service.Start(); !r) {
        collector::Log(r.error().text);
        return 1;
    }
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A logger that vanishes mid-report must end its connection, not the collector.
    std::signal(SIGPIPE, SIG_IGN);
    const Result<collector::Invocation> inv = collector::ReadInvocation(
        app.arguments(), QProcessEnvironment::systemEnvironment().toStringList());
    if (!inv) {
        std::fprintf(stderr, "impix-collector: %s\n", inv.error().text.toUtf8().constData());
        return 2;
    }
    switch (inv->command) {
    case collector::Command::Help:
        std::fputs(inv->helpText.toUtf8().constData(), stdout);
        return 0;
    case collector::Command::Version:
        std::fputs(VersionLine("impix-collector").toUtf8().constData(), stdout);
        return 0;
    case collector::Command::Check:
        return collector::RunCheck(inv->settings);
    case collector::Command::AddLogger:
        return collector::RunAddLogger(inv->settings, inv->loggerName, inv->loggerAddress);
    case collector::Command::Reparse:
        return collector::RunReparse(inv->settings);
    case collector::Command::Run:
        break;
    }
    return Run(inv->settings);
}
