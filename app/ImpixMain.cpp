#include "app/ImpixMain.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>

#include "app/features/ConnectionController.h"
#include "app/features/DownloadController.h"
#include "app/features/ExportController.h"
#include "app/features/FleetController.h"
#include "app/features/SettingsController.h"
#include "app/features/SweepController.h"
#include "app/features/TrendController.h"
#include "app/pages/Pages.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/ProgramVersion.h"
#include "buffer/BufferCellText.h"
#include "buffer/BufferTableModel.h"
#include "dialogs/ComDlg.h"
#include "dialogs/StdDlg.h"
#include "link/ModBus.h"
#include "net/ReportServer.h"
#include "widgets/FileNameEdit.h"
#include "widgets/PreviewPlot.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

TFImpixMain::TFImpixMain(const FormatSettings& format, const ConsoleOptions& options,
                         const QString& fleetConninfo)
    : format_(format), MB(std::make_unique<TMB>(*this)) {
    // First to hear of the pool: the item count is shown before the table and the plots follow.
    ListenTo(&Pool);
    BuildWindow();
    poolItemsTx_ = dataBuffer_.PoolItemsTx;
    ConnectHandlers();
    ConnectServerHandlers(options);
    sweeps_ = new SweepController(
        freqRange_.SweepBtn, [this] { return archive_; }, this);
    // The fleet view's handlers are its controller's, a child of the window.
    new FleetController(
        connection_.FleetBtn, fleetConninfo,
        [this](std::span<const TMeasRecord> records) { AddRecords(records, ArrivalSource::Fleet); },
        this);
    // FormCreate: the record streams start empty; the server is idle.
    connection_.SocketStateLabel->setText("Idle");
}

TFImpixMain::~TFImpixMain() = default;

void TFImpixMain::BuildWindow() {
    frame_ = BuildWindowFrame(this);
    connect(frame_.Exit1, &QAction::triggered, this, [this] { Guarded([this] { close(); }); });
    connection_ = BuildConnectionPage(frame_.ConnSheet);
    measure_ = BuildMeasurePage(frame_.MeasureSh);
    freqRange_ = BuildFreqRangePage(frame_.TabSheet5);
    systemConfig_ = BuildSystemConfigPage(frame_.TabSheet1);
    download_ = BuildDownloadPage(frame_.TabSheet3);
    excelExport_ = BuildExcelExportPage(frame_.TabSheet4);
    dataBuffer_ = BuildDataBufferPage(frame_.BufSh);
    plot_ = new PreviewPlot;
    dataPreview_ = BuildDataPreviewPage(frame_.PrewSh, plot_);
    BuildStatusRow(frame_);

    bufferModel_ = std::make_unique<BufferTableModel>(Pool);
    bufferModel_->SetFormatSettings(format_);
    connect(bufferModel_.get(), &BufferTableModel::rowsAppended, this,
            [this] { Guarded([this] { FollowNewestRow(); }); });
}

void TFImpixMain::OnClick(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this,
            [handler = std::move(handler)] { Guarded(handler); });
}

void TFImpixMain::ConnectHandlers() {
    OnClick(frame_.CloseBtn, [this] { close(); });
    connectionCtl_ = new ConnectionController(
        connection_, measure_.VersionInfoBtn, *MB, [this] { NoteArchivePort(); }, this);
    settings_ = new SettingsController(measure_, freqRange_, systemConfig_, download_, *MB, this);
    ConnectBufferHandlers();
    ConnectPreviewHandlers();
    downloads_ = new DownloadController(
        download_, *MB, [this] { return archive_; }, this);
    // The workbook export's handlers are its controller's, a child of the window.
    new ExportController(excelExport_, measure_, Pool, format_, this);
    ConnectArchiveHandlers();
    // The trend view's handlers are its controller's, a child of the window.
    new TrendController(dataPreview_.TrendBtn, plot_, dataPreview_.PwBrdEd, Pool, format_, this);
}

void TFImpixMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        Guarded([this] { FormShow(); });
    }
}

void TFImpixMain::FormShow() {
    settings_->BoardGrpClick();
    connection_.ConGrp->SetItemIndex(0);
    connection_.ConBook->setCurrentWidget(connection_.pg_USB);
    frame_.PageCtrl->setCurrentWidget(frame_.ConnSheet);
    frame_.ComStatusTx->setText("Idle");
    excelExport_.SrcFileEd->SetFileName(ImpixPath(Place::Documents, "Data.txt"));
    excelExport_.ExFileNameEd->SetFileName(ImpixPath(Place::Documents, "Data.xlsx"));
    connection_.ConGrp->SetItemIndex(0);
    setWindowTitle(QString::asprintf("Impix II.  version %d.%d", ProgramMajorVersion(),
                                     ProgramMinorVersion()));
    QTableView* grid = dataBuffer_.BufGrid;
    grid->setModel(bufferModel_.get());
    for (int c = 0; c < bufferModel_->columnCount(); ++c)
        grid->setColumnWidth(c, BufferColumnWidth(c));
    frame_.PageCtrl->setCurrentWidget(frame_.MeasureSh);
    // Centred on the screen, as the window first appears.
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFImpixMain::ShowBoardMask() {
    settings_->ShowBoardMask();
}

void TFImpixMain::ShowConnectionState(bool connected) {
    connectionCtl_->ShowState(connected);
}

void TFImpixMain::ErrorDlg(const QString& msg) {
    ::ErrorDlg(msg);
}

// Frequency sweeps: what the link reports of them goes to their controller.

SweepRecorder& TFImpixMain::Sweeps() const {
    return sweeps_->Recorder();
}

void TFImpixMain::FreqParamsExchanged(const FreqParamsCodes& codes) {
    sweeps_->SettingsExchanged(codes);
}

void TFImpixMain::FreqMeasureStarted() {
    sweeps_->StartSent();
}

void TFImpixMain::SweepPointDecoded(const MeasValues& point) {
    sweeps_->PointDecoded(point);
}
