#pragma once
// The archive's sessions, one line each, newest first; the operator picks one to load into the
// buffer. Driven by name in scripts: SessionLst (the list), LoadBtn, CancelBtn.
#include <QDialog>
#include <QStringList>
#include <optional>

class QListWidget;
class QPushButton;

class HistoryDlg : public QDialog {
    Q_OBJECT
public:
    HistoryDlg(const QStringList& sessions, QWidget* parent = nullptr);

    QListWidget* SessionLst;
    QPushButton* LoadBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
};

// The index of the session chosen with "Load", or nothing for "Cancel" (or no sessions).
std::optional<int> AskHistorySession(QWidget* parent, const QStringList& sessions);
