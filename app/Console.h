#pragma once
// The console's parts and who owns them: the measurement archive and the main window (which
// owns its link module and report server), built in the order they need each other and
// destroyed in reverse, so the archive outlives the window that hands it every record until it
// closes. The command line decides what each part is given.
#include <memory>

#include "app/ConsoleOptions.h"
#include "app/ImpixMain.h"

class MeasurementArchive;

class Console {
public:
    // The archive (none with --no-archive) hooked to the window, the window with the report
    // server's options and the fleet's database (--fleet, else the one saved from its window).
    explicit Console(const ConsoleOptions& options);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // The link opens its port; the restore question comes before the window is shown unless
    // the archive cannot be opened at once (another program holds it locked): then it comes
    // once it opens, and the label says why.
    void Start();
    // The event loop has ended with `loopResult`: what is still to go to the archive is handed
    // over, or, after a signal, the session is marked as ended by it. Returns the exit code.
    int Finish(int loopResult);

    TFImpixMain& Window() { return window_; }

private:
    std::unique_ptr<MeasurementArchive> archive_; // first: it outlives the window
    TFImpixMain window_;
};
