#include "buffer/BufferTableModel.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <limits>

#include "buffer/BufferCellText.h"

BufferTableModel::BufferTableModel(RecordStream& pool, QObject* parent)
    : QAbstractTableModel(parent), shown_(std::min<int64_t>(pool.Count(), RowsFor(pool.Count()))) {
    ListenTo(&pool);
}

int BufferTableModel::RowsFor(int64_t items) {
    // Qt counts rows in int; a pool beyond that shows its first INT_MAX items.
    return static_cast<int>(std::clamp<int64_t>(items, 1, std::numeric_limits<int>::max()));
}

void BufferTableModel::RecordAppended(const TMeasRecord&) {
    if (growQueued_)
        return;
    growQueued_ = true;
    const int64_t pace = shown_ / RowsPerPaceMs;
    if (pace == 0)
        QMetaObject::invokeMethod(this, &BufferTableModel::ShowAppendedRows, Qt::QueuedConnection);
    else
        QTimer::singleShot(std::chrono::milliseconds(pace), this,
                           &BufferTableModel::ShowAppendedRows);
}

void BufferTableModel::RecordsAppended(int64_t, int64_t) {
    if (shown_ >= RowsPerPaceMs)
        RecordAppended({}); // paced, as one record
    else
        Grow(); // all the new rows in one insertion
}

void BufferTableModel::ShowAppendedRows() {
    growQueued_ = false;
    Grow();
}

void BufferTableModel::Grow() {
    const int64_t n = PoolCount();
    const int64_t before = shown_;
    // The blank row becomes item 0 first (same row, new texts), so that the rows inserted after
    // it leave it as it is.
    if (shown_ == 0 && n > 0) {
        shown_ = 1;
        emit dataChanged(index(0, 0), index(0, BufferColumnCount - 1));
    }
    const int oldRows = RowsFor(shown_);
    const int newRows = RowsFor(n);
    if (newRows > oldRows) {
        beginInsertRows(QModelIndex(), oldRows, newRows - 1);
        shown_ = std::min<int64_t>(n, newRows);
        endInsertRows();
    }
    if (shown_ != before)
        emit rowsAppended();
}

void BufferTableModel::StreamCleared() {
    if (shown_ == 0)
        return;
    const int oldRows = RowsFor(shown_);
    if (oldRows > 1) {
        beginRemoveRows(QModelIndex(), 1, oldRows - 1);
        shown_ = 1;
        endRemoveRows();
    }
    shown_ = 0;
    emit dataChanged(index(0, 0), index(0, BufferColumnCount - 1));
}

void BufferTableModel::SetFormatSettings(const FormatSettings& fs) {
    fs_ = fs;
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(RowsFor(shown_) - 1, BufferColumnCount - 1));
}

int BufferTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowsFor(shown_);
}

int BufferTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : BufferColumnCount;
}

QVariant BufferTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.column() >= BufferColumnCount)
        return QVariant();
    const int64_t item = index.row();
    if (item >= shown_ || item >= PoolCount())
        return QString(); // the blank row
    return BufferCellText(Stream()->At(item), item, index.column(), fs_);
}

QVariant BufferTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return BufferHeaderTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags BufferTableModel::flags(const QModelIndex& index) const {
    // Read-only: rows can be selected, cells not edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
