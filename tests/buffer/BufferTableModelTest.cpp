#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "BufferTestRecords.h"
#include "buffer/BufferCellText.h"
#include "buffer/BufferTableModel.h"
#include "buffer/BufferWindowModel.h"

using buffertest::Numbered;

namespace {

// A pool and its table, which hears of the pool's changes from the pool; the Qt model tester
// checks every signal against the model's answers.
struct Table {
    RecordStream pool;
    BufferTableModel model{pool};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    // One item arrives; its row shows after the pass of the event loop.
    void Add(const TMeasRecord& r) { pool.Append(r); }
    // Items, then the pass.
    void Shown(const TMeasRecord& r) {
        pool.Append(r);
        Pass();
    }
    static void Pass() { QCoreApplication::processEvents(); }
    void Clear() { pool.Clear(); }
    QString Text(int row, int column) const {
        return model.data(model.index(row, column), Qt::DisplayRole).toString();
    }
    QStringList Row(int row) const {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << Text(row, c);
        return cells;
    }
};

QStringList Expected(int64_t item, const TMeasRecord& r, const FormatSettings& fs = {}) {
    QStringList cells;
    for (int c = 0; c < BufferColumnCount; ++c)
        cells << BufferCellText(r, item, c, fs);
    return cells;
}

bool IsBlank(const QStringList& cells) {
    return std::all_of(cells.begin(), cells.end(), [](const QString& s) { return s.isEmpty(); });
}

} // namespace

