#include "app/features/FleetWindow.h"

#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

#include "app/features/FleetLoggerList.h"
#include "app/pages/Looks.h"
#include "base/EventGuard.h"
#include "widgets/RadioGroup.h"

using namespace fleet;

namespace {

constexpr int SortRole = FleetLoggerList::SortRole;
constexpr int IdRole = FleetLoggerList::IdRole;

QStandardItem* Cell(const QString& text, const QVariant& sortBy) {
    auto* item = new QStandardItem(text);
    item->setData(sortBy, SortRole);
    return item;
}

} // namespace

QString FleetWindow::LateText(int late, int all) {
    return QStringLiteral("%1 of %2 late").arg(late).arg(all);
}

FleetWindow::FleetWindow(const QString& conninfo, RecordSink records, ConninfoSink keep,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), records_(std::move(records)), keep_(std::move(keep)) {
    resize(860, 520);
    loggers_ = new FleetLoggerList(this);
    unknown_ = new QStandardItemModel(0, 3, this);
    unknown_->setHorizontalHeaderLabels({"Address", "Time", "Bytes"});
    auto* unknownProxy = new QSortFilterProxyModel(this);
    unknownProxy->setSourceModel(unknown_);
    unknownProxy->setSortRole(SortRole);
    view_ = BuildFleetWindowPage(this, conninfo, loggers_->Shown(), unknownProxy);
    connect(view_.FleetFilterEd, &QLineEdit::textChanged, loggers_->Shown(),
            &QSortFilterProxyModel::setFilterFixedString);

    connect(view_.FleetConnectBtn, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            keep_(view_.FleetDbEd->text().trimmed());
            Connect(view_.FleetDbEd->text().trimmed());
        });
    });
    connect(view_.FleetLoadBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { LoadClick(); }); });
    connect(view_.FleetCancelBtn, &QPushButton::clicked, this, [this] { load_.Cancel(); });
    connect(&load_, &MeasurementLoad::Slice, this,
            [this](const std::vector<TMeasRecord>& s) { Guarded([&] { records_(s); }); });
    connect(&load_, &MeasurementLoad::Progress, this, [this](qint64 done, qint64 total) {
        view_.FleetLoadBar->setRange(0, int(std::min<qint64>(total, INT_MAX)));
        view_.FleetLoadBar->setValue(int(std::min<qint64>(done, INT_MAX)));
    });
    connect(&load_, &MeasurementLoad::Finished, this,
            [this](qint64 count, bool cancelled, const QString& error) {
                view_.FleetLoadBtn->setEnabled(true);
                view_.FleetCancelBtn->setEnabled(false);
                view_.FleetStateTx->setText(!error.isEmpty() ? "Load failed: " + error
                                            : cancelled
                                                ? QString("Load cancelled after %1").arg(count)
                                                : QString("Loaded %1 measurements").arg(count));
            });
    Connect(conninfo);
}

void FleetWindow::Connect(const QString& conninfo) {
    client_.reset();
    if (conninfo.isEmpty()) {
        view_.FleetStateTx->setText(
            QStringLiteral("No fleet database: enter its connection and Connect"));
        return;
    }
    client_ = std::make_unique<FleetClient>(conninfo);
    connect(client_.get(), &FleetClient::StateChanged, this,
            [this] { Guarded([this] { ShowState(); }); });
    connect(client_.get(), &FleetClient::FleetRead, this,
            [this] { Guarded([this] { ShowFleet(); }); });
    connect(client_.get(), &FleetClient::UnknownRead, this,
            [this] { Guarded([this] { ShowUnknown(); }); });
    connect(client_.get(), &FleetClient::LoggersRead, this,
            [this](const std::vector<LoggerRow>& rows) { Guarded([&] { UpdateLoggers(rows); }); });
    view_.FleetStateTx->setText(QStringLiteral("Connecting..."));
    client_->Start();
}

void FleetWindow::ShowState() {
    if (!client_)
        return;
    if (!client_->Problem().isEmpty()) {
        looks::SetTextColor(view_.FleetStateTx, looks::kRed);
        view_.FleetStateTx->setText(
            (client_->Connected() ? QString() : QStringLiteral("Not connected: ")) +
            client_->Problem());
    } else {
        looks::SetTextColor(view_.FleetStateTx, looks::kGreen);
        view_.FleetStateTx->setText(QStringLiteral("Connected"));
    }
}

void FleetWindow::ShowFleet() {
    ShowState();
    ShowLoggers();
    ShowUnknown();
}

void FleetWindow::ShowLoggers() {
    const qint64 chosen = ChosenLogger();
    loggers_->Show(client_->Snapshot().loggers, QDateTime::currentDateTime());
    ShowLate();
    const QSortFilterProxyModel* shown = loggers_->Shown();
    for (int r = 0; r < shown->rowCount(); ++r)
        if (shown->index(r, 0).data(IdRole).toLongLong() == chosen)
            view_.FleetLst->selectRow(r);
}

void FleetWindow::UpdateLoggers(const std::vector<LoggerRow>& rows) {
    loggers_->Update(rows, QDateTime::currentDateTime());
    ShowLate();
}

void FleetWindow::ShowUnknown() {
    unknown_->setRowCount(0);
    for (const UnknownReport& u : client_->Snapshot().unknown)
        unknown_->appendRow({Cell(u.peer, u.peer), Cell(LocalTime(u.at), u.at.toMSecsSinceEpoch()),
                             Cell(QString::number(u.bytes), u.bytes)});
}

void FleetWindow::ShowLate() {
    const std::vector<LoggerRow>& loggers = client_->Snapshot().loggers;
    const int late = int(
        std::count_if(loggers.begin(), loggers.end(), [](const LoggerRow& r) { return r.late; }));
    view_.FleetLateTx->setText(LateText(late, int(loggers.size())));
    looks::SetTextColor(view_.FleetLateTx, late > 0 ? looks::kRed : looks::kGreen);
    setWindowTitle(late > 0 ? QStringLiteral("Fleet - %1 late").arg(late)
                            : QStringLiteral("Fleet"));
}

qint64 FleetWindow::ChosenLogger() const {
    const QModelIndexList rows = view_.FleetLst->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().data(IdRole).toLongLong();
}

LoadSpan FleetWindow::Span() const {
    const QDateTime now = QDateTime::currentDateTime();
    switch (view_.FleetSpanGrp->ItemIndex()) {
    case 0:
        return {now.addDays(-1), {}};
    case 1:
        return {now.addDays(-7), {}};
    case 3:
        return {view_.FleetFromEd->dateTime(), view_.FleetToEd->dateTime()};
    default:
        return {};
    }
}

void FleetWindow::LoadClick() {
    const qint64 logger = ChosenLogger();
    if (!client_ || logger < 0) {
        view_.FleetStateTx->setText(QStringLiteral("Choose a logger to load"));
        return;
    }
    if (!load_.Start(client_->Conninfo(), logger, Span()))
        return;
    view_.FleetLoadBtn->setEnabled(false);
    view_.FleetCancelBtn->setEnabled(true);
    view_.FleetLoadBar->setRange(0, 0);
    view_.FleetStateTx->setText(QStringLiteral("Loading..."));
}
