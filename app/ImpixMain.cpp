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

#include "app/features/ArchiveController.h"
#include "app/features/BufferController.h"
#include "app/features/ConnectionController.h"
#include "app/features/DownloadController.h"
#include "app/features/ExportController.h"
#include "app/features/FleetController.h"
#include "app/features/ServerController.h"
#include "app/features/SettingsController.h"
#include "app/features/SweepController.h"
#include "app/features/TrendController.h"
#include "app/pages/Pages.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/ProgramVersion.h"
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
    BuildWindow();
    ConnectHandlers(options, fleetConninfo);
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
}

void TFImpixMain::ConnectHandlers(const ConsoleOptions& options, const QString& fleetConninfo) {
    connect(frame_.CloseBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { close(); }); });
    // Each feature's handlers are its controller's, a child of the window.
    connectionCtl_ = new ConnectionController(
        connection_, measure_.VersionInfoBtn, *MB, [this] { archiveCtl_->NoteArchivePort(); },
        this);
    settings_ = new SettingsController(measure_, freqRange_, systemConfig_, download_, *MB, this);
    // The first to hear of the buffer: its item count is shown before the table and the plots
    // follow.
    buffer_ = new BufferController(dataBuffer_, measure_, format_, this);
    const auto archive = [this] { return archiveCtl_->Archive(); };
    downloads_ = new DownloadController(download_, *MB, archive, this);
    new ExportController(excelExport_, measure_, buffer_->Pool(), format_, this);
    sweeps_ = new SweepController(freqRange_.SweepBtn, archive, this);
    archiveCtl_ =
        new ArchiveController(dataBuffer_, *buffer_, *downloads_, *sweeps_, *MB, format_, this);
    buffer_->UseArchive(*archiveCtl_);
    new TrendController(dataPreview_, plot_, buffer_->Pool(), format_, this);
    ConnectServerHandlers(options);
    new FleetController(
        connection_.FleetBtn, fleetConninfo,
        [this](std::span<const TMeasRecord> records) {
            buffer_->AddRecords(records, ArrivalSource::Fleet);
        },
        this);
}

void TFImpixMain::ConnectServerHandlers(const ConsoleOptions& options) {
    ReportServer::Hooks hooks;
    hooks.reportItem = [this](ReportServer::Item item) { MB->ReportItem(item); };
    hooks.stateText = [this](const QString& text) { connection_.SocketStateLabel->setText(text); };
    hooks.countText = [this](const QString& text) { connection_.CntLabel->setText(text); };
    hooks.peerConnected = [this](const QString& peer) {
        if (MeasurementArchive* archive = archiveCtl_->Archive())
            archive->SetPeer(peer);
    };
    hooks.holdBack = [this] { return archiveCtl_->ReportsWait(); };
    server_ = new ServerController(connection_, std::move(hooks), options, format_, this);
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
    buffer_->ShowTable();
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

// Records: the buffer's controller takes them, a downloaded one through the archive's, which
// holds it while it must and counts it in the download.

void TFImpixMain::AddRecord(const TMeasRecord& rec) {
    buffer_->AddRecord(rec, ArrivalSource::Live);
}

void TFImpixMain::AddReportedRecord(const TMeasRecord& rec) {
    buffer_->AddRecord(rec, ArrivalSource::Report);
}

void TFImpixMain::AddDownloadedRecord(const TMeasRecord& rec) {
    archiveCtl_->AddDownloadedRecord(rec);
}

// Report items: the server's controller counts them.

void TFImpixMain::CountReportItem() {
    server_->CountReportItem();
}

void TFImpixMain::CountDroppedReportItem() {
    server_->CountDroppedReportItem();
}

int TFImpixMain::ReportItemCount() const {
    return server_->ReportItemCount();
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
