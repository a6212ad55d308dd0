#pragma once
// The main window: its pages and controls, and the feature controllers (app/features/) that own
// the handlers of every operator event; the window itself answers its link module (ConsoleView)
// and hands on what concerns a feature. Handlers work on the controls through the typed structs
// the page builders return (only scripts and tests find controls by name); every event enters
// through Guarded(), so a failure is shown in a message box and the program goes on.
#include <QMainWindow>
#include <memory>

#include "app/ConsoleOptions.h"
#include "app/pages/Pages.h"
#include "base/FormatSettings.h"
#include "link/ConsoleView.h"

class TMB;
class QAbstractButton;
class QLabel;
class QTabWidget;
class ArchiveController;
class BufferController;
class PreviewPlot;
class ServerController;
class SweepController;
class DownloadController;
class ConnectionController;
class SettingsController;
class SweepRecorder;

class TFImpixMain : public QMainWindow, public ConsoleView {
    Q_OBJECT
public:
    // FormCreate: builds the window and its link module (which reports to it), empties the
    // record streams. The report server takes what `options` say of it; `fleetConninfo` is the
    // collector's database ("": nothing is connected).
    explicit TFImpixMain(const FormatSettings& format = FormatSettings::system(),
                         const ConsoleOptions& options = {}, const QString& fleetConninfo = {});
    ~TFImpixMain() override;

    // The window's link module; it lives as long as the window.
    TMB& Link() { return *MB; }

    // ConsoleView
    void ShowConnectionState(bool connected) override;
    // A measurement answer.
    void AddRecord(const TMeasRecord& rec) override;
    void ShowBoardMask() override;
    void ErrorDlg(const QString& msg) override;
    void CountReportItem() override;
    void CountDroppedReportItem() override;
    void AddDownloadedRecord(const TMeasRecord& rec) override;
    void AddReportedRecord(const TMeasRecord& rec) override;
    void DownloadRequested(int64_t first, int64_t amount) override;
    void ShowLinkHealth(const LinkHealth& health) override;
    void FreqParamsExchanged(const FreqParamsCodes& codes) override;
    void FreqMeasureStarted() override;
    void SweepPointDecoded(const MeasValues& point) override;
    const FormatSettings& Format() const override { return format_; }
    PeriodValues Period() const override;
    ParamsValues MeasureParams() const override;
    FreqParamsValues FreqParams() const override;
    ReportSettingsValues ReportSettings() const override;
    GprsNetValues GprsNet() const override;
    QString DeviceClockText() const override;
    void ShowPeriod(const PeriodValues& v) override;
    void ShowParams(const ParamsValues& v) override;
    void ShowFreqParams(const FreqParamsValues& v) override;
    void ShowReportSettings(const ReportSettingsValues& v) override;
    void ShowGprsNet(const GprsNetValues& v) override;
    void ShowDeviceClock(const QString& text) override;
    void ShowVersion(const QString& text) override;
    void ShowDataSize(int64_t items) override;
    void ShowDownloadedCount(int64_t counter) override;
    void ShowMeasurement(const MeasurementLabels& labels) override;
    void ShowSweepPoint(const SweepPointLabels& labels) override;
    void ShowStatus(const QString& text) override;

    // Report items completed since the window was made (ReportItemCount).
    int ReportItemCount() const;

    // Start-up.
    void FormShow();

    // The buffer's controller: the pool every record enters, and records put back.
    BufferController& Buffer() { return *buffer_; }
    // The archive's controller: its start, hooks, restore offer and last hand-over.
    ArchiveController& Archive() { return *archiveCtl_; }
    // Frequency sweeps: this session's, every point kept (their controller's).
    SweepRecorder& Sweeps() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void ConnectHandlers(const ConsoleOptions& options, const QString& fleetConninfo);
    // The report server's controller, with what the command line sets of the server.
    void ConnectServerHandlers(const ConsoleOptions& options);

    FormatSettings format_;
    const std::unique_ptr<TMB> MB;
    // The pages' controls, typed, as their builders made them.
    ConnectionPage connection_;
    MeasurePage measure_;
    FreqRangePage freqRange_;
    SystemConfigPage systemConfig_;
    DownloadPage download_;
    ExcelExportPage excelExport_;
    DataBufferPage dataBuffer_;
    DataPreviewPage dataPreview_;
    // The window's own controls around the pages.
    WindowFrame frame_;
    bool shown_ = false;
    PreviewPlot* plot_ = nullptr;
    BufferController* buffer_ = nullptr;
    ArchiveController* archiveCtl_ = nullptr;
    ServerController* server_ = nullptr;
    SweepController* sweeps_ = nullptr;
    DownloadController* downloads_ = nullptr;
    ConnectionController* connectionCtl_ = nullptr;
    SettingsController* settings_ = nullptr;
};
