#include "app/features/SweepController.h"

#include <QAbstractButton>
#include <algorithm>
#include <utility>

#include "app/features/SweepWindow.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"

SweepController::SweepController(QAbstractButton* sweepBtn, ArchiveSource archive, QWidget* owner)
    : QObject(owner), owner_(owner), archive_(std::move(archive)),
      recorder_(&QDateTime::currentDateTimeUtc) {
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            recorder_.TimePassed();
            ArmSilence();
        });
    });
    connect(sweepBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { SweepBtnClick(); }); });
    // Into the archive as they change, as measurements go there.
    const auto keep = [this](int sweep) {
        if (MeasurementArchive* archive = archive_())
            archive->KeepSweep(sweep, recorder_.Sweeps()[static_cast<size_t>(sweep)]);
    };
    connect(&recorder_, &SweepRecorder::SweepStarted, this, keep);
    connect(&recorder_, &SweepRecorder::SweepEnded, this, keep);
    connect(&recorder_, &SweepRecorder::SweepFitted, this, keep);
    connect(&recorder_, &SweepRecorder::PointAppended, this, [this](int sweep, int point) {
        if (MeasurementArchive* archive = archive_())
            archive->KeepSweepPoint(
                sweep, point,
                recorder_.Sweeps()[static_cast<size_t>(sweep)].points[static_cast<size_t>(point)]);
    });
}

SweepController::~SweepController() {
    delete sweepWindow_;
}

void SweepController::ArmSilence() {
    const std::optional<QDateTime> deadline = recorder_.SilenceDeadline();
    if (!deadline) {
        silence_.stop();
        return;
    }
    const qint64 ms = QDateTime::currentDateTimeUtc().msecsTo(*deadline);
    silence_.start(static_cast<int>(std::clamp<qint64>(ms + 1, 0, SweepRecorder::SilenceMs)));
}

void SweepController::SettingsExchanged(const FreqParamsCodes& codes) {
    recorder_.SettingsExchanged(codes);
}

void SweepController::StartSent() {
    recorder_.StartSent();
    ArmSilence();
}

void SweepController::PointDecoded(const MeasValues& point) {
    recorder_.PointDecoded(point);
    ArmSilence();
}

void SweepController::SweepBtnClick() {
    if (!sweepWindow_)
        sweepWindow_ = new SweepWindow(recorder_, owner_);
    sweepWindow_->show();
    sweepWindow_->raise();
    sweepWindow_->activateWindow();
}
