// Program start: the application title, the main window, then the link module (which opens
// the port and reports to the window), then the message loop.
#include <QApplication>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "app/ApplicationIdentity.h"
#include "app/ConsoleOptions.h"
#include "app/ImpixMain.h"
#include "app/script/ScriptRunner.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/FileLocations.h"
#include "base/ProgramVersion.h"
#include "base/ScriptedDialogs.h"
#include "base/ShutdownSignals.h"
#include "dialogs/MessageBox.h"
#include "fleet/FleetConninfo.h"
#include "link/ModBus.h"
#include "net/ReportServer.h"
#include "serial/RS232.h"

namespace {

// --help and --version answer before the application exists, so they need no display.
bool PrintedInfo(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kConsoleUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(VersionLine("impix").toLocal8Bit().constData(), stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (PrintedInfo(argc, argv))
        return 0;
    QApplication app(argc, argv);
    SetApplicationIdentity();

    // Qt has taken its own options out; anything else we do not know stops here, before the
    // archive or the port is touched.
    const ConsoleOptions options = ParseConsoleOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "impix: %s\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    // SIGTERM, SIGHUP and SIGINT end the event loop: the archive writes what waits and the
    // session is marked as ended by the signal.
    ShutdownSignals shutdown;

    std::unique_ptr<ScriptRunner> script;
    if (!options.scriptPath.isEmpty()) {
        try {
            script = std::make_unique<ScriptRunner>(ScriptRunner::ReadScript(options.scriptPath));
        } catch (const Failure& f) {
            std::fprintf(stderr, "impix: %s\n", f.text().toLocal8Bit().constData());
            return 2;
        }
        scripted::SetActive(true);
        script->QueueLeadingAnswers();
    }

    SetFailureHandler([](const QString& text) { ShowMessage(text); });
    TRS232::FallbackMessage = [](const QString& text) { ShowMessage(text); };

    // The archive outlives the window, which hands it every record until it closes.
    std::unique_ptr<MeasurementArchive> archive;
    TFImpixMain window;
    if (!options.noArchive) {
        ArchiveOptions archiveOptions;
        archiveOptions.path = !options.archivePath.isEmpty()
                                  ? options.archivePath
                                  : ImpixPath(Place::Archive, "archive.sqlite");
        // For tests: a short queue stands in for the million a large restore would exceed.
        if (const int64_t queue = qEnvironmentVariableIntValue("IMPIX_ARCHIVE_QUEUE"); queue > 0) {
            archiveOptions.queueLimit = queue;
            archiveOptions.holdBackAt =
                std::min(archiveOptions.holdBackAt, std::max<int64_t>(1, queue / 8));
        }
        // For tests: counts wait until this file exists, as a long count would.
        if (const QString gate = qEnvironmentVariable("IMPIX_ARCHIVE_COUNT_GATE"); !gate.isEmpty())
            archiveOptions.beforeCount = [gate](int64_t) {
                constexpr int HangGuard = 1200; // a minute, in 50 ms steps
                for (int i = 0; i < HangGuard && !QFileInfo::exists(gate); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            };
        window.HookArchive(archiveOptions);
        archive = std::make_unique<MeasurementArchive>(std::move(archiveOptions));
    }
    window.SetFleet(options.fleetGiven ? options.fleet : ReadFleetConninfo(FleetConninfoPath()));
    if (options.reportPort != 0)
        window.SetReportPort(options.reportPort);
    if (!options.reportListen.isNull())
        window.Server().SetListenAddress(options.reportListen);
    window.Server().SetAllowedPeers(options.reportAllow);
    if (options.reportIdleSeconds > 0)
        window.Server().SetIdleTimeout(std::chrono::seconds(options.reportIdleSeconds));
    TMB link(window);
    window.SetLink(&link);
    Guarded([&link] { link.MBCreate(); });
    // The restore question comes before the window unless the archive cannot be opened at once
    // (another program holds it locked): then it comes once it opens, and the label says why.
    constexpr int StartWaitMs = 2000;
    const bool archiveOpen = archive && archive->WaitOpen(StartWaitMs);
    window.SetArchive(archive.get());
    Guarded([&window, archiveOpen] {
        window.NoteArchivePort();
        if (archiveOpen)
            window.OfferRestore();
    });
    // A signal during the restore question ends the program before its loop starts.
    int rc = 0;
    if (ShutdownSignals::Received() == 0) {
        window.show();
        if (script)
            script->Start();
        rc = app.exec();
    }
    if (ShutdownSignals::Received() == 0)
        Guarded([&window] { window.FinishArchiveHandOver(); });
    if (const int signal = ShutdownSignals::Received()) {
        if (archive)
            archive->EndBySignal(signal);
        rc = 128 + signal; // as a shell reports a program ended by the signal
    }
    return rc;
}
