#include "dialogs/HistoryDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogScript.h"

HistoryDlg::HistoryDlg(QWidget* parent) : QDialog(parent) {
    filling_.emplace();
    setObjectName("HistoryDlg");
    setWindowTitle("History");
    auto* column = new QVBoxLayout(this);
    auto* caption = new QLabel("Sessions in the archive, newest first:", this);
    column->addWidget(caption);
    SessionLst = new QListWidget(this);
    SessionLst->setObjectName("SessionLst");
    SessionLst->setMinimumWidth(640);
    caption->setBuddy(SessionLst);
    column->addWidget(SessionLst, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    LoadBtn = new QPushButton("Load", this);
    LoadBtn->setObjectName("LoadBtn");
    LoadBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setObjectName("CancelBtn");
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