TEST(BufferTableModel, EmptyPoolShowsOneBlankRowUnderTheTitles) {
    Table t;
    EXPECT_EQ(1, t.model.rowCount());
    EXPECT_EQ(8, t.model.columnCount());
    EXPECT_TRUE(IsBlank(t.Row(0)));
    const QStringList titles = {"Item", "Id", "Time", "Board", "Channel", "Range", "R", "X"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(titles[c], t.model.headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(0, t.model.ShownItems());
    // Children of a cell do not exist in a table.
    EXPECT_EQ(0, t.model.rowCount(t.model.index(0, 0)));
}

TEST(BufferTableModel, FirstRecordReplacesTheBlankRow) {
    Table t;
    QSignalSpy inserted(&t.model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&t.model, &QAbstractItemModel::dataChanged);
    t.Add(Numbered(5));
    EXPECT_EQ(0, changed.count());
    EXPECT_TRUE(IsBlank(t.Row(0)));
    t.Pass();
    EXPECT_EQ(1, t.model.rowCount());
    EXPECT_EQ(0, inserted.count());
    ASSERT_EQ(1, changed.count());
    EXPECT_EQ(0, changed[0][0].toModelIndex().row());
    EXPECT_EQ(0, changed[0][1].toModelIndex().row());
    EXPECT_EQ(7, changed[0][1].toModelIndex().column());
    EXPECT_EQ(Expected(0, Numbered(5)), t.Row(0));
    EXPECT_EQ("0", t.Text(0, 0));
}

TEST(BufferTableModel, TheItemsOfOnePassBecomeRowsInOneInsertion) {
    Table t;
    for (int k = 0; k < 5; ++k)
        t.Shown(Numbered(k));
    EXPECT_EQ(5, t.model.rowCount());
    QSignalSpy inserted(&t.model, &QAbstractItemModel::rowsInserted);
    for (int k = 5; k < 105; ++k)
        t.Add(Numbered(k));
    EXPECT_EQ(5, t.model.rowCount());
    EXPECT_EQ(0, inserted.count());
    t.Pass();
    EXPECT_EQ(105, t.model.rowCount());
    EXPECT_EQ(105, t.model.ShownItems());
    ASSERT_EQ(1, inserted.count());
    EXPECT_EQ(5, inserted[0][1].toInt());
    EXPECT_EQ(104, inserted[0][2].toInt());
    // One pass, one insertion; or at once when asked.
    t.Shown(Numbered(105));
    t.Add(Numbered(106));
    t.Add(Numbered(107));
    t.model.ShowAppendedRows();
    EXPECT_EQ(108, t.model.rowCount());
    t.Pass();
    ASSERT_EQ(3, inserted.count());
    EXPECT_EQ(105, inserted[1][1].toInt());
    EXPECT_EQ(105, inserted[1][2].toInt());
    EXPECT_EQ(106, inserted[2][1].toInt());
    EXPECT_EQ(107, inserted[2][2].toInt());
    for (int row = 0; row < 108; ++row) {
        EXPECT_EQ(QString::number(row), t.Text(row, 0));
        EXPECT_EQ(Expected(row, Numbered(row)), t.Row(row)) << row;
    }
    // Past the last row there is nothing.
    EXPECT_FALSE(t.model.index(108, 0).isValid());
    EXPECT_FALSE(t.model.data(t.model.index(0, 0), Qt::EditRole).isValid());
}

TEST(BufferTableModel, ManyAtOnceAreShownAtOnceTheFirstInTheBlankRow) {
    Table t;
    QSignalSpy inserted(&t.model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&t.model, &QAbstractItemModel::dataChanged);
    const std::vector<TMeasRecord> some = {Numbered(0), Numbered(1), Numbered(2)};
    t.pool.Append(some);
    EXPECT_EQ(3, t.model.rowCount());
    ASSERT_EQ(1, changed.count());
    EXPECT_EQ(0, changed[0][1].toModelIndex().row());
    ASSERT_EQ(1, inserted.count());
    EXPECT_EQ(1, inserted[0][1].toInt());
    EXPECT_EQ(2, inserted[0][2].toInt());
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(Expected(row, Numbered(row)), t.Row(row)) << row;
    // A table of RowsPerPaceMs rows takes more at the pace of single items: records put back
    // into a large buffer come in many slices, and each insertion costs the view every row.
    constexpr int Large = static_cast<int>(BufferTableModel::RowsPerPaceMs);
    t.pool.Append(std::vector<TMeasRecord>(Large, Numbered(3)));
    EXPECT_EQ(3 + Large, t.model.rowCount());
    t.pool.Append(some);
    EXPECT_EQ(3 + Large, t.model.rowCount());
    for (int i = 0; i < 10000 && t.model.rowCount() < 6 + Large; ++i) { // hang guard: 10 s
        Table::Pass();
        QThread::msleep(1);
    }
    EXPECT_EQ(6 + Large, t.model.rowCount());
    EXPECT_EQ(Expected(5 + Large, Numbered(2)), t.Row(5 + Large));
}

TEST(BufferTableModel, ClearGoesBackToTheBlankRowAndStartsAgainAtItemZero) {
    Table t;
    for (int k = 0; k < 10; ++k)
        t.Add(Numbered(k));
    t.Pass();
    QSignalSpy removed(&t.model, &QAbstractItemModel::rowsRemoved);
    t.Clear();
    EXPECT_EQ(1, t.model.rowCount());
    EXPECT_TRUE(IsBlank(t.Row(0)));
    ASSERT_EQ(1, removed.count());
    EXPECT_EQ(1, removed[0][1].toInt());
    EXPECT_EQ(9, removed[0][2].toInt());

    // Clearing an empty table changes nothing.
    t.Clear();
    EXPECT_EQ(1, t.model.rowCount());

    t.Shown(Numbered(42));
    EXPECT_EQ(1, t.model.rowCount());
    EXPECT_EQ(Expected(0, Numbered(42)), t.Row(0));
    t.Shown(Numbered(43));
    EXPECT_EQ(2, t.model.rowCount());
    EXPECT_EQ(Expected(1, Numbered(43)), t.Row(1));
}

TEST(BufferTableModel, ModelOverAFilledPoolAndAPoolThatGoesFirst) {
    auto pool = std::make_unique<RecordStream>();
    for (int k = 0; k < 3; ++k)
        pool->Append(Numbered(k));
    BufferTableModel model(*pool);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(3, model.rowCount());
    EXPECT_EQ("2", model.data(model.index(2, 0)).toString());
    pool->Append(Numbered(3));
    QCoreApplication::processEvents();
    EXPECT_EQ(4, model.rowCount());
    EXPECT_EQ(1003, model.data(model.index(3, 1)).toInt());

    // The pool destroyed before its table: the rows read as blank, nothing reads freed memory.
    pool.reset();
    EXPECT_EQ(nullptr, model.Stream());
    EXPECT_TRUE(model.data(model.index(0, 0)).toString().isEmpty());
}

TEST(BufferTableModel, FormatSettingsRedrawTheShownTexts) {
    Table t;
    t.Add(buffertest::Record(1, 0, 0, 0, 1.2345, -0.0123, buffertest::At(2026, 12, 7, 14, 5, 9)));
    t.Shown(Numbered(1));
    QSignalSpy changed(&t.model, &QAbstractItemModel::dataChanged);
    FormatSettings fs;
    fs.decimalSeparator = ',';
    fs.timeSeparator = '.';
    t.model.SetFormatSettings(fs);
    ASSERT_EQ(1, changed.count());
    EXPECT_EQ(0, changed[0][0].toModelIndex().row());
    EXPECT_EQ(1, changed[0][1].toModelIndex().row());
    EXPECT_EQ("07.12-14.05.09", t.Text(0, 2));
    EXPECT_EQ("1234,50", t.Text(0, 6));
    EXPECT_EQ("-12,30", t.Text(0, 7));
    EXPECT_EQ(',', t.model.Format().decimalSeparator);
}

TEST(BufferTableModel, CellsAreSelectableButNotEditable) {
    Table t;
    t.Shown(Numbered(0));
    const Qt::ItemFlags f = t.model.flags(t.model.index(0, 3));
    EXPECT_TRUE(f.testFlag(Qt::ItemIsSelectable));
    EXPECT_TRUE(f.testFlag(Qt::ItemIsEnabled));
    EXPECT_FALSE(f.testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(t.model.setData(t.model.index(0, 3), "x"));
    EXPECT_EQ("1", t.Text(0, 3));
}

TEST(BufferWindowModel, ShowsAtMostItsRowsFollowsTheNewestAndKeepsARowOnItsItem) {
    Table t;
    BufferWindowModel w(t.model, 4);
    QAbstractItemModelTester tester(&w, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto shows = [&](int64_t offset, int rows) {
        EXPECT_EQ(offset, w.Offset());
        ASSERT_EQ(rows, w.rowCount());
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < w.columnCount(); ++c)
                EXPECT_EQ(t.Text(static_cast<int>(row + offset), c),
                          w.index(row, c).data().toString())
                    << row;
    };
    shows(0, 1); // the blank row
    for (int k = 0; k < 3; ++k)
        t.Shown(Numbered(k));
    shows(0, 3);
    for (int k = 3; k < 6; ++k)
        t.Add(Numbered(k));
    t.Pass();
    shows(2, 4);
    const QPersistentModelIndex item3 = w.index(1, 2);
    t.Shown(Numbered(6));
    shows(3, 4);
    EXPECT_EQ(0, item3.row());
    EXPECT_EQ(2, item3.column());
    t.Shown(Numbered(7));
    shows(4, 4);
    EXPECT_FALSE(item3.isValid()); // its item left the window
    EXPECT_EQ(-4, w.ShiftBy(-10));
    shows(0, 4);
    EXPECT_EQ(3, w.Show(7).row());
    shows(4, 4);
    EXPECT_EQ(0, w.ShiftBy(1)); // at the end
    t.Clear();
    shows(0, 1);
    EXPECT_TRUE(IsBlank(t.Row(0)));
    t.Shown(Numbered(42));
    shows(0, 1);
}
