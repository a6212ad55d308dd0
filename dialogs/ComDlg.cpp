#include "dialogs/ComDlg.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "base/EventGuard.h"
#include "dialogs/DialogScript.h"
#include "dialogs/PortConfigDlg.h"
#include "serial/RS232.h"
#include "widgets/SpinEdit.h"

namespace {
// DTR on and RTS toggled around each transmission: what "Details" adds to the flow bits.
constexpr int kDetailsFlagsBase = 12304;
constexpr uint32_t kDetailsFlagsKept = 0xF; // binary mode, parity check, CTS and DSR flow

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}
} // namespace

TComDlg::TComDlg(TRS232* comPort, QWidget* parent) : QDialog(parent), ComPort(comPort) {
    setObjectName("ComDlg");
    setWindowTitle("COM Settings");
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    setMinimumSize(218, 155);

    BitBtn3 = Button("BitBtn3", "OK", this);
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn3->setDefault(true);
    BitBtn2 = Button("BitBtn2", "Cancel", this);
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn2->setAutoDefault(false);
    BitBtn1 = Button("BitBtn1", "Details", this);
    BitBtn1->setAutoDefault(false);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label1 = new QLabel("COM", Panel1);
    Label1->setObjectName("Label1");
    ComEd = new SpinEdit(SpinValue::Integer(0, 0), 0, Panel1); // no range limits
    ComEd->setObjectName("ComEd");
    DevicePathTx = new QLabel(Panel1);
    DevicePathTx->setObjectName("DevicePathTx");
    DevicePathTx->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* panel = new QVBoxLayout(Panel1);
    panel->addWidget(Label1);
    panel->addWidget(ComEd);
    panel->addWidget(DevicePathTx);
    panel->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(BitBtn3);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addWidget(Panel1, 1);
    main->addLayout(buttons);
    setTabOrder(BitBtn3, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);
    setTabOrder(BitBtn1, ComEd);

    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        Guarded([this] { OKClick(); });
        CloseWith(QDialog::Accepted);
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        Guarded([this] { CancelClick(); });
        CloseWith(QDialog::Rejected);
    });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { DetailyClick(); }); });
    connect(ComEd, &SpinEdit::changed, this, [this] { Guarded([this] { ComEdChange(); }); });
}

void TComDlg::FormShow() {
    FDetailsUsed = false;
    FReopenFailed = false;
    ComEd->SetValue(ComPort->Port);
    ShowDevicePath(); // SetValue raises no change when the text stays the same
    FSaved = {ComPort->Port,   ComPort->Baud,  ComPort->Length,
              ComPort->Parity, ComPort->Flags, ComPort->Stop};
}

void TComDlg::ComEdChange() {
    ComPort->Port = static_cast<int>(ComEd->RoundedValue());
    ShowDevicePath();
}

void TComDlg::ShowDevicePath() {
    DevicePathTx->setText(ComPort->DevicePath());
}

void TComDlg::OKClick() {
    FDetailsUsed = false;
    FReopenFailed = !ComPort->Open(false);
}

void TComDlg::CancelClick() {
    FReopenFailed = false;
    FDetailsUsed = false;
    ComPort->Port = FSaved.Port;
    ComPort->Baud = FSaved.Baud;
    ComPort->Length = FSaved.Length;
    ComPort->Parity = FSaved.Parity;
    ComPort->Stop = FSaved.Stop;
    ComPort->Flags = FSaved.Flags;
    ComPort->Open(false);
}

void TComDlg::DetailyClick() {
    FDetailsUsed = true;
    const QString name = ComPort->GetPortName();
    if (!ComPort->OpenHandle())
        return; // the component has reported it
    ComPort->ReadConfig();
    TDcb& dcb = ComPort->FCommConfig.dcb;
    dcb.BaudRate = static_cast<uint32_t>(ComPort->Baud);
    dcb.ByteSize = ComPort->Length;
    dcb.Parity = ComPort->Parity;
    dcb.Flags = static_cast<uint32_t>(ComPort->Flags);
    dcb.StopBits = ComPort->Stop;
    if (!TPortConfigDlg::Execute(name, this, ComPort->FCommConfig))
        return;
    ComPort->Baud = static_cast<int>(dcb.BaudRate);
    ComPort->Length = dcb.ByteSize;
    ComPort->Parity = dcb.Parity;
    ComPort->Stop = dcb.StopBits;
    ComPort->Flags = static_cast<int>(dcb.Flags & kDetailsFlagsKept) + kDetailsFlagsBase;
}

bool TComDlg::FormCloseQuery() const {
    return !FDetailsUsed && !FReopenFailed;
}

void TComDlg::CloseWith(int result) {
    if (FormCloseQuery())
        done(result);
}

void TComDlg::reject() {
    if (FormCloseQuery())
        QDialog::reject();
}

void TComDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Guarded([this] { FormShow(); });
    ScriptDialogShown(this, BitBtn3, BitBtn2);
}

void TComDlg::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button's key, not a bare close.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
