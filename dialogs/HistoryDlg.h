#pragma once
// The archive's sessions, one line each, newest first; the operator picks one to load into the
// buffer; the caller reads the row chosen when exec() accepts. It shows at once and takes its
// lines when they have been read (a script waits for them). Driven by name in scripts:
// SessionLst (the list), LoadBtn, CancelBtn.
#include <QDialog>
#include <QStringList>
#include <optional>

#include "base/WorkProgress.h"

class QListWidget;
class QPushButton;

class HistoryDlg : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDlg(QWidget* parent = nullptr);
    // The lines read; the newest is chosen.
    void SetSessions(const QStringList& sessions);

    QListWidget* SessionLst;
    QPushButton* LoadBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A script sees the dialog once both have happened.
    void ShowToScript();

    std::optional<DialogFilling> filling_;
};
