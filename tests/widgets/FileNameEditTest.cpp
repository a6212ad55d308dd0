// The file-name edit: its filter conversion, its name and its scripted browse dialog.
#include "widgets/FileNameEdit.h"
#include "app/pages/ExcelExportPage.h"
#include "base/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

TEST(FileFilter, PipeFormBecomesQtForm) {
    EXPECT_EQ(QtFileFilter(kSrcFileFilter),
              "All files (*);;Text files (*.txt);;Binary files (*.dat)");
    EXPECT_EQ(QtFileFilter("Data|*.txt;*.csv"), "Data (*.txt *.csv)");
    EXPECT_EQ(QtFileFilter("Logs (*.log)|*.log|Odd"), "Logs (*.log);;Odd (*)");
    EXPECT_EQ(QtFileFilter("|*.dat"), "*.dat (*.dat)");
    EXPECT_EQ(QtFileFilter("Text files (*.txt);;All (*)"), "Text files (*.txt);;All (*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

TEST(FileNameEdit, NameIsSetReadAndSignalled) {
    FileNameEdit e;
    QSignalSpy spy(&e, &FileNameEdit::changed);
    e.SetFileName("/data/Data.txt");
    EXPECT_EQ(e.FileName(), "/data/Data.txt");
    EXPECT_EQ(spy.count(), 1);
    e.SetFileName("/data/Data.txt");
    EXPECT_EQ(spy.count(), 1);
    QTest::keyClicks(e.Edit(), "x");
    EXPECT_EQ(e.FileName(), "/data/Data.txtx");
    EXPECT_EQ(spy.count(), 2);
    e.SetFilter(kSrcFileFilter);
    EXPECT_EQ(e.Filter(), QtFileFilter(kSrcFileFilter));
}

class ScriptedBrowse : public testing::Test {
protected:
    void SetUp() override {
        scripted::Reset();
        scripted::SetActive(true);
    }
    void TearDown() override {
        scripted::Reset();
        scripted::SetActive(false);
    }
};

TEST_F(ScriptedBrowse, ChosenPathReplacesTheName) {
    FileNameEdit e;
    e.SetFileName("/old/Data.txt");
    scripted::QueueAnswer({scripted::AnswerKind::Path, "/new/Other.txt"});
    e.BrowseButton()->click();
    EXPECT_EQ(e.FileName(), "/new/Other.txt");
    EXPECT_FALSE(scripted::NextAnswer().has_value()) << "the dialog took exactly one answer";
}

TEST_F(ScriptedBrowse, CancelOrNoAnswerKeepsTheName) {
    FileNameEdit e;
    e.SetFileName("/old/Data.txt");
    scripted::QueueAnswer({scripted::AnswerKind::Cancel, {}});
    e.Browse();
    EXPECT_EQ(e.FileName(), "/old/Data.txt");
    e.Browse();
    EXPECT_EQ(e.FileName(), "/old/Data.txt");
}

} // namespace
