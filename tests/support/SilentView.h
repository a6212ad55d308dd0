#pragma once
// A window for the link module that shows nothing and holds default settings: fakes derive from
// it and override only what they watch.
#include "link/ConsoleView.h"

class SilentView : public ConsoleView {
public:
    void ShowConnectionState(bool) override {}
    void AddRecord(const TMeasRecord&) override {}
    void ShowBoardMask() override {}
    void ErrorDlg(const QString&) override {}
    void CountReportItem() override {}
    void CountDroppedReportItem() override {}
    const FormatSettings& Format() const override { return format_; }
    PeriodValues Period() const override { return {}; }
    ParamsValues MeasureParams() const override { return {}; }
    FreqParamsValues FreqParams() const override { return {}; }
    ReportSettingsValues ReportSettings() const override { return {}; }
    GprsNetValues GprsNet() const override { return {}; }
    QString DeviceClockText() const override { return {}; }
    void ShowPeriod(const PeriodValues&) override {}
    void ShowParams(const ParamsValues&) override {}
    void ShowFreqParams(const FreqParamsValues&) override {}
    void ShowReportSettings(const ReportSettingsValues&) override {}
    void ShowGprsNet(const GprsNetValues&) override {}
    void ShowDeviceClock(const QString&) override {}
    void ShowVersion(const QString&) override {}
    void ShowDataSize(int64_t) override {}
    void ShowDownloadedCount(int64_t) override {}
    void ShowMeasurement(const MeasurementLabels&) override {}
    void ShowSweepPoint(const SweepPointLabels&) override {}
    void ShowStatus(const QString&) override {}

private:
    FormatSettings format_;
};
