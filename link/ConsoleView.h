#pragma once
// What the link module needs of the main window: typed reads of the settings it sends and typed
// shows of what the logger answers, so that the link knows no control of the window. The window
// implements it on its controls; tests may implement it on plain values.
#include <QString>

#include "base/FormatSettings.h"
#include "link/AnswerDecode.h"
#include "records/MeasDecode.h"
#include "records/MeasRecord.h"

class LinkHealth;

class ConsoleView {
public:
    virtual ~ConsoleView() = default;

    // "Connected" in green or "Disconnected" in red in ComStatusLx.
    virtual void ShowConnectionState(bool connected) = 0;
    // Appends a copy of the record to the measurement buffer.
    virtual void AddRecord(const TMeasRecord& rec) = 0;
    // The check boxes show the mask of the board selected in BoardGrp.
    virtual void ShowBoardMask() = 0;
    // The system's error message with OK; waits for the operator.
    virtual void ErrorDlg(const QString& msg) = 0;
    // A report item was completed (ReportItemCount + 1).
    virtual void CountReportItem() = 0;
    // A report item was dropped because its date or time cannot exist.
    virtual void CountDroppedReportItem() = 0;
    virtual const FormatSettings& Format() const = 0;
    // A downloaded item (answer 120): appended like any record unless the window knows better.
    virtual void AddDownloadedRecord(const TMeasRecord& rec) { AddRecord(rec); }
    // An item of a GPRS report: appended like any record; the window notes where it came from.
    virtual void AddReportedRecord(const TMeasRecord& rec) { AddRecord(rec); }
    // A Download request went out for `amount` items from item `first`.
    virtual void DownloadRequested(int64_t /*first*/, int64_t /*amount*/) {}
    // The link's error counts or its "no answer" state changed.
    virtual void ShowLinkHealth(const LinkHealth& /*health*/) {}
    // Frequency sweeps: the settings sent with SetFreqParams or read from answer 247, "Start"
    // sent, and each sweep point (answer 6) as decoded, after its labels were written.
    virtual void FreqParamsExchanged(const FreqParamsCodes& /*codes*/) {}
    virtual void FreqMeasureStarted() {}
    virtual void SweepPointDecoded(const MeasValues& /*point*/) {}

    // The settings the set requests send, as the controls hold them. The window's spin edits
    // follow their own rules (base/SpinValue): a text that is not a number reads as the
    // minimum, and integer controls read fractions as typed, which the requests round.
    virtual PeriodValues Period() const = 0;
    virtual ParamsValues MeasureParams() const = 0;
    virtual FreqParamsValues FreqParams() const = 0;
    virtual ReportSettingsValues ReportSettings() const = 0;
    virtual GprsNetValues GprsNet() const = 0;
    // The device time as the operator wrote it or "Get" showed it.
    virtual QString DeviceClockText() const = 0;

    // What the logger answered. Spin edits clamp a shown number to their range and round it
    // where they hold integers.
    virtual void ShowPeriod(const PeriodValues& v) = 0;
    virtual void ShowParams(const ParamsValues& v) = 0;
    virtual void ShowFreqParams(const FreqParamsValues& v) = 0;
    virtual void ShowReportSettings(const ReportSettingsValues& v) = 0;
    virtual void ShowGprsNet(const GprsNetValues& v) = 0;
    virtual void ShowDeviceClock(const QString& text) = 0;
    virtual void ShowVersion(const QString& text) = 0;
    // The logger's item count (answer 121) and the counter of the last downloaded item.
    virtual void ShowDataSize(int64_t items) = 0;
    virtual void ShowDownloadedCount(int64_t counter) = 0;
    virtual void ShowMeasurement(const MeasurementLabels& labels) = 0;
    virtual void ShowSweepPoint(const SweepPointLabels& labels) = 0;
    // The link's status line ("OK", the name of the answer, ...).
    virtual void ShowStatus(const QString& text) = 0;
};
