#include "dialogs/HistoryDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogScript.h"
#include "dialogs/HistoryDlgControls.h"

HistoryDlg::HistoryDlg(QWidget* parent) : QDialog(parent) {
    filling_.emplace();
    using controls::Make;
    setObjectName(historydlg::Name);
    setWindowTitle(historydlg::Title);
    auto* column = new QVBoxLayout(this);
    auto* caption = new QLabel("Sessions in the archive, newest first:", this);
    column->addWidget(caption);
    Make(*this, historydlg::Sessions, this);
    SessionLst->setMinimumWidth(640);
    caption->setBuddy(SessionLst);
    column->addWidget(SessionLst, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Make(*this, historydlg::Load, this);
    LoadBtn->setDefault(true);
    Make(*this, historydlg::Cancel, this);
    buttons->addWidget(LoadBtn);
    buttons->addWidget(CancelBtn);
    column->addLayout(buttons);
    LoadBtn->setEnabled(false);
    connect(LoadBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SessionLst, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

void HistoryDlg::SetSessions(const QStringList& sessions) {
    SessionLst->addItems(sessions);
    if (!sessions.isEmpty())
        SessionLst->setCurrentRow(0);
    LoadBtn->setEnabled(!sessions.isEmpty());
    filling_.reset();
    ShowToScript();
}

void HistoryDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowToScript();
}

void HistoryDlg::ShowToScript() {
    if (isVisible() && !filling_)
        ScriptDialogShown(this, LoadBtn, CancelBtn);
}
