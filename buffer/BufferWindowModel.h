#pragma once
// What BufGrid shows of the buffer table: at most Rows of its rows at a time, from Offset() on.
// A table view keeps a record for each row and goes over all of them whenever rows are inserted
// (a buffer of ten million held the window for a tenth of a second at each insertion); with a
// bounded number of rows that costs the same at any buffer size. Up to Rows items it is the
// table itself, row for row. Beyond, the window follows the newest item as rows come, and moves
// back and forth (ShiftBy) as the operator scrolls to its ends; a row selected or current keeps
// its item while the window moves (and is let go once the item is outside).
#include <QAbstractTableModel>
#include <cstdint>

#include "buffer/BufferTableModel.h"

class BufferWindowModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int DefaultRows = 100000;

    explicit BufferWindowModel(BufferTableModel& table, int rows = DefaultRows,
                               QObject* parent = nullptr);

    BufferTableModel& Table() const { return table_; }
    // The table's row shown in row 0.
    int64_t Offset() const { return offset_; }
    // The row showing the table's row `row` once the window holds it (moved as little as
    // needed).
    QModelIndex Show(int64_t row);
    // Moves the window by `rows` (back when negative) within the table; returns how far it moved.
    int64_t ShiftBy(int64_t rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int64_t TableRows() const { return table_.rowCount(); }
    QModelIndex ToTable(const QModelIndex& index) const;
    void Inserted(int first);
    void AboutToRemove(int first);
    void Removed();
    void Changed(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void MoveTo(int64_t offset);

    BufferTableModel& table_;
    const int max_;
    int64_t offset_ = 0;
    int rows_ = 0;
    int keep_ = -1; // rows kept by a removal under way, -1 outside one
};
