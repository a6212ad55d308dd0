#include "buffer/BufferWindowModel.h"

#include <algorithm>

BufferWindowModel::BufferWindowModel(BufferTableModel& table, int rows, QObject* parent)
    : QAbstractTableModel(parent), table_(table), max_(std::max(rows, 2)) {
    rows_ = static_cast<int>(std::min<int64_t>(TableRows(), max_));
    offset_ = TableRows() - rows_;
    connect(&table_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int) { Inserted(first); });
    connect(&table_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int) { AboutToRemove(first); });
    connect(&table_, &QAbstractItemModel::rowsRemoved, this, [this] { Removed(); });
    connect(&table_, &QAbstractItemModel::dataChanged, this, &BufferWindowModel::Changed);
    connect(&table_, &QAbstractItemModel::modelAboutToBeReset, this,
            &BufferWindowModel::beginResetModel);
    connect(&table_, &QAbstractItemModel::modelReset, this, [this] {
        rows_ = static_cast<int>(std::min<int64_t>(TableRows(), max_));
        offset_ = TableRows() - rows_;
        endResetModel();
    });
}

QModelIndex BufferWindowModel::Show(int64_t row) {
    if (row < offset_)
        MoveTo(row);
    else if (row >= offset_ + rows_)
        MoveTo(row - rows_ + 1);
    return row >= offset_ && row < offset_ + rows_ ? index(static_cast<int>(row - offset_), 0)
                                                   : QModelIndex();
}

int64_t BufferWindowModel::ShiftBy(int64_t rows) {
    const int64_t before = offset_;
    MoveTo(offset_ + rows);
    return offset_ - before;
}

// The table only grows at its end: rows come below the window's while it has room, and then
// the window follows the newest.
void BufferWindowModel::Inserted(int) {
    const auto fits = static_cast<int>(std::min<int64_t>(TableRows() - offset_, max_));
    if (fits > rows_) {
        beginInsertRows(QModelIndex(), rows_, fits - 1);
        rows_ = fits;
        endInsertRows();
    }
    MoveTo(TableRows() - rows_);
}

// The table only loses rows at its end (emptied back to its blank row): the window keeps what
// is left of it, or goes back to the start when nothing is.
void BufferWindowModel::AboutToRemove(int first) {
    keep_ = first > offset_ ? static_cast<int>(std::min<int64_t>(first - offset_, rows_))
                            : std::min(first, max_);
    if (keep_ < rows_)
        beginRemoveRows(QModelIndex(), keep_, rows_ - 1);
}

void BufferWindowModel::Removed() {
    const int kept = std::exchange(keep_, -1);
    const bool moved = offset_ + kept > TableRows();
    if (kept < rows_) {
        rows_ = kept;
        if (moved)
            offset_ = 0;
        endRemoveRows();
    }
    if (moved && rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

void BufferWindowModel::Changed(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    const int64_t top = std::max<int64_t>(topLeft.row(), offset_);
    const int64_t bottom = std::min<int64_t>(bottomRight.row(), offset_ + rows_ - 1);
    if (top <= bottom)
        emit dataChanged(index(static_cast<int>(top - offset_), topLeft.column()),
                         index(static_cast<int>(bottom - offset_), bottomRight.column()));
}

void BufferWindowModel::MoveTo(int64_t offset) {
    offset = std::clamp<int64_t>(offset, 0, std::max<int64_t>(0, TableRows() - rows_));
    if (offset == offset_)
        return;
    emit layoutAboutToBeChanged();
    // The selection and the current row stay on their items.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) {
        const int64_t row = i.row() + offset_ - offset;
        to << (row >= 0 && row < rows_ ? index(static_cast<int>(row), i.column()) : QModelIndex());
    }
    changePersistentIndexList(from, to);
    offset_ = offset;
    emit layoutChanged();
}

QModelIndex BufferWindowModel::ToTable(const QModelIndex& index) const {
    return index.isValid() ? table_.index(static_cast<int>(index.row() + offset_), index.column())
                           : QModelIndex();
}

int BufferWindowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int BufferWindowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.columnCount();
}

QVariant BufferWindowModel::data(const QModelIndex& index, int role) const {
    return table_.data(ToTable(index), role);
}

QVariant BufferWindowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const int64_t at = orientation == Qt::Vertical ? section + offset_ : section;
    return table_.headerData(static_cast<int>(at), orientation, role);
}

Qt::ItemFlags BufferWindowModel::flags(const QModelIndex& index) const {
    return table_.flags(ToTable(index));
}
