// A save that fails leaves no half-written file: an earlier file of the same name stays as it
// was, no temporary file is left behind, and the failure carries the reason.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BufferTestRecords.h"
#include "base/Failure.h"
#include "buffer/BufferTextFile.h"
#include "support/TestFiles.h"

namespace {

const QByteArray Earlier = "an earlier save\r\n";

RecordStream Pool(int n) {
    RecordStream pool;
    for (int k = 0; k < n; ++k)
        pool.Append(buffertest::Numbered(k));
    return pool;
}

// Saves and returns the failure's text, or "<no failure>".
QString SaveFailure(const QString& path, const RecordStream& pool) {
    try {
        WriteBufferTextFile(path, pool, 0, pool.Count(), SettingsLine(1000, 0.5, 0, 15, 3, {}),
                            QDateTime::currentDateTime(), {});
    } catch (const Failure& f) {
        return f.text();
    }
    return "<no failure>";
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(bytes.size(), f.write(bytes));
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Runs with file access checked as an ordinary user, also when the tests run as root (whose
// access checks a folder's mode would not stop).
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() != 0)
            return;
        setfsuid(65534);
        active_ = setfsuid(static_cast<uid_t>(-1)) == 65534;
    }
    ~AsOrdinaryUser() {
        if (geteuid() == 0)
            setfsuid(0);
    }
    bool Works() const { return geteuid() != 0 || active_; }

private:
    bool active_ = false;
};

} // namespace

TEST(BufferTextFileFailure, MissingFolder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/Data.txt");
    const QString text = SaveFailure(path, Pool(3));
    EXPECT_TRUE(text.startsWith("Cannot create file " + path + ": ")) << text.toStdString();
    EXPECT_GT(text.size(), QString("Cannot create file " + path + ": ").size());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(BufferTextFileFailure, TargetIsAFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Data.txt"));
    const QString path = dir.filePath("Data.txt");
    EXPECT_TRUE(SaveFailure(path, Pool(3)).startsWith("Cannot create file " + path + ": "));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(BufferTextFileFailure, UnwritableFolderKeepsTheEarlierFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    const QString path = folder + "/Data.txt";
    WriteFile(path, Earlier);
    ASSERT_EQ(0, chmod(QFile::encodeName(dir.path()).constData(), 0755));
    ASSERT_EQ(0, chmod(QFile::encodeName(folder).constData(), 0555));

    QString text;
    {
        AsOrdinaryUser user;
        if (!user.Works()) {
            chmod(QFile::encodeName(folder).constData(), 0755);
            GTEST_SKIP() << "cannot check access as an ordinary user here";
        }
        text = SaveFailure(path, Pool(3));
    }
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(text.startsWith("Cannot create file " + path + ": ")) << text.toStdString();
    EXPECT_EQ(Earlier, ReadFile(path));
    EXPECT_EQ(QStringList{"Data.txt"}, FilesIn(folder));
}

TEST(BufferTextFileFailure, WriteFailingPartWayKeepsTheEarlierFile) {
    // A file size limit makes the writes fail after the first bytes, as a full disk would.
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.txt");
    WriteFile(path, Earlier);
    const RecordStream pool = Pool(100000); // several megabytes, several write chunks

    rlimit old{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const QString text = SaveFailure(path, pool);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(text.startsWith("Cannot write file " + path + ": ")) << text.toStdString();
    EXPECT_EQ(Earlier, ReadFile(path));
    EXPECT_EQ(QStringList{"Data.txt"}, FilesIn(dir.path()));

    // With the limit gone the same save succeeds and replaces the earlier file.
    EXPECT_EQ("<no failure>", SaveFailure(path, pool));
    EXPECT_TRUE(ReadFile(path).startsWith("Data Saved: "));
    EXPECT_EQ(QStringList{"Data.txt"}, FilesIn(dir.path()));
}

TEST(BufferTextFileFailure, FullDiskIsNamedAndKeepsTheEarlierFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("small");
    ASSERT_TRUE(QDir(dir.path()).mkdir("small"));
    const QByteArray mountPoint = QFile::encodeName(folder);
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs privileges this run lacks";
    const QString path = folder + "/Data.txt";
    WriteFile(path, Earlier);
    const QString text = SaveFailure(path, Pool(100000));
    const QByteArray left = ReadFile(path);
    const QStringList files = FilesIn(folder);
    umount(mountPoint.constData());

    EXPECT_EQ(text, "Cannot write file " + path + ": No space left on device");
    EXPECT_EQ(Earlier, left);
    EXPECT_EQ(QStringList{"Data.txt"}, files);
}

TEST(BufferTextFileFailure, WhatIsNoRegularFileIsRefusedAtOnce) {
    // "Save All" to a pipe that nobody reads, or to a device: refused, never written into,
    // waited on or replaced by a plain file.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.txt");
    ASSERT_EQ(0, mkfifo(QFile::encodeName(fifo).constData(), 0600));
    for (const QString& path : {fifo, QStringLiteral("/dev/full")}) {
        EXPECT_EQ("Cannot create file " + path + ": Not a regular file",
                  ResultWithin([&] { return SaveFailure(path, Pool(3)); }, {fifo}));
        struct stat st {};
        ASSERT_EQ(0, stat(QFile::encodeName(path).constData(), &st));
        EXPECT_FALSE(S_ISREG(st.st_mode));
    }
    EXPECT_EQ(QStringList{"pipe.txt"}, FilesIn(dir.path()));
}

TEST(BufferTextFileFailure, ReadOnlyFileIsRefusedAndAReplacedFileKeepsItsMode) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.txt");
    const QByteArray name = QFile::encodeName(path);
    WriteFile(path, Earlier);
    ASSERT_EQ(0, chmod(name.constData(), 0444));
    // Refused also for root, whom no access check stops.
    EXPECT_EQ(SaveFailure(path, Pool(3)), "Cannot create file " + path + ": Permission denied");
    EXPECT_EQ(Earlier, ReadFile(path));

    ASSERT_EQ(0, chmod(name.constData(), 0640));
    EXPECT_EQ(SaveFailure(path, Pool(3)), "<no failure>");
    EXPECT_TRUE(ReadFile(path).startsWith("Data Saved: "));
    struct stat st {};
    ASSERT_EQ(0, stat(name.constData(), &st));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QStringList{"Data.txt"}, FilesIn(dir.path()));
}
