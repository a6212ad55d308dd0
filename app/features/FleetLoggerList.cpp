#include "app/features/FleetLoggerList.h"

#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <utility>

using namespace fleet;

namespace {

QStandardItemModel* LoggersModel(QObject* parent) {
    auto* model = new QStandardItemModel(0, 6, parent);
    model->setHorizontalHeaderLabels(
        {"Name", "Address", "Last report", "Items", "Measurements", "State"});
    return model;
}

// The texts and sort keys of one logger's row.
void SetLoggerCells(QStandardItemModel* model, int row, const LoggerRow& r, const QDateTime& now) {
    const QString last =
        r.lastReport.isValid() ? LocalTime(r.lastReport) + ", " + Ago(r.lastReport, now) : "";
    const std::pair<QString, QVariant> cells[] = {
        {r.name, r.name.toLower()},
        {r.address, r.address},
        {last, r.lastReport.isValid() ? r.lastReport.toMSecsSinceEpoch() : 0},
        {QString::number(r.lastReportItems), r.lastReportItems},
        {QString::number(r.measurements), r.measurements},
        {StateText(r.State()), int(r.State())},
    };
    for (int column = 0; column < 6; ++column) {
        QStandardItem* cell = model->item(row, column);
        if (!cell) {
            cell = new QStandardItem;
            model->setItem(row, column, cell);
        }
        cell->setText(cells[column].first);
        cell->setData(cells[column].second, FleetLoggerList::SortRole);
        if (r.late)
            cell->setForeground(QColor(Qt::red));
        else
            cell->setData(QVariant(), Qt::ForegroundRole);
    }
    model->item(row, 0)->setData(r.id, FleetLoggerList::IdRole);
}

} // namespace

FleetLoggerList::FleetLoggerList(QObject* parent)
    : QObject(parent), loggers_(LoggersModel(this)), shown_(new QSortFilterProxyModel(this)) {
    shown_->setSourceModel(loggers_);
    shown_->setSortRole(SortRole);
    shown_->setFilterKeyColumn(-1);
    shown_->setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void FleetLoggerList::Show(const std::vector<LoggerRow>& loggers, const QDateTime& now) {
    // A new model, filled while nothing watches it and then shown in one step: the list sorts
    // once instead of once per row.
    QStandardItemModel* filled = LoggersModel(this);
    filled->setRowCount(int(loggers.size()));
    rowOfLogger_.clear();
    for (int row = 0; row < int(loggers.size()); ++row) {
        SetLoggerCells(filled, row, loggers[size_t(row)], now);
        rowOfLogger_.insert(loggers[size_t(row)].id, row);
    }
    shown_->setSourceModel(filled);
    delete std::exchange(loggers_, filled);
}

void FleetLoggerList::Update(const std::vector<LoggerRow>& rows, const QDateTime& now) {
    for (const LoggerRow& r : rows) {
        int row = rowOfLogger_.value(r.id, -1);
        if (row < 0) {
            row = loggers_->rowCount();
            loggers_->setRowCount(row + 1);
            rowOfLogger_.insert(r.id, row);
        }
        SetLoggerCells(loggers_, row, r, now);
    }
}
