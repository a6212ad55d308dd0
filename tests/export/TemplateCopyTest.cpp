#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "export/TemplateCopy.h"
#include "support/TestFiles.h"

namespace {

struct timespec MTime(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

unsigned Mode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
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

TEST(TemplateCopy, WorkingCopyReplacesTheTargetOnlyWhenAsked) {
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    ASSERT_EQ(folder + "Forms/Table1.xlsx", TemplateWorkbookPath(folder));
    ASSERT_TRUE(QDir().mkpath(folder + "Forms"));
    const QString tmpl = TemplateWorkbookPath(folder);
    // Several chunks and a ragged end.
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += char(i * 7 % 251);
    ASSERT_TRUE(WriteAll(tmpl, bytes));
    const struct timespec old[2] = {{1600000000, 123456789}, {1600000000, 123456789}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, QFile::encodeName(tmpl).constData(), old, 0));
    // A link in a folder of its own to a workbook of mode 0640 elsewhere.
    ASSERT_TRUE(QDir().mkpath(folder + "books"));
    ASSERT_TRUE(QDir().mkpath(folder + "links"));
    const QString linked = folder + "books/Linked.xls";
    ASSERT_TRUE(WriteAll(linked, "an older workbook"));
    ASSERT_EQ(0, ::chmod(QFile::encodeName(linked).constData(), 0640));
    ASSERT_TRUE(QFile::link(linked, folder + "links/Data.xls"));

    struct Case {
        QString target;
        QString written; // the file that receives the bytes
        bool replace;
    } cases[] = {
        {folder + "a/b/c/Data.xls", folder + "a/b/c/Data.xls", true},
        {folder + "Data.xls", folder + "Data.xls", false},
        {folder + "Data.xls", folder + "Data.xls", true},
        {folder + "links/Data.xls", linked, true},
    };
    ASSERT_TRUE(WriteAll(folder + "Data.xls", "an older workbook"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const QByteArray before = ReadAll(c.written);
        Result<std::unique_ptr<ReplacingFile>> copied = CopyTemplate(tmpl, c.target);
        ASSERT_TRUE(copied) << copied.error().text.toStdString();
        std::unique_ptr<ReplacingFile> copy = std::move(*copied);
        ASSERT_TRUE(copy);
        const QString kept = copy->KeptPath();
        // Beside the file that is written, and nothing changed yet.
        EXPECT_EQ(QFileInfo(c.written).absolutePath(), QFileInfo(kept).absolutePath());
        EXPECT_EQ(bytes, ReadAll(kept));
        EXPECT_EQ(1600000000, MTime(kept).tv_sec);
        EXPECT_EQ(123456789, MTime(kept).tv_nsec);
        EXPECT_EQ(before, ReadAll(c.written));
        if (c.replace) {
            const Result<void> replaced = copy->Replace();
            ASSERT_TRUE(replaced) << replaced.error().text.toStdString();
            EXPECT_EQ(bytes, ReadAll(c.written));
        }
        copy.reset();
        EXPECT_FALSE(QFile::exists(kept));
        EXPECT_EQ(c.replace ? bytes : before, ReadAll(c.written));
    }
    // The link still points at the workbook, which kept its mode; nothing left beside the files.
    EXPECT_EQ(linked, QFileInfo(folder + "links/Data.xls").symLinkTarget());
    EXPECT_EQ(0640u, Mode(linked));
    EXPECT_EQ(
        QStringList({"Data.xls", "Forms", "Forms/Table1.xlsx", "a", "a/b", "a/b/c",
                     "a/b/c/Data.xls", "books", "books/Linked.xls", "links", "links/Data.xls"}),
        Tree(folder));
}

TEST(TemplateCopy, TheShippedTemplateOrAnOperatorsOwn) {
    struct Case {
        QStringList files; // in Forms/
        const char* want;
    } cases[] = {
        {{}, "Table1.xlsx"},
        {{"Table1.xlsx"}, "Table1.xlsx"},
        {{"Table1.xls"}, "Table1.xls"},
        {{"Table1.xls", "Table1.xlsx"}, "Table1.xlsx"},
        {{"table1.xls", "Table1.XLS"}, "Table1.xlsx"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        ASSERT_TRUE(QDir().mkpath(folder + "Forms"));
        for (const QString& f : c.files)
            ASSERT_TRUE(WriteAll(folder + "Forms/" + f, "workbook"));
        EXPECT_EQ(folder + "Forms/" + c.want, TemplateWorkbookPath(folder)) << c.want;
    }
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
    const QString fifo = folder + "Pipe.xls";
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(fifo).constData(), 0600));
    const QStringList before = Tree(folder);

    struct Case {
        QString from;
        QString target;
        QString message;
    } cases[] = {
        {folder + "none.xls", folder + "Data.xls", "Cannot open file " + folder + "none.xls"},
        {folder, folder + "Data.xls", "Cannot open file " + folder},
        // A template that is a pipe nobody writes to: refused, not waited on.
        {fifo, folder + "Data.xls", "Cannot open file " + fifo},
        // A folder that cannot be made, for the superuser too: it would lie under a file.
        {tmpl, tmpl + "/sub/Data.xls", "Cannot create file " + tmpl + "/sub/Data.xls"},
        {tmpl, folder + "Folder.xls/x/../../Table1.xls/y/Data.xls",
         "Cannot create file " + folder + "Folder.xls/x/../../Table1.xls/y/Data.xls"},
        {tmpl, readOnly, "Cannot create file " + readOnly},
        {tmpl, folder + "Folder.xls", "Cannot create file " + folder + "Folder.xls"},
        // Not written into, nor waited on for a reader.
        {tmpl, fifo, "Cannot create file " + fifo},
        {tmpl, "", "Cannot create file "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        EXPECT_EQ(c.message, ResultWithin(
                                 [&] {
                                     const auto copied = CopyTemplate(c.from, c.target);
                                     return copied ? QString() : copied.error().text;
                                 },
                                 {fifo}));
        EXPECT_EQ(before, Tree(folder));
    }
    EXPECT_EQ("keep me", ReadAll(readOnly));
    EXPECT_EQ(QFile::ReadOwner | QFile::ReadGroup,
              QFile::permissions(readOnly) &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                   QFile::WriteOther | QFile::ReadOther));
}
