#pragma once
// What the link module needs of the main window. The window implements it on its controls,
// addressed by their names; tests may implement it on plain values.
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

    // Controls by name. Spin edits follow their own rules: reading a text that is not a number
    // gives the minimum, writing clamps to the range and rounds integer controls.
    virtual QString Text(const QString& name) const = 0;
    virtual void SetText(const QString& name, const QString& text) = 0;
    virtual double Value(const QString& name) const = 0;
    virtual void SetValue(const QString& name, double value) = 0;
    virtual bool Checked(const QString& name) const = 0;
    virtual void SetChecked(const QString& name, bool on) = 0;
    virtual int ItemIndex(const QString& name) const = 0;
};
