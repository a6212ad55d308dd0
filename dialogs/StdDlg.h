#pragma once
// The system's own message dialog: an icon, the message and up to three buttons, titled and
// captioned in one of four languages. The rest of the console uses ErrorDlg and ConfirmDlg.
#include <QDialog>
#include <QString>
#include <cstdint>

#include "dialogs/StdDlgLayout.h"

class QLabel;
class QPushButton;
class QStackedWidget;

class TDForm : public QDialog {
    Q_OBJECT
public:
    explicit TDForm(QWidget* parent = nullptr);

    // lInfo takes the message, wrapped to at most kMessageTextWidth, and the size of its text.
    void SetMessage(const QString& msg);
    // Shows the icon, title, buttons and size the layout gives.
    void Apply(const stddlg::StdDlgLayout& layout);
    const stddlg::StdDlgLayout& Layout() const { return layout_; }
    QPushButton* Button(int index) const;

    int helpContext = 0;

    QStackedWidget* NBook;
    QWidget* StdDlg; // the message page of NBook
    QLabel* imI;
    QLabel* imQ;
    QLabel* imW;
    QLabel* imE;
    QLabel* lInfo;
    QPushButton* bt1;
    QPushButton* bt2;
    QPushButton* bt3;

public slots:
    // The close box: Cancel, unless the button set took the close box away.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    stddlg::StdDlgLayout layout_;
};

// Builds the dialog, shows it modally and returns the modal result of the button pressed
// (1 OK, 2 Cancel, 6 Yes, 7 No; 2 also for the close box). X below 0 centres it on the screen.
// While a script drives the console it prints the dialog and returns the queued answer, or the
// focused button's result when none is queued.
int ShowStdDlg(const QString& Msg, uint8_t DlgType, uint8_t Buttons, uint8_t DefResult,
               const QString& Caption, uint8_t Lang, int HelpCtx, int X, int Y);

// The error message with OK, in Czech, titled "<application title> - Chyba".
void ErrorDlg(const QString& Msg);
// The yes/no question in Czech; 6 for yes, 7 for no.
int ConfirmDlg(const QString& Msg);
