#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/Failure.h"
#include "export/TemplateCopy.h"
#include "support/TestFiles.h"

namespace {

struct timespec MTime(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

// A folder's entries, deep, as relative paths: what "nothing else changed" compares.
QStringList Tree(const QString& root) {
    QStringList out;
    QDir dir(root);
    for (const QFileInfo& fi :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        out << fi.fileName();
        if (fi.isDir() && !fi.isSymLink())
            for (const QString& sub : Tree(fi.filePath()))
                out << fi.fileName() + '/' + sub;
    }
    return out;
}

} // namespace

TEST(TemplateCopy, CopiesBytesAndDateIntoNewFolders) {
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    ASSERT_EQ(folder + "Forms/Table1.xls", TemplateWorkbookPath(folder));
    ASSERT_TRUE(QDir().mkpath(folder + "Forms"));
    const QString tmpl = TemplateWorkbookPath(folder);
    // Several chunks and a ragged end.
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += char(i * 7 % 251);
    ASSERT_TRUE(WriteAll(tmpl, bytes));
    const struct timespec old[2] = {{1600000000, 123456789}, {1600000000, 123456789}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, QFile::encodeName(tmpl).constData(), old, 0));

    for (const QString& target : {folder + "a/b/c/Data.xls", folder + "Data.xls"}) {
        ASSERT_TRUE(WriteAll(folder + "Data.xls", "an older workbook"));
        EXPECT_EQ("", FailureOf([&] { CopyTemplate(tmpl, target); }));
        EXPECT_EQ(bytes, ReadAll(target));
        EXPECT_EQ(1600000000, MTime(target).tv_sec);
        EXPECT_EQ(123456789, MTime(target).tv_nsec);
    }
    // Nothing left beside the copies.
    EXPECT_EQ(QStringList(
                  {"Data.xls", "Forms", "Forms/Table1.xls", "a", "a/b", "a/b/c", "a/b/c/Data.xls"}),
              Tree(folder));
}

TEST(TemplateCopy, FailuresLeaveTheDiskAsItWas) {
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    const QString tmpl = folder + "Table1.xls";
    ASSERT_TRUE(WriteAll(tmpl, "template"));
    const QString readOnly = folder + "ReadOnly.xls";
    ASSERT_TRUE(WriteAll(readOnly, "keep me"));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup));
    ASSERT_TRUE(QDir().mkpath(folder + "Folder.xls"));
    const QStringList before = Tree(folder);

    struct Case {
        QString from;
        QString target;
        QString message;
    } cases[] = {
        {folder + "none.xls", folder + "Data.xls", "Cannot open file " + folder + "none.xls"},
        {folder, folder + "Data.xls", "Cannot open file " + folder},
        // A folder that cannot be made, for the superuser too: it would lie under a file.
        {tmpl, tmpl + "/sub/Data.xls", "Cannot create file " + tmpl + "/sub/Data.xls"},
        {tmpl, folder + "Folder.xls/x/../../Table1.xls/y/Data.xls",
         "Cannot create file " + folder + "Folder.xls/x/../../Table1.xls/y/Data.xls"},
        {tmpl, readOnly, "Cannot create file " + readOnly},
        {tmpl, folder + "Folder.xls", "Cannot create file " + folder + "Folder.xls"},
        {tmpl, "", "Cannot create file "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        EXPECT_EQ(c.message, FailureOf([&] { CopyTemplate(c.from, c.target); }));
        EXPECT_EQ(before, Tree(folder));
    }
    EXPECT_EQ("keep me", ReadAll(readOnly));
    EXPECT_EQ(QFile::ReadOwner | QFile::ReadGroup,
              QFile::permissions(readOnly) &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                   QFile::WriteOther | QFile::ReadOther));
}
