// Program start: the application title, the main window, then the link module (which opens
// the port and reports to the window), then the message loop.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ImpixMain.h"
#include "app/ScriptRunner.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/FileLocations.h"
#include "base/ProgramVersion.h"
#include "base/ScriptedDialogs.h"
#include "base/ShutdownSignals.h"
#include "data/MeasurementArchive.h"
#include "dialogs/MessageBox.h"
#include "link/ModBus.h"
#include "serial/RS232.h"

namespace {

const char kUsage[] =
    "Usage: impix [--script FILE] [--report-port PORT] [--archive FILE | --no-archive]\n"
    "The operator console of the Impix II impedance data logger.\n"
    "\n"
    "  --script FILE       drive the console by control name, one command a line\n"
    "                      (click, set, page, print, grab, wait, answer, quit)\n"
    "  --report-port PORT  listen for GPRS reports on PORT instead of 4000\n"
    "  --archive FILE      keep the measurement archive in FILE instead of\n"
    "                      $XDG_DATA_HOME/impix/archive.sqlite\n"
    "  --no-archive        keep no measurement archive\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Qt's own options (such as -platform offscreen) are taken too. See impix(1).\n";

// --help and --version answer before the application exists, so they need no display.
bool PrintedInfo(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
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
    // The name only: a display name would be appended to the window caption by the
    // window system's integration ("... — Impix II.").
    QApplication::setApplicationName("Impix II.");
    // The window's icon, and the desktop entry it belongs to (the shell's icon and grouping).
    QApplication::setWindowIcon(QIcon(":/icons/impix.png"));
    QGuiApplication::setDesktopFileName("org.impix.Console");
    // SIGTERM, SIGHUP and SIGINT end the event loop: the archive writes what waits and the
    // session is marked as ended by the signal.
    ShutdownSignals shutdown;

    std::unique_ptr<ScriptRunner> script;
    const QStringList args = QApplication::arguments();
    const qsizetype at = args.indexOf("--script");
    if (at >= 0) {
        if (at + 1 >= args.size()) {
            std::fprintf(stderr, "impix: --script needs a file\n");
            return 2;
        }
        try {
            script = std::make_unique<ScriptRunner>(ScriptRunner::ReadScript(args[at + 1]));
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
    const qsizetype archiveAt = args.indexOf("--archive");
    if (archiveAt >= 0 && archiveAt + 1 >= args.size()) {
        std::fprintf(stderr, "impix: --archive needs a file\n");
        return 2;
    }

    TFImpixMain window;
    if (!args.contains("--no-archive")) {
        ArchiveOptions options;
        options.path =
            archiveAt >= 0 ? args[archiveAt + 1] : ImpixPath(Place::Archive, "archive.sqlite");
        options.consoleVersion = QStringLiteral("%1.%2").arg(3).arg(2);
        window.HookArchive(options);
        archive = std::make_unique<MeasurementArchive>(std::move(options));
    }
    const qsizetype portAt = args.indexOf("--report-port");
    if (portAt >= 0) {
        bool ok = false;
        const uint port = portAt + 1 < args.size() ? args[portAt + 1].toUInt(&ok) : 0;
        if (!ok || port < 1 || port > 65535) {
            std::fprintf(stderr, "impix: --report-port needs a port number from 1 to 65535\n");
            return 2;
        }
        window.SetReportPort(static_cast<quint16>(port));
    }
    TMB link(window);
    window.SetLink(&link);
    Guarded([&link] { link.MBCreate(); });
    window.SetArchive(archive.get());
    Guarded([&window] {
        window.NoteArchivePort();
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
    if (const int signal = ShutdownSignals::Received()) {
        if (archive)
            archive->EndBySignal(signal);
        rc = 128 + signal; // as a shell reports a program ended by the signal
    }
    return rc;
}
