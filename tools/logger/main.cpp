// impix-logger: a logger of the Impix II system on a pseudo-terminal.
#include <csignal>
#include <cstdio>

#include <QCoreApplication>

#include "base/Failure.h"
#include "base/ProgramVersion.h"
#include "base/ShutdownSignals.h"
#include "tools/logger/FleetProgram.h"
#include "tools/logger/LoggerOptions.h"
#include "tools/logger/LoggerProgram.h"
#include "tools/logger/PortLink.h"

namespace {

void PrintFailure(const Failure& f) {
    std::fprintf(stderr, "impix-logger: %s\n", f.text().toLocal8Bit().constData());
}

// --fleet: the loggers report until each is done (or a signal ends them), then the delivered
// measurements are written out. Exit status 1 when a report was given up.
int RunFleet(const logger::LoggerOptions& options) {
    try {
        ShutdownSignals shutdown;
        logger::FleetProgram program(options);
        shutdown.onUser1 = [&program] {
            try {
                program.DumpItems();
            } catch (const Failure& f) {
                PrintFailure(f);
            }
        };
        program.Start();
        // Every first report is measured: from here on the loggers only send.
        std::printf("impix-logger: fleet of %d loggers reporting\n", options.fleet.loggers);
        std::fflush(stdout);
        const int rc = QCoreApplication::exec();
        program.DumpItems();
        std::printf("impix-logger: %s\n", program.Summary().toLocal8Bit().constData());
        return rc;
    } catch (const Failure& f) {
        PrintFailure(f);
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A report server that vanishes mid-report must end the attempt, not the program.
    std::signal(SIGPIPE, SIG_IGN);

    logger::LoggerOptions options;
    try {
        options = logger::ParseOptions(app.arguments());
    } catch (const Failure& f) {
        std::fprintf(stderr, "impix-logger: %s\n", f.text().toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(options.helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(VersionLine("impix-logger").toLocal8Bit().constData(), stdout);
        return 0;
    }

    if (options.fleet.loggers > 0)
        return RunFleet(options);

    try {
        ShutdownSignals shutdown;
        logger::LoggerProgram program(options);
        // A failed dump is told, and the logger goes on.
        shutdown.onUser1 = [&program] {
            try {
                program.DumpItems();
            } catch (const Failure& f) {
                std::fprintf(stderr, "impix-logger: %s\n", f.text().toLocal8Bit().constData());
            }
        };
        program.Start();
        QString slave = program.SlavePath();
        if (!options.linkPath.isEmpty())
            logger::CreatePortLink(options.linkPath, slave);
        std::printf("impix-logger: %s\n", slave.toLocal8Bit().constData());
        std::fflush(stdout);
        int rc = app.exec();
        if (!options.linkPath.isEmpty())
            logger::RemovePortLink(options.linkPath, slave);
        program.DumpItems();
        return rc;
    } catch (const Failure& f) {
        std::fprintf(stderr, "impix-logger: %s\n", f.text().toLocal8Bit().constData());
        return 1;
    }
}
