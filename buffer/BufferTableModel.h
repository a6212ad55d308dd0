#pragma once
// The buffer table BufGrid as a model over the pool: one row per item, cell texts computed from
// the record whenever a view asks, so the table costs nothing per item and stays fluid with
// millions of records (views ask only for the rows they show). With no items it shows one
// blank row, as the grid always keeps one row below its header. It hears of the pool's changes
// from the pool itself. Items appended one by one become rows at the next pass of the event
// loop, all in one insertion: a report brings a million items a second, and each insertion
// makes a view add up the heights of all its rows again (milliseconds with millions), so with
// more than RowsPerPaceMs rows the rows of new items come at most every rows / RowsPerPaceMs
// milliseconds.
#include <QAbstractTableModel>
#include <cstdint>

#include "base/FormatSettings.h"
#include "buffer/RecordStream.h"

class BufferTableModel : public QAbstractTableModel, public RecordStreamListener {
    Q_OBJECT

public:
    // Listens to the pool from now on; a pool destroyed first leaves the model empty.
    explicit BufferTableModel(RecordStream& pool, QObject* parent = nullptr);

    static constexpr int64_t RowsPerPaceMs = 50000;

    // After the pool grew: the new rows appear below the shown ones, or replace the blank row
    // when the pool was empty; one record later (above), many at once unless the table holds
    // RowsPerPaceMs rows or more: then they come at the pace above too (records put back into
    // a large buffer come in many slices).
    void RecordAppended(const TMeasRecord& rec) override;
    void RecordsAppended(int64_t first, int64_t count) override;
    // Shows the rows of the items appended so far now.
    void ShowAppendedRows();
    // After the pool was emptied: back to the one blank row.
    void StreamCleared() override;
    // Redraws every shown text with other number and time conventions.
    void SetFormatSettings(const FormatSettings& fs);
    const FormatSettings& Format() const { return fs_; }

    // Items the table shows (0 while it shows the blank row).
    int64_t ShownItems() const { return shown_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // Rows of new items were shown (the blank row becoming item 0 included).
    void rowsAppended();

private:
    static int RowsFor(int64_t items);
    int64_t PoolCount() const { return Stream() ? Stream()->Count() : 0; }
    // The pool grew, by any number of records: the new rows appear below the shown ones.
    void Grow();

    FormatSettings fs_;
    int64_t shown_ = 0;
    bool growQueued_ = false;
};
