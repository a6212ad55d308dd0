// What a target may be (only a regular file, never waited on), and the working copies left
// beside a target by exports that were killed: which ones the sweep takes.
#include "base/ReplacingFile.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "support/TestFiles.h"

namespace {

QStringList Hidden(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

TEST(ReplacingFile, StaleWorkingCopiesGoWithWhatTheirSavesLeft) {
    // Working copies of Data.xlsx and a temporary file a save of one left; then look-alikes.
    const QStringList copies{".Data.xlsx.workab12", ".Data.xlsx.work0"};
    const QString theirTemp = "..Data.xlsx.workab12.tmpx9";
    const QStringList others{"Data.xlsx",         ".Data.xlsx.tmpab12",      ".Data.xlsx.work",
                             ".Data.xlsx.workAB", ".Data.xlsx.work12345678", ".Other.xlsx.workab",
                             "Data.xlsx.workab"};
    struct Case {
        qint64 changedBeforeSecs; // from now
        bool removed;
    } cases[] = {{-3600, false}, {60, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.changedBeforeSecs);
        QTemporaryDir dir;
        for (const QString& name : copies + others + QStringList{theirTemp})
            ASSERT_TRUE(WriteAll(dir.filePath(name), "x"));
        // A link of the copy's name is no copy, nor a folder.
        ASSERT_TRUE(QFile::link(dir.filePath("Data.xlsx"), dir.filePath(".Data.xlsx.workl1")));
        ASSERT_TRUE(QDir(dir.path()).mkdir(".Data.xlsx.workd1"));
        const QStringList before = Hidden(dir.path());

        const int n = ReplacingFile::RemoveStaleWorkingCopies(
            dir.filePath("Data.xlsx"), QDateTime::currentDateTime().addSecs(c.changedBeforeSecs));
        QStringList want = before;
        if (c.removed)
            for (const QString& gone : copies + QStringList{theirTemp})
                want.removeAll(gone);
        EXPECT_EQ(c.removed ? int(copies.size()) : 0, n);
        EXPECT_EQ(want, Hidden(dir.path()));
    }
}

TEST(ReplacingFile, RefusesWhatIsNoRegularFileAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(fifo).constData(), 0600));
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("link")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    ASSERT_TRUE(WriteAll(dir.filePath("file"), "old"));
    struct Case {
        QString target;
        bool kept;
        QString whyNot;
    } cases[] = {
        {fifo, false, "Not a regular file"},
        {fifo, true, "Not a regular file"},
        {dir.filePath("link"), false, "Not a regular file"},
        {"/dev/null", false, "Not a regular file"},
        {dir.filePath("folder"), true, "Is a directory"},
        // A pipe put in the file's place between the open and the commit.
        {dir.filePath("file"), false, "Not a regular file"},
    };
    const QStringList before = Hidden(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const QString why = ResultWithin(
            [&] {
                ReplacingFile file(c.target);
                if (const Result<void> opened = c.kept ? file.OpenKept() : file.Open(); !opened)
                    return opened.error().text;
                if (c.target == dir.filePath("file") &&
                    (!QFile::remove(c.target) ||
                     ::mkfifo(QFile::encodeName(c.target).constData(), 0600) != 0))
                    return QStringLiteral("<no pipe made>");
                const Result<void> written =
                    file.Write("new").and_then([&] { return file.Commit(); });
                return written ? QStringLiteral("<written>") : written.error().text;
            },
            {fifo, dir.filePath("file")});
        EXPECT_EQ(c.whyNot.toStdString(), why.toStdString());
    }
    // Nothing left beside them, nothing put in their place.
    EXPECT_EQ(before, Hidden(dir.path()));
    struct stat st {};
    for (const QString& pipe : {fifo, dir.filePath("file")}) {
        ASSERT_EQ(0, ::lstat(QFile::encodeName(pipe).constData(), &st));
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}
