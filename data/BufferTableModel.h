#pragma once
// The buffer table BufGrid as a model over the pool: one row per item, cell texts computed from
// the record whenever a view asks, so the table costs nothing per item and stays fluid with
// millions of records (views ask only for the rows they show). With no items it shows one
// blank row, as the grid always keeps one row below its header.
#include <QAbstractTableModel>
#include <cstdint>

#include "base/FormatSettings.h"
#include "data/RecordStream.h"

class BufferTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The pool must outlive the model. Changes to the pool reach views only through the two
    // notifications below.
    explicit BufferTableModel(const RecordStream& pool, QObject* parent = nullptr);

    // After the pool grew (by one record in AddRecord; any growth is handled): the new rows
    // appear below the shown ones, or replace the blank row when the pool was empty.
    void RecordAppended();
    // After the pool was emptied: back to the one blank row.
    void PoolCleared();
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

    const RecordStream& pool_;
    FormatSettings fs_;
    int64_t shown_ = 0;
};
