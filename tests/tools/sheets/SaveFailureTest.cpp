// A save that cannot be written leaves the old file as it was and no temporary file behind.
// The tests run as root, so the failures are ones root meets too: the file's place taken by a
// folder, and a full file system.
#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>

#include "SheetsTestUtil.h"
#include "Workbook.h"

using namespace sheets;
using namespace sheets::test;

TEST(SaveFailure, PathTakenByAFolder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), path));
    QString error;
    auto wb = OpenWorkbook(path, ".", error);
    ASSERT_TRUE(wb);
    wb->write(1, {3, 1}, u"1");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir("Data.xls"));
    EXPECT_FALSE(Ok(wb->save(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Data.xls"});
}

TEST(SaveFailure, FullFileSystem) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << strerror(errno);
    const auto unmount = qScopeGuard([&mountPoint] { umount(mountPoint.constData()); });

    const QString path = dir.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), path));
    const QByteArray before = ReadAll(path);
    QString error;
    auto wb = OpenWorkbook(path, ".", error);
    ASSERT_TRUE(wb);
    QString block;
    for (int r = 0; r < 20000; ++r)
        block += QStringLiteral("%1\t%2\t%3\r\n").arg(r).arg(r * 7919 % 10007).arg(r * 31);
    ASSERT_TRUE(Ok(wb->poke(1, {{3, 1}, {20002, 3}}, block), error));
    EXPECT_FALSE(Ok(wb->save(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Data.xls"});
}
