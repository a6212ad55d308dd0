// Working copies left beside a target by exports that were killed: which ones the sweep takes.
#include "base/ReplacingFile.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
