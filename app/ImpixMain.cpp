#include "app/ImpixMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

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
#include "app/pages/Looks.h"
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

namespace {
// The window's client area, fixed.
constexpr int ClientWidth = 692;
constexpr int ClientHeight = 586;
constexpr int PageCtrlHeight = 521;

struct PageDef {
    const char* name;
    const char* caption;
};
// Tab order of the page control.
constexpr PageDef PageDefs[] = {
    {"ConnSheet", "Connection"},    {"MeasureSh", "Measure Config"}, {"TabSheet5", "Freq Range"},
    {"TabSheet1", "System Config"}, {"TabSheet3", "Download"},       {"TabSheet4", "Excel export"},
    {"BufSh", "Data Buffer"},       {"PrewSh", "Data Preview"},
};
// Where PageDefs has the two pages the window shows at first.
constexpr int ConnSheetIndex = 0;
constexpr int MeasureShIndex = 1;
} // namespace

TFImpixMain::TFImpixMain(const FormatSettings& format, const ConsoleOptions& options,
                         const QString& fleetConninfo)
    : format_(format), MB(std::make_unique<TMB>(*this)) {
    setObjectName("FImpixMain");
    BuildWindow();
    ConnectHandlers(options, fleetConninfo);
    // FormCreate: the record streams start empty; the server is idle.
    connection_.SocketStateLabel->setText("Idle");
}

TFImpixMain::~TFImpixMain() = default;

void TFImpixMain::BuildWindow() {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font = QApplication::font();
    font.setPointSize(8);
    setFont(font);

    auto* file = menuBar()->addMenu("XXX");
    file->setObjectName("File1");
    file->addSeparator()->setObjectName("N1");
    QAction* exit = file->addAction("Exit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, [this] { Guarded([this] { close(); }); });

    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    central->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* pages = pageCtrl_ = new QTabWidget(central);
    pages->setObjectName("PageCtrl");
    pages->setTabPosition(QTabWidget::South);
    pages->setFixedHeight(PageCtrlHeight);
    // All eight tabs in one row across the window, as the operator expects to find them.
    pages->setStyleSheet("QTabBar::tab { padding: 3px 7px; }");
    for (const PageDef& def : PageDefs) {
        auto* page = new QWidget;
        page->setObjectName(def.name);
        pages->addTab(page, def.caption);
    }
    layout->addWidget(pages);
    connection_ = BuildConnectionPage(pages->widget(0));
    measure_ = BuildMeasurePage(pages->widget(1));
    freqRange_ = BuildFreqRangePage(pages->widget(2));
    systemConfig_ = BuildSystemConfigPage(pages->widget(3));
    download_ = BuildDownloadPage(pages->widget(4));
    excelExport_ = BuildExcelExportPage(pages->widget(5));
    dataBuffer_ = BuildDataBufferPage(pages->widget(6));
    plot_ = new PreviewPlot;
    plot_->setObjectName("PB");
    dataPreview_ = BuildDataPreviewPage(pages->widget(7), plot_);
    BuildBottom(central);
    layout->addStretch();
}

void TFImpixMain::BuildBottom(QWidget* central) {
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel("CMD Status", central);
    caption->setObjectName("Label4");
    QFont f = caption->font();
    f.setPointSize(10);
    f.setBold(true);
    caption->setFont(f);
    looks::SetTextColor(caption, QColor(0, 0, 255));
    auto* status = comStatusTx_ = new QLabel("send", central);
    status->setObjectName("ComStatusTx");
    f.setPointSize(12);
    status->setFont(f);
    looks::SetTextColor(status, QColor(0, 128, 0));
    status->setMinimumWidth(260);
    auto* close =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close", central);
    closeBtn_ = close;
    close->setObjectName("CloseBtn");
    row->addSpacing(12);
    row->addWidget(caption);
    row->addSpacing(12);
    row->addWidget(status);
    // Our own indicator beside the command status: answers dropped and requests unanswered.
    auto* health = linkHealthTx_ = new QLabel("no link errors", central);
    health->setObjectName("LinkHealthTx");
    health->setMinimumWidth(200);
    health->setWordWrap(true);
    row->addWidget(health, 1);
    row->addStretch();
    row->addWidget(close);
    row->addSpacing(12);
    static_cast<QVBoxLayout*>(central->layout())->addLayout(row);
}

void TFImpixMain::ConnectHandlers(const ConsoleOptions& options, const QString& fleetConninfo) {
    connect(closeBtn_, &QAbstractButton::clicked, this, [this] { Guarded([this] { close(); }); });
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
    server_ =
        new ServerController(connection_.ServerBox, connection_.RunServerBtn,
                             connection_.StopServerBtn, std::move(hooks), options, format_, this);
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
    QTabWidget* pages = pageCtrl_;
    pages->setCurrentIndex(ConnSheetIndex);
    comStatusTx_->setText("Idle");
    excelExport_.SrcFileEd->SetFileName(ImpixPath(Place::Documents, "Data.txt"));
    excelExport_.ExFileNameEd->SetFileName(ImpixPath(Place::Documents, "Data.xlsx"));
    connection_.ConGrp->SetItemIndex(0);
    setWindowTitle(QString::asprintf("Impix II.  version %d.%d", ProgramMajorVersion(),
                                     ProgramMinorVersion()));
    buffer_->ShowTable();
    pages->setCurrentIndex(MeasureShIndex);
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
