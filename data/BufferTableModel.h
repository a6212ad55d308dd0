#pragma once
// The buffer table BufGrid as a model over the pool: one row per item, cell texts computed from
// the record whenever a view asks, so the table costs nothing per item and stays fluid with
// millions of records (views ask only for the rows they show). With no items it shows one
// blank row, as the grid always keeps one row below its header. It hears of the pool's changes
// from the pool itself.
#include <QAbstractTableModel>
#include <cstdint>

#include "base/FormatSettings.h"
#include "data/RecordStream.h"

class BufferTableModel : public QAbstractTableModel, public RecordStreamListener {
    Q_OBJECT

public:
    // Listens to the pool from now on; a pool destroyed first leaves the model empty.
    explicit BufferTableModel(RecordStream& pool, QObject* parent = nullptr);

    // After the pool grew: the new rows appear below the shown ones, or replace the blank row
    // when the pool was empty.
    void RecordAppended(const TMeasRecord& rec) override;
    void RecordsAppended(int64_t first, int64_t count) override;
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

private:
    static int RowsFor(int64_t items);
    int64_t PoolCount() const { return Stream() ? Stream()->Count() : 0; }
    // The pool grew, by any number of records: the new rows appear below the shown ones.
    void Grow();

    FormatSettings fs_;
    int64_t shown_ = 0;
};
