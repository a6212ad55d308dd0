// The plain message box and the save dialog with a person at the keys.
#include "dialogs/MessageBox.h"
#include "dialogs/SaveDialog.h"

#include "base/ScriptedDialogs.h"
#include "dialogs/ModalDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using dlgtest::OnModal;

class PersonDialogs : public testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName(QStringLiteral("Impix II."));
        scripted::SetActive(false);
        scripted::Reset();
    }
};

TEST_F(PersonDialogs, ShowMessageIsAPlainBoxWithOk) {
    QString title, text;
    QStringList buttons;
    Qt::TextFormat format = Qt::AutoText;
    OnModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        for (QAbstractButton* b : box->buttons())
            buttons << (box->standardButton(b) == QMessageBox::Ok ? QStringLiteral("Ok")
                                                                  : b->text());
        box->button(QMessageBox::Ok)->click();
    });
    ShowMessage(QStringLiteral("File <b>access</b> denied"));
    EXPECT_EQ(title, "Impix II.");
    EXPECT_EQ(text, "File <b>access</b> denied");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, QStringList{"Ok"});
}

TEST_F(PersonDialogs, SaveDialogProposesTheNameAndReturnsTheChoice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + "/";
    const QString proposed = folder + "Data.txt";
    // An existing file is chosen without an overwrite question.
    QFile existing(proposed);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    QString title, shownFolder, filter, suffix, name;
    bool confirmsOverwrite = true;
    OnModal([&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        title = fd->windowTitle();
        name = fd->objectName();
        shownFolder = fd->directory().absolutePath();
        filter = fd->nameFilters().join(";");
        suffix = fd->defaultSuffix();
        confirmsOverwrite = !fd->testOption(QFileDialog::DontConfirmOverwrite);
        static_cast<QDialog*>(fd)->accept(); // as the Save button does
    });
    const auto chosen = AskSaveFileName(nullptr, folder, proposed);
    EXPECT_EQ(title, "Save As");
    EXPECT_EQ(name, SaveDialogName);
    EXPECT_EQ(shownFolder, QDir(dir.path()).absolutePath());
    EXPECT_TRUE(filter.isEmpty() || filter == "All Files (*)") << filter.toStdString();
    EXPECT_TRUE(suffix.isEmpty());
    EXPECT_FALSE(confirmsOverwrite);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).absoluteFilePath(), QFileInfo(proposed).absoluteFilePath());
}

TEST_F(PersonDialogs, SaveDialogCancelledGivesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    OnModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(AskSaveFileName(nullptr, dir.path(), dir.path() + "/Data.txt"), std::nullopt);
}

} // namespace
