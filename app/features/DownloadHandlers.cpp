// Downloads followed item by item: progress while the stream runs, the missing counters once
// it stops, and "Download missing" asking for exactly those. Also the link health indicator.
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include "app/ImpixMain.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "link/LinkHealth.h"
#include "link/ModBus.h"

namespace {
constexpr int ProgressIntervalMs = 250;
}

void TFImpixMain::ConnectDownloadHandlers() {
    downloadClock_.start();
    downloadTimer_ = new QTimer(this);
    downloadTimer_->setInterval(ProgressIntervalMs);
    connect(downloadTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { DownloadTick(); }); });
    OnClick(download_.DwnMissingBtn, [this] { DwnMissingBtnClick(); });
    download_.DwnMissingBtn->setEnabled(false);
}

void TFImpixMain::DownloadRequested(int64_t first, int64_t amount) {
    if (requestingGaps_)
        return;
    // The logger's reported size, when asked before, bounds what can come.
    Download.Start(first, amount, MB->DataSize().value_or(-1), downloadClock_.elapsed());
    NoteArchiveDownload();
    ShowDownloadState();
    downloadTimer_->start();
}

void TFImpixMain::NoteArchiveDownload() {
    if (archive_)
        archive_->DownloadStarted({Download.First(), Download.Requested(), Download.Arrived()});
}

void TFImpixMain::AddDownloadedRecord(const TMeasRecord& rec) {
    // During the restore question it waits, to be counted in the download restored.
    if (holdArrivals_ || FeedingArchive()) {
        heldArrivals_.emplace_back(rec, ArrivalSource::Download);
        return;
    }
    if (Download.Arrived(rec.Counter, downloadClock_.elapsed()))
        AddRecord(rec, ArrivalSource::Download);
}

void TFImpixMain::DwnMissingBtnClick() {
    if (Download.Running())
        return;
    const std::vector<CounterSpan> gaps = Download.Missing();
    if (gaps.empty())
        return;
    requestingGaps_ = true;
    {
        const auto done = qScopeGuard([this] { requestingGaps_ = false; });
        for (const CounterSpan& g : gaps)
            MB->SendDownloadRequest(g.first, g.count);
    }
    Download.Resume(downloadClock_.elapsed());
    ShowDownloadState();
    downloadTimer_->start();
}

void TFImpixMain::DownloadTick() {
    if (Download.Check(downloadClock_.elapsed()) || !Download.Running())
        downloadTimer_->stop();
    ShowDownloadState();
}

void TFImpixMain::ShowDownloadState() {
    download_.DwnProgressTx->setText(Download.ProgressText(downloadClock_.elapsed()));
    download_.DwnMissingTx->setText(Download.MissingText());
    download_.DwnMissingBtn->setEnabled(!Download.Running() &&
                                        Download.Received() < Download.Requested());
}

void TFImpixMain::ShowLinkHealth(const LinkHealth& health) {
    QLabel* label = linkHealthTx_;
    label->setText(health.Text());
    label->setToolTip(health.Hint(format_));
}
