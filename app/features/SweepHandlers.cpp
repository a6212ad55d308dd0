// Frequency sweeps: what the link reports of them goes to the session's recorder, which ends a
// silent sweep on a timer, and on into the archive; "Sweeps..." on the "Freq Range" page opens
// the window that shows them.
#include <QPushButton>
#include <QTimer>

#include "app/ImpixMain.h"
#include "app/features/SweepWindow.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "sweep/SweepRecorder.h"

void TFImpixMain::ConnectSweepHandlers() {
    sweeps_ = new SweepRecorder(&QDateTime::currentDateTimeUtc, this);
    sweepSilence_ = new QTimer(this);
    sweepSilence_->setSingleShot(true);
    connect(sweepSilence_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            sweeps_->TimePassed();
            ArmSweepSilence();
        });
    });
    OnClick(freqRange_.SweepBtn, [this] { SweepBtnClick(); });
    // Into the archive as they change, as measurements go there.
    const auto keep = [this](int sweep) {
        if (archive_)
            archive_->KeepSweep(sweep, sweeps_->Sweeps()[static_cast<size_t>(sweep)]);
    };
    connect(sweeps_, &SweepRecorder::SweepStarted, this, keep);
    connect(sweeps_, &SweepRecorder::SweepEnded, this, keep);
    connect(sweeps_, &SweepRecorder::SweepFitted, this, keep);
    connect(sweeps_, &SweepRecorder::PointAppended, this, [this](int sweep, int point) {
        if (archive_)
            archive_->KeepSweepPoint(
                sweep, point,
                sweeps_->Sweeps()[static_cast<size_t>(sweep)].points[static_cast<size_t>(point)]);
    });
}

void TFImpixMain::ArmSweepSilence() {
    const std::optional<QDateTime> deadline = sweeps_->SilenceDeadline();
    if (!deadline) {
        sweepSilence_->stop();
        return;
    }
    const qint64 ms = QDateTime::currentDateTimeUtc().msecsTo(*deadline);
    sweepSilence_->start(static_cast<int>(std::clamp<qint64>(ms + 1, 0, SweepRecorder::SilenceMs)));
}

void TFImpixMain::FreqParamsExchanged(const FreqParamsCodes& codes) {
    sweeps_->SettingsExchanged(codes);
}

void TFImpixMain::FreqMeasureStarted() {
    sweeps_->StartSent();
    ArmSweepSilence();
}

void TFImpixMain::SweepPointDecoded(const MeasValues& point) {
    sweeps_->PointDecoded(point);
    ArmSweepSilence();
}

void TFImpixMain::SweepBtnClick() {
    if (!sweepWindow_)
        sweepWindow_ = new SweepWindow(*sweeps_, this);
    sweepWindow_->show();
    sweepWindow_->raise();
    sweepWindow_->activateWindow();
}
