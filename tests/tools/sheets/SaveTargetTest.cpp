// SAVE treats its file as the console's saves do: through a symbolic link to the file it names,
// with the file's mode and owner, never over a file without write permission (also for root),
// and the temporary files that a save killed midway left beside it go at the next OPEN or SAVE,
// while one that a live writer holds stays.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SheetsTestUtil.h"
#include "Workbook.h"
#include "base/ReplacingFile.h"

using namespace sheets;
using namespace sheets::test;

namespace {

struct stat Stat(const QString& path) {
    struct stat st {};
    lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QStringList Hidden(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("^\\."));
}

} // namespace

TEST(SaveTarget, KeepsLinkModeOwnerAndCleansUpAfterKilledSaves) {
    struct Case {
        const char* what;
        // Prepares the folder; returns the path the workbook is opened and saved by.
        std::function<QString(const QString& dir, const QString& data)> setup;
        bool saves;
        std::function<void(const QString& dir, const QString& data)> check;
    };
    const Case cases[] = {
        {"a symbolic link",
         [](const QString& dir, const QString& data) {
             const QString link = dir + "/Link.xls";
             EXPECT_TRUE(QFile::link(data, link));
             return link;
         },
         true,
         [](const QString& dir, const QString& data) {
             EXPECT_TRUE(S_ISLNK(Stat(dir + "/Link.xls").st_mode));
             EXPECT_EQ(QFile::symLinkTarget(dir + "/Link.xls").toStdString(), data.toStdString());
             QString error;
             auto wb = OpenWorkbook(data, ".", error);
             ASSERT_TRUE(wb) << error.toStdString();
             EXPECT_EQ(wb->cellText(1, {3, 1}), "saved");
         }},
        {"mode and owner",
         [](const QString&, const QString& data) {
             chmod(QFile::encodeName(data).constData(), 0604);
             if (geteuid() == 0) {
                 EXPECT_EQ(chown(QFile::encodeName(data).constData(), 4321, 4322), 0);
             }
             return data;
         },
         true,
         [](const QString&, const QString& data) {
             const struct stat st = Stat(data);
             EXPECT_EQ(st.st_mode & 07777, 0604u);
             if (geteuid() == 0) {
                 EXPECT_EQ(st.st_uid, 4321u);
                 EXPECT_EQ(st.st_gid, 4322u);
             }
         }},
        {"no write permission",
         [](const QString&, const QString& data) {
             chmod(QFile::encodeName(data).constData(), 0444);
             return data;
         },
         false,
         [](const QString&, const QString& data) {
             EXPECT_EQ(ReadAll(data), ReadAll(TemplatePath()));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("real");
        const QString data = dir.filePath("real/Data.xls");
        ASSERT_TRUE(QFile::copy(TemplatePath(), data));
        const QString path = c.setup(dir.path(), data);
        QString error;
        auto wb = OpenWorkbook(path, ".", error);
        ASSERT_TRUE(wb) << error.toStdString();
        wb->write(1, {3, 1}, u"saved");
        EXPECT_EQ(Ok(wb->save(), error), c.saves) << error.toStdString();
        EXPECT_TRUE(Hidden(dir.path()).isEmpty() && Hidden(dir.filePath("real")).isEmpty());
        c.check(dir.path(), data);
    }
}

TEST(SaveTarget, TemporaryFilesOfKilledSavesGoAtOpenAndSave) {
    QTemporaryDir dir;
    const QString data = dir.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), data));
    // Left by saves that were killed, and files that only look alike.
    const QStringList stale{".Data.xls.tmp1x", ".Data.xls.tmpgxhne9"};
    const QStringList others{".Data.xls.old", "Data.xls.gxhne9", ".Other.xls.tmpab",
                             ".Data.xls.tmp"};
    for (const QString& name : stale + others)
        WriteAll(dir.filePath(name), "x");
    // A live writer of the same file, in the middle of its work, and a working copy kept for
    // another program to finish.
    ReplacingFile live(data), working(data);
    ASSERT_TRUE(live.Open());
    ASSERT_TRUE(working.OpenKept() && working.Write("work") && working.Keep());
    const QStringList withLive = Hidden(dir.path());
    ASSERT_EQ(withLive.size(), stale.size() + 5);

    QString error;
    auto wb = OpenWorkbook(data, ".", error);
    ASSERT_TRUE(wb) << error.toStdString();
    QStringList left = Hidden(dir.path());
    for (const QString& name : stale)
        EXPECT_FALSE(left.contains(name)) << name.toStdString();
    EXPECT_EQ(left.size(), 5); // the live one, the working copy and the look-alikes

    WriteAll(dir.filePath(".Data.xls.tmp2y"), "x");
    wb->write(1, {3, 1}, u"saved");
    ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();
    EXPECT_EQ(Hidden(dir.path()), left);
    ASSERT_TRUE(live.Write("written last") && live.Commit());
    EXPECT_EQ(ReadAll(data), "written last");
    for (const QString& name : others)
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
    EXPECT_EQ(ReadAll(working.KeptPath()), "work");
}
