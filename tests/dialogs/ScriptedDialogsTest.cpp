// Under a script the dialogs never wait: they print themselves and take the queued answer, or
// their default when none is queued.
#include "base/ScriptedDialogs.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SaveDialog.h"
#include "dialogs/StdDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using scripted::AnswerKind;

class Scripted : public testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName(QStringLiteral("Impix II."));
        scripted::Reset();
        scripted::SetActive(true);
        // Should any dialog wait for a person, end it so the test fails instead of hanging.
        watchdog_.setInterval(2000);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                waited_ = true;
                w->close();
            }
        });
        watchdog_.start();
    }
    void TearDown() override {
        watchdog_.stop();
        EXPECT_FALSE(waited_) << "a dialog waited for a person under a script";
        scripted::SetActive(false);
        scripted::Reset();
    }
    static void Queue(AnswerKind kind, const QString& path = {}) {
        scripted::QueueAnswer(scripted::DialogAnswer{kind, path});
    }
    static bool QueueEmpty() { return !scripted::NextAnswer().has_value(); }

    QTimer watchdog_;
    bool waited_ = false;
};

TEST_F(Scripted, ErrorDlgPrintsTitleAndMessage) {
    testing::internal::CaptureStdout();
    ErrorDlg(QStringLiteral("Items bounds out of range"));
    ConfirmDlg(QStringLiteral("File >a.xls< Exists. Owerwrite??"));
    ShowStdDlg(QStringLiteral("Hallo"), 0, 0, 0, QStringLiteral("*"), 1, 0, -1, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "dialog: Impix II. - Chyba: Items bounds out of range\n"
              "dialog: Impix II. - Potvrzení: File >a.xls< Exists. Owerwrite??\n"
              "dialog: Impix II.: Hallo\n");
}

TEST_F(Scripted, AnswersComeFromTheQueueInOrder) {
    testing::internal::CaptureStdout();
    Queue(AnswerKind::No);
    Queue(AnswerKind::Yes);
    Queue(AnswerKind::Cancel);
    Queue(AnswerKind::Ok);
    EXPECT_EQ(ConfirmDlg("first"), 7);
    EXPECT_EQ(ConfirmDlg("second"), 6);
    EXPECT_EQ(ShowStdDlg("third", 0, 3, 6, "", 0, 0, -1, -1), 2);
    EXPECT_EQ(ShowStdDlg("fourth", 0, 1, 8, "", 0, 0, -1, -1), 1);
    EXPECT_TRUE(QueueEmpty());
    testing::internal::GetCapturedStdout();
}

TEST_F(Scripted, WithNothingQueuedTheFocusedButtonAnswers) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(ConfirmDlg("q"), 6);
    EXPECT_EQ(ShowStdDlg("q", 1, 2, 7, "", 0, 0, -1, -1), 7);
    EXPECT_EQ(ShowStdDlg("q", 1, 3, 8, "", 0, 0, -1, -1), 2);
    EXPECT_EQ(ShowStdDlg("q", 1, 1, 8, "", 0, 0, -1, -1), 2);
    EXPECT_EQ(ShowStdDlg("q", 3, 0, 0, "", 0, 0, -1, -1), 1);
    // A path meant for a save dialog is used up and the default taken.
    Queue(AnswerKind::Path, "/tmp/x.txt");
    EXPECT_EQ(ConfirmDlg("q"), 6);
    EXPECT_TRUE(QueueEmpty());
    testing::internal::GetCapturedStdout();
}

TEST_F(Scripted, ErrorDlgUsesUpOneAnswer) {
    testing::internal::CaptureStdout();
    Queue(AnswerKind::Ok);
    Queue(AnswerKind::No);
    ErrorDlg("e");
    EXPECT_EQ(ConfirmDlg("q"), 7);
    testing::internal::GetCapturedStdout();
}

TEST_F(Scripted, ShowMessagePrintsApplicationTitleAndUsesUpOneAnswer) {
    testing::internal::CaptureStdout();
    Queue(AnswerKind::Ok);
    Queue(AnswerKind::Yes);
    ShowMessage(QStringLiteral("File access denied"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dialog: Impix II.: File access denied\n");
    EXPECT_EQ(ConfirmDlg("q"), 6);
    EXPECT_TRUE(QueueEmpty());
}

TEST_F(Scripted, SaveDialogTakesPathCancelOrProposal) {
    const QString proposed = QStringLiteral("/opt/impix/Data.txt");
    testing::internal::CaptureStdout();
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), proposed);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dialog: Save As: /opt/impix/Data.txt\n");

    testing::internal::CaptureStdout();
    Queue(AnswerKind::Path, "/tmp/out.txt");
    Queue(AnswerKind::Cancel);
    Queue(AnswerKind::No);
    Queue(AnswerKind::Ok);
    Queue(AnswerKind::Yes);
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), QString("/tmp/out.txt"));
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), std::nullopt);
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), std::nullopt);
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), proposed);
    EXPECT_EQ(AskSaveFileName(nullptr, "/opt/impix/", proposed), proposed);
    EXPECT_TRUE(QueueEmpty());
    testing::internal::GetCapturedStdout();
}

} // namespace
