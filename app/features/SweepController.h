#pragma once
// Frequency sweeps, owned by their controller rather than the main window: what the link
// reports of them goes to the session's recorder, which ends a silent sweep on a timer, and on
// into the archive; "Sweeps..." on the "Freq Range" page opens the window that shows them.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "link/AnswerDecode.h"
#include "records/MeasDecode.h"
#include "sweep/SweepRecorder.h"

class MeasurementArchive;
class QAbstractButton;
class QWidget;
class SweepWindow;

class SweepController : public QObject {
public:
    // The archive the sweeps go to as they change; null while there is none.
    using ArchiveSource = std::function<MeasurementArchive*()>;

    // Follows `sweepBtn` ("Sweeps..."); the window "Sweeps" opens above `owner`, the main
    // window, which owns this controller too.
    SweepController(QAbstractButton* sweepBtn, ArchiveSource archive, QWidget* owner);
    // The window "Sweeps" goes first: it shows the recorder.
    ~SweepController() override;

    // This session's sweeps, every point kept.
    SweepRecorder& Recorder() { return recorder_; }

    // What the link reports of a sweep.
    void SettingsExchanged(const FreqParamsCodes& codes);
    void StartSent();
    void PointDecoded(const MeasValues& point);

private:
    // The silence timer runs until the running sweep's deadline.
    void ArmSilence();
    void SweepBtnClick();

    QWidget* owner_;
    ArchiveSource archive_;
    SweepRecorder recorder_;
    QTimer silence_;
    QPointer<SweepWindow> sweepWindow_;
};
