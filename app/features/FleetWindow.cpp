#include "app/features/FleetWindow.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/features/FleetLoggerList.h"
#include "app/pages/Looks.h"
#include "app/pages/PageParts.h"
#include "base/EventGuard.h"
#include "widgets/RadioGroup.h"

using namespace pages;
using namespace fleet;

namespace {

constexpr int SortRole = FleetLoggerList::SortRole;
constexpr int IdRole = FleetLoggerList::IdRole;

QTableView* MakeTable(QWidget* parent, const QString& name, QAbstractItemModel* model) {
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setModel(model);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setWordWrap(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

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
    setObjectName(QStringLiteral("FFleet"));
    setWindowTitle(QStringLiteral("Fleet"));
    resize(860, 520);

    db_ = MakeEdit(this, QStringLiteral("FleetDbEd"), conninfo);
    db_->setPlaceholderText(QStringLiteral("host=... dbname=... user=... (a password goes in "
                                           "~/.pgpass)"));
    auto* connectBtn =
        MakeButton(this, QStringLiteral("FleetConnectBtn"), QStringLiteral("Connect"));
    state_ = MakeLabel(this, QStringLiteral("FleetStateTx"), QString());
    late_ = MakeLabel(this, QStringLiteral("FleetLateTx"), QString());
    looks::SetBold(late_);

    loggers_ = new FleetLoggerList(this);
    list_ = MakeTable(this, QStringLiteral("FleetLst"), loggers_->Shown());
    list_->sortByColumn(0, Qt::AscendingOrder);
    // Fixed widths: measuring every cell of ten thousand loggers would cost each refresh.
    for (const auto& [column, width] : {std::pair{0, 130}, {1, 110}, {2, 240}, {3, 70}, {4, 110}})
        list_->setColumnWidth(column, width);
    auto* filter = MakeEdit(this, QStringLiteral("FleetFilterEd"), QString());
    filter->setPlaceholderText(QStringLiteral("Filter"));
    connect(filter, &QLineEdit::textChanged, loggers_->Shown(),
            &QSortFilterProxyModel::setFilterFixedString);

    unknown_ = new QStandardItemModel(0, 3, this);
    unknown_->setHorizontalHeaderLabels({"Address", "Time", "Bytes"});
    auto* unknownProxy = new QSortFilterProxyModel(this);
    unknownProxy->setSourceModel(unknown_);
    unknownProxy->setSortRole(SortRole);
    QTableView* unknownList = MakeTable(this, QStringLiteral("FleetUnknownLst"), unknownProxy);
    unknownList->sortByColumn(1, Qt::DescendingOrder);

    auto* loggersPage = new QWidget(this);
    auto* loggersBox = new QVBoxLayout(loggersPage);
    loggersBox->addLayout(MakeRow({filter, late_}));
    loggersBox->addWidget(list_, 1);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("FleetTabs"));
    tabs->addTab(loggersPage, QStringLiteral("Loggers"));
    tabs->addTab(unknownList, QStringLiteral("Unknown peers"));

    span_ = MakeRadio(this, QStringLiteral("FleetSpanGrp"), QStringLiteral(" Span: "),
                      {"last day", "last week", "all", "from/to"}, 0, 4);
    from_ = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), this);
    from_->setObjectName(QStringLiteral("FleetFromEd"));
    to_ = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    to_->setObjectName(QStringLiteral("FleetToEd"));
    for (QDateTimeEdit* e : {from_, to_})
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    loadBtn_ = MakeButton(this, QStringLiteral("FleetLoadBtn"), QStringLiteral("Load"));
    cancelBtn_ = MakeButton(this, QStringLiteral("FleetCancelBtn"), QStringLiteral("Cancel"));
    cancelBtn_->setEnabled(false);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("FleetLoadBar"));
    bar_->setRange(0, 1);
    bar_->setValue(0);

    auto* outer = new QVBoxLayout(this);
    auto* dbRow = new QHBoxLayout;
    dbRow->addWidget(MakeLabel(this, QStringLiteral("FleetDbLb"), QStringLiteral("Database:")));
    dbRow->addWidget(db_, 1);
    dbRow->addWidget(connectBtn);
    outer->addLayout(dbRow);
    outer->addWidget(state_);
    outer->addWidget(tabs, 1);
    outer->addWidget(span_);
    auto* loadRow = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{
             MakeLabel(this, QStringLiteral("FleetFromLb"), QStringLiteral("From:")), from_,
             MakeLabel(this, QStringLiteral("FleetToLb"), QStringLiteral("To:")), to_, loadBtn_})
        loadRow->addWidget(w);
    loadRow->addWidget(bar_, 1);
    loadRow->addWidget(cancelBtn_);
    outer->addLayout(loadRow);

    connect(connectBtn, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            keep_(db_->text().trimmed());
            Connect(db_->text().trimmed());
        });
    });
    connect(loadBtn_, &QPushButton::clicked, this, [this] { Guarded([this] { LoadClick(); }); });
    connect(cancelBtn_, &QPushButton::clicked, this, [this] { load_.Cancel(); });
    connect(&load_, &MeasurementLoad::Slice, this,
            [this](const std::vector<TMeasRecord>& s) { Guarded([&] { records_(s); }); });
    connect(&load_, &MeasurementLoad::Progress, this, [this](qint64 done, qint64 total) {
        bar_->setRange(0, int(std::min<qint64>(total, INT_MAX)));
        bar_->setValue(int(std::min<qint64>(done, INT_MAX)));
    });
    connect(&load_, &MeasurementLoad::Finished, this,
            [this](qint64 count, bool cancelled, const QString& error) {
                loadBtn_->setEnabled(true);
                cancelBtn_->setEnabled(false);
                state_->setText(!error.isEmpty() ? "Load failed: " + error
                                : cancelled      ? QString("Load cancelled after %1").arg(count)
                                                 : QString("Loaded %1 measurements").arg(count));
            });
    Connect(conninfo);
}

