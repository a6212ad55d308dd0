#pragma once
// The archive's sessions, one line each, newest first; the operator picks one to load into the
// buffer; the caller reads the row chosen when exec() accepts. Driven by name in scripts:
// SessionLst (the list), LoadBtn, CancelBtn.
#include <QDialog>
#include <QStringList>

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
