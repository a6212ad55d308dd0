#pragma once
// The main window: its pages and controls, the measurement buffer, and the handlers of every
// operator event. Handlers work on the controls through the typed structs the page builders
// return (only scripts and tests find controls by name); every event enters through Guarded(),
// so a failure is shown in a message box and the program goes on.
#include <QMainWindow>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "app/ConsoleOptions.h"
#include "app/pages/Pages.h"
#include "archive/ArchiveRow.h"
#include "base/FormatSettings.h"
#include "buffer/RecordStream.h"
#include "link/ConsoleView.h"

class TMB;
class QAbstractButton;
class QLabel;
class QTabWidget;
class QTimer;
class BufferTableModel;
class MeasurementArchive;
struct ArchiveOptions;
class PreviewPlot;
class SweepController;
class DownloadController;
class ConnectionController;
class SettingsController;
class SweepRecorder;

class TFImpixMain : public QMainWindow, public ConsoleView, private RecordStreamListener {
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

    RecordStream Pool;
    int ReportItemCount = 0;
    int DroppedReportItems = 0;

    // Start-up.
    void FormShow();

    // Buffer. AddRecord appends a record to the pool, the table and the plot, and hands it to
    // the archive with its source.
    void AddRecord(const TMeasRecord& rec, ArrivalSource source);
    // The same for many records put back into the buffer (a restore, a session loaded, a
    // fleet slice): appended a slice at a time with the event loop run between slices, so the
    // window stays live; it returns once all are in (a script's next line sees them). Records
    // put back meanwhile follow, and arrivals wait to follow them; the archive gets them in
    // slices too.
    void AddRecords(std::vector<TMeasRecord>&& records, ArrivalSource source);
    void AddRecords(std::span<const TMeasRecord> records, ArrivalSource source);
    void ClearBufBtnClick();
    void SaveBufBtnClick();
    void SaveBufBtnAllClick();
    void SavePoolRange(int64_t from, int64_t to);

    // Start-up, once the link has opened its port: the measurement archive (none with
    // --no-archive; it must outlive the window) is shown and given the port's name, and when
    // it opened in time (`opened`) the restore is offered.
    void StartArchive(MeasurementArchive* archive, bool opened);
    // Fills the archive's hooks: its messages are shown, and when it starts anew it is given
    // the buffer, both on this window's thread.
    void HookArchive(ArchiveOptions& options);
    // After unclean ends of earlier sessions: "Restore measurements", once for each. What
    // arrives meanwhile waits and follows the restored items.
    void OfferRestore();
    // The window is closing: what is still to go to the archive is handed over, waiting for the
    // writer between slices.
    void FinishArchiveHandOver();
    void HistoryBtnClick();
    // The serial port's name goes into the archive's session.
    void NoteArchivePort();

    // Preview.
    void PwBrdEdChange();
    // Frequency sweeps: this session's, every point kept (their controller's).
    SweepRecorder& Sweeps() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void ConnectHandlers();
    void ConnectBufferHandlers();
    // The report server's controller, with what the command line sets of the server.
    void ConnectServerHandlers(const ConsoleOptions& options);
    void ConnectPreviewHandlers();
    void ConnectArchiveHandlers();
    void SetArchive(MeasurementArchive* archive);
    void ShowArchiveState();
    // The archive lost its file: the buffer and its download for the new one.
    void GiveArchiveTheBuffer();
    // Hands the pool's items from `from` on to the archive, a slice at a time while its writer
    // keeps up (its queue holds far fewer than a buffer may), the rest from the event loop.
    void HandOverToArchive(int64_t from, ArrivalSource source);
    void FeedArchive();
    bool FeedingArchive() const { return feedNext_ < feedEnd_; }
    // Arrivals held while the restore question was open or a hand-over ran, in their order.
    void ReleaseHeldArrivals();
    // Runs the handler for the button's clicks through the event guard.
    void OnClick(QAbstractButton* button, std::function<void()> handler);
    // The pool's notifications: the item count and the newest row of the table.
    void RecordAppended(const TMeasRecord& rec) override;
    void RecordsAppended(int64_t first, int64_t count) override;
    void StreamCleared() override;
    void ShowPoolCount();
    // The newest row of the table selected and scrolled into view, as its rows grow.
    void FollowNewestRow();

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
    bool countQueued_ = false;
    QLabel* poolItemsTx_ = nullptr;
    std::unique_ptr<BufferTableModel> bufferModel_;
    PreviewPlot* plot_ = nullptr;
    MeasurementArchive* archive_ = nullptr;
    SweepController* sweeps_ = nullptr;
    DownloadController* downloads_ = nullptr;
    ConnectionController* connectionCtl_ = nullptr;
    SettingsController* settings_ = nullptr;
    QTimer* archiveTimer_ = nullptr;
    // While the restore question is open, arrivals wait here to follow the restored items.
    bool holdArrivals_ = false;
    std::vector<std::pair<TMeasRecord, ArrivalSource>> heldArrivals_;
    // The pool's items [feedNext_, feedEnd_) still go to the archive, in runs of one source
    // (each run's end and source); arrivals meanwhile are held, to follow them.
    int64_t feedNext_ = 0;
    int64_t feedEnd_ = 0;
    std::deque<std::pair<int64_t, ArrivalSource>> feedRuns_;
    // Records being put back into the buffer, in their order: each batch, how far it is in.
    // Arrivals are held while any remain; puttingBack_ while the loop that appends them runs.
    struct PutBack {
        std::vector<TMeasRecord> records;
        size_t next = 0;
        ArrivalSource source;
    };
    std::deque<PutBack> putBack_;
    bool puttingBack_ = false;
    bool feedQueued_ = false;
};
