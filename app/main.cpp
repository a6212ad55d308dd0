// Program start: the application title, the command line, then the console's parts (archive,
// main window, link module, which opens the port and reports to the window), then the message
// loop.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ApplicationIdentity.h"
#include "app/Console.h"
#include "app/ConsoleOptions.h"
#include "app/script/ScriptRunner.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/ProgramVersion.h"
#include "base/ScriptedDialogs.h"
#include "base/ShutdownSignals.h"
#include "dialogs/MessageBox.h"
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

    // The archive, the window and its link module, owned together and built in their order.
    Console console(options);
    console.Start();
    // A signal during the restore question ends the program before its loop starts.
    int rc = 0;
    if (ShutdownSignals::Received() == 0) {
        console.Window().show();
        if (script)
            script->Start();
        rc = app.exec();
    }
    return console.Finish(rc);
}
