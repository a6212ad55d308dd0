// A save on another thread writes exactly the records of its snapshot while the buffer goes on
// growing and is cleared, and a cancelled save leaves an earlier file as it was.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

#include "BufferTestRecords.h"
#include "buffer/BufferTextFile.h"

using buffertest::Numbered;

namespace {

const QDateTime SavedAt(QDate(2026, 12, 8), QTime(14, 5, 9));
const QString Settings = SettingsLine(1000, 0.5, 0, 15, 3, {});

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(SnapshotSave, WritesTheSnapshotWhileTheBufferChangesAndCancelKeepsTheOldFile) {
    // Several blocks and more than one write chunk, ending inside a block that keeps filling.
    const int n = 3 * RecordStream::BlockRecords + 5;
    QTemporaryDir dir;
    RecordStream expected;
    for (int k = 0; k < n; ++k)
        expected.Append(Numbered(k));
    const QString wanted = dir.filePath("wanted.txt");
    WriteBufferTextFile(wanted, expected, 2, n, Settings, SavedAt, {});

    RecordStream pool;
    for (int k = 0; k < n; ++k)
        pool.Append(Numbered(k));
    const RecordSnapshot snapshot = pool.Snapshot();
    const QString path = dir.filePath("Data.txt");
    WorkProgress progress;
    bool written = false;
    std::thread saver([&] {
        written =
            WriteBufferTextFile(path, snapshot, 2, n + 1000, Settings, SavedAt, {}, &progress);
    });
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < n; ++k)
            pool.Append(Numbered(n + k));
        pool.Clear();
    }
    saver.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(n - 2, progress.done.load());
    EXPECT_EQ(ReadFile(wanted), ReadFile(path));

    // Cancelled: the earlier file stays, and nothing else is left beside it.
    WorkProgress cancelled;
    cancelled.cancel = true;
    EXPECT_FALSE(
        WriteBufferTextFile(path, pool.Snapshot(), 0, 0, Settings, SavedAt, {}, &cancelled));
    EXPECT_FALSE(WriteBufferTextFile(path, snapshot, 0, n, Settings, SavedAt, {}, &cancelled));
    EXPECT_EQ(ReadFile(wanted), ReadFile(path));
    EXPECT_EQ(QStringList({"Data.txt", "wanted.txt"}),
              QDir(dir.path()).entryList(QDir::Files | QDir::Hidden));
}

} // namespace
