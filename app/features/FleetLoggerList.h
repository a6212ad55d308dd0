#pragma once
// The loggers of the window "Fleet" as its list shows them: one row per logger (name, address,
// last report, its items, measurements in all, state; late rows in red), sortable by what each
// column means and filtered by text. A whole fleet is shown at once; a notified logger's row is
// changed in place, without touching the others.
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <vector>

#include "fleet/FleetRows.h"

class QSortFilterProxyModel;
class QStandardItemModel;

class FleetLoggerList : public QObject {
    Q_OBJECT
public:
    // What a column sorts by: numbers and times as numbers, the rest as text.
    static constexpr int SortRole = Qt::UserRole;
    // The logger's id, in the name column.
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit FleetLoggerList(QObject* parent = nullptr);

    // The sorted, filtered rows, for a view.
    QSortFilterProxyModel* Shown() const { return shown_; }
    // Every logger anew.
    void Show(const std::vector<fleet::LoggerRow>& loggers, const QDateTime& now);
    // These loggers' rows (a logger not shown yet is added).
    void Update(const std::vector<fleet::LoggerRow>& rows, const QDateTime& now);

private:
    QStandardItemModel* loggers_ = nullptr;
    QSortFilterProxyModel* shown_ = nullptr;
    QHash<qint64, int> rowOfLogger_; // in loggers_
};