void FleetWindow::Connect(const QString& conninfo) {
    client_.reset();
    if (conninfo.isEmpty()) {
        state_->setText(QStringLiteral("No fleet database: enter its connection and Connect"));
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
    state_->setText(QStringLiteral("Connecting..."));
    client_->Start();
}

void FleetWindow::ShowState() {
    if (!client_)
        return;
    if (!client_->Problem().isEmpty()) {
        looks::SetTextColor(state_, looks::kRed);
        state_->setText((client_->Connected() ? QString() : QStringLiteral("Not connected: ")) +
                        client_->Problem());
    } else {
        looks::SetTextColor(state_, looks::kGreen);
        state_->setText(QStringLiteral("Connected"));
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
            list_->selectRow(r);
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
    late_->setText(LateText(late, int(loggers.size())));
    looks::SetTextColor(late_, late > 0 ? looks::kRed : looks::kGreen);
    setWindowTitle(late > 0 ? QStringLiteral("Fleet - %1 late").arg(late)
                            : QStringLiteral("Fleet"));
}

qint64 FleetWindow::ChosenLogger() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().data(IdRole).toLongLong();
}

LoadSpan FleetWindow::Span() const {
    const QDateTime now = QDateTime::currentDateTime();
    switch (span_->ItemIndex()) {
    case 0:
        return {now.addDays(-1), {}};
    case 1:
        return {now.addDays(-7), {}};
    case 3:
        return {from_->dateTime(), to_->dateTime()};
    default:
        return {};
    }
}

void FleetWindow::LoadClick() {
    const qint64 logger = ChosenLogger();
    if (!client_ || logger < 0) {
        state_->setText(QStringLiteral("Choose a logger to load"));
        return;
    }
    if (!load_.Start(client_->Conninfo(), logger, Span()))
        return;
    loadBtn_->setEnabled(false);
    cancelBtn_->setEnabled(true);
    bar_->setRange(0, 0);
    state_->setText(QStringLiteral("Loading..."));
}
