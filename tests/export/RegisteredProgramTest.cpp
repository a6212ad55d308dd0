// Which program the desktop has for a workbook, by the freedesktop.org rules, in folders of the
// test's own.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "export/RegisteredProgram.h"
#include "support/TestFiles.h"

namespace {

const char* const Sheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

QByteArray Entry(const QByteArray& types, const QByteArray& more = {}) {
    return "[Desktop Entry]\nType=Application\nName=X\nExec=/bin/true %U\nMimeType=" + types +
           "\n" + more;
}

} // namespace

TEST(RegisteredProgram, FollowsTheDesktopsRules) {
    struct Case {
        const char* what;
        // Files below the case's folder ("data/applications/..." or "config/...").
        std::vector<std::pair<QString, QByteArray>> files;
        QString program;
    };
    const QByteArray sheet(Sheet);
    const Case cases[] = {
        {"nothing installed", {}, ""},
        {"an entry for the type",
         {{"data/applications/calc.desktop", Entry(sheet + ";")}},
         "calc.desktop"},
        {"an entry below a vendor's folder",
         {{"data/applications/office/calc.desktop", Entry("text/csv;" + sheet)}},
         "office-calc.desktop"},
        {"a zip archive is what a workbook is too",
         {{"data/applications/ark.desktop", Entry("application/zip;")}},
         "ark.desktop"},
        {"an entry for other types only",
         {{"data/applications/edit.desktop", Entry("text/plain;")}},
         ""},
        {"a hidden entry", {{"data/applications/calc.desktop", Entry(sheet, "Hidden=true\n")}}, ""},
        {"an entry whose program is missing",
         {{"data/applications/calc.desktop", Entry(sheet, "TryExec=/nonexistent/calc\n")}},
         ""},
        {"an entry whose program's path has a blank",
         {{"data/applications/calc.desktop",
           QByteArray(Entry(sheet)).replace("/bin/true", "\"%1\"")}},
         "calc.desktop"},
        {"an entry that starts a missing program",
         {{"data/applications/calc.desktop",
           QByteArray(Entry(sheet)).replace("/bin/true", "no-such-program-here")}},
         ""},
        {"the association removed by the user",
         {{"data/applications/calc.desktop", Entry(sheet)},
          {"config/mimeapps.list", "[Removed Associations]\n" + sheet + "=calc.desktop;\n"}},
         ""},
        {"a default named by the user, and one added",
         {{"data/applications/calc.desktop", Entry(sheet)},
          {"data/applications/view.desktop", Entry("text/plain")},
          {"data/applications/sheets.desktop", Entry("text/plain")},
          {"config/mimeapps.list", "[Added Associations]\n" + sheet +
                                       "=sheets.desktop;\n[Default Applications]\n" + sheet +
                                       "=gone.desktop;view.desktop\n"}},
         "view.desktop"},
        {"an association added by the user",
         {{"data/applications/sheets.desktop", Entry("text/plain")},
          {"config/mimeapps.list", "[Added Associations]\n" + sheet + "=sheets.desktop;\n"}},
         "sheets.desktop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        // A program in a folder with a blank in its name, for the entries that start it ("%1").
        const QString program = dir.filePath("my apps/calc");
        ASSERT_TRUE(QDir().mkpath(dir.filePath("my apps")));
        ASSERT_TRUE(QFile::copy("/bin/true", program));
        for (const auto& [name, bytes] : c.files) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(dir.filePath(name)).path()));
            ASSERT_TRUE(
                WriteAll(dir.filePath(name), QByteArray(bytes).replace("%1", program.toUtf8())));
        }
        const QString book = dir.filePath("Data.xlsx");
        ASSERT_TRUE(WriteAll(book, "PK"));
        const FileOpener opener =
            RegisteredProgram(book, {{dir.filePath("config")}, {dir.filePath("data")}, {}});
        EXPECT_EQ(Sheet, opener.type.toStdString());
        EXPECT_EQ(c.program.toStdString(), opener.program.toStdString());
    }
}
