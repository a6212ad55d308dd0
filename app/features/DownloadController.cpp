#include "app/features/DownloadController.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <utility>

#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "link/ModBus.h"

namespace {
constexpr int ProgressIntervalMs = 250;
}

DownloadController::DownloadController(const DownloadPage& page, TMB& link, ArchiveSource archive,
                                       QObject* owner)
    : QObject(owner), page_(page), link_(link), archive_(std::move(archive)) {
    clock_.start();
    timer_.setInterval(ProgressIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Guarded([this] { Tick(); }); });
    connect(page_.DwnMissingBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { DwnMissingBtnClick(); }); });
    page_.DwnMissingBtn->setEnabled(false);
}

void DownloadController::Requested(int64_t first, int64_t amount) {
    if (requestingGaps_)
        return;
    // The logger's reported size, when asked before, bounds what can come.
    tracker_.Start(first, amount, link_.DataSize().value_or(-1), clock_.elapsed());
    NoteArchive();
    ShowState();
    timer_.start();
}

bool DownloadController::Arrived(int64_t counter) {
    return tracker_.Arrived(counter, clock_.elapsed());
}

std::optional<DownloadState> DownloadController::State() const {
    if (!tracker_.Active())
        return std::nullopt;
    return DownloadState{tracker_.First(), tracker_.Requested(), tracker_.Arrived()};
}

void DownloadController::Restore(const DownloadState& d) {
    tracker_.Restore(d.first, d.amount, d.arrived, clock_.elapsed());
    NoteArchive();
    ShowState();
    timer_.start();
}

void DownloadController::NoteArchive() {
    if (MeasurementArchive* archive = archive_())
        archive->DownloadStarted({tracker_.First(), tracker_.Requested(), tracker_.Arrived()});
}

void DownloadController::DwnMissingBtnClick() {
    if (tracker_.Running())
        return;
    const std::vector<CounterSpan> gaps = tracker_.Missing();
    if (gaps.empty())
        return;
    requestingGaps_ = true;
    {
        const auto done = qScopeGuard([this] { requestingGaps_ = false; });
        for (const CounterSpan& g : gaps)
            link_.SendDownloadRequest(g.first, g.count);
    }
    tracker_.Resume(clock_.elapsed());
    ShowState();
    timer_.start();
}

void DownloadController::Tick() {
    if (tracker_.Check(clock_.elapsed()) || !tracker_.Running())
        timer_.stop();
    ShowState();
}

void DownloadController::ShowState() {
    page_.DwnProgressTx->setText(tracker_.ProgressText(clock_.elapsed()));
    page_.DwnMissingTx->setText(tracker_.MissingText());
    page_.DwnMissingBtn->setEnabled(!tracker_.Running() &&
                                    tracker_.Received() < tracker_.Requested());
}
