#include "app/Console.h"

#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/features/ArchiveController.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/ShutdownSignals.h"
#include "fleet/FleetConninfo.h"
#include "link/ModBus.h"

namespace {

ArchiveOptions ArchiveOptionsFor(const ConsoleOptions& options) {
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
    return archiveOptions;
}

} // namespace

Console::Console(const ConsoleOptions& options)
    : window_(FormatSettings::system(), options,
              options.fleetGiven ? options.fleet : ReadFleetConninfo(FleetConninfoPath())) {
    if (!options.noArchive) {
        ArchiveOptions archiveOptions = ArchiveOptionsFor(options);
        window_.Archive().Hook(archiveOptions);
        archive_ = std::make_unique<MeasurementArchive>(std::move(archiveOptions));
    }
}

Console::~Console() = default;

void Console::Start() {
    Guarded([this] { window_.Link().MBCreate(); });
    constexpr int StartWaitMs = 2000;
    // The archive's label says why it is not open; the restore offer waits for it to open.
    const bool archiveOpen = archive_ && archive_->WaitOpen(StartWaitMs).has_value();
    window_.Archive().Start(archive_.get(), archiveOpen);
}

int Console::Finish(int loopResult) {
    if (ShutdownSignals::Received() == 0)
        Guarded([this] { window_.Archive().FinishHandOver(); });
    if (const int signal = ShutdownSignals::Received()) {
        if (archive_)
            archive_->EndBySignal(signal);
        return 128 + signal; // as a shell reports a program ended by the signal
    }
    return loopResult;
}
