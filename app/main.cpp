// Program start: the application title, the main window, then the link module (which opens
// the port and reports to the window), then the message loop.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/EventGuard.h"
#include "app/Failure.h"
#include "app/ImpixMain.h"
#include "app/ScriptRunner.h"
#include "dialogs/MessageBox.h"
#include "dialogs/ScriptedDialogs.h"
#include "link/ModBus.h"
#include "serial/RS232.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Impix II.");
    QApplication::setApplicationDisplayName("Impix II.");

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

    TFImpixMain window;
    TMB link(window);
    window.SetLink(&link);
    Guarded([&link] { link.MBCreate(); });
    window.show();
    if (script)
        script->Start();
    return app.exec();
}
