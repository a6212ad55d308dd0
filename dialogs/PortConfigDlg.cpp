#include "dialogs/PortConfigDlg.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/EventGuard.h"
#include "dialogs/DialogScript.h"
#include "dialogs/PortConfigDlgControls.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

namespace {
constexpr int kMinDataBits = 5;
constexpr double kMaxBaud = 4000000; // the highest rate a Linux serial driver names
} // namespace

TPortConfigDlg::TPortConfigDlg(const QString& portName, TCommConfig& record, QWidget* owner)
    : QDialog(owner), record_(record) {
    using controls::Make;
    setObjectName(portconfigdlg::Name);
    setWindowTitle(portName + " Properties");

    Make(*this, portconfigdlg::Baud, SpinValue::Integer(1, kMaxBaud), 9600, this);
    Make(*this, portconfigdlg::DataBits, this);
    Make(*this, portconfigdlg::Parity, this);
    Make(*this, portconfigdlg::StopBits, this);
    Make(*this, portconfigdlg::Flow, this);
    // Enter presses OK wherever the focus is: no button becomes the default by having it.
    for (const auto& button : {portconfigdlg::Ok, portconfigdlg::Cancel, portconfigdlg::Defaults})
        Make(*this, button, this)->setAutoDefault(false);
    OKBtn->setDefault(true);

    auto* rate = new QFormLayout;
    rate->addRow("Bits per second:", BaudEd);
    auto* groups = new QGridLayout;
    groups->addWidget(DataBitsGrp, 0, 0);
    groups->addWidget(ParityGrp, 0, 1, 2, 1);
    groups->addWidget(StopBitsGrp, 1, 0);
    groups->addWidget(FlowGrp, 0, 2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(DefaultsBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* main = new QVBoxLayout(this);
    main->addLayout(rate);
    main->addLayout(groups);
    main->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, [this] { Guarded([this] { accept(); }); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
    connect(DefaultsBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { RestoreDefaults(); }); });
    ShowRecord();
}

bool TPortConfigDlg::Execute(const QString& portName, QWidget* owner, TCommConfig& record) {
    TPortConfigDlg dlg(portName, record, owner);
    return dlg.exec() == QDialog::Accepted;
}

void TPortConfigDlg::ShowRecord() {
    using namespace dcbflags;
    const TDcb& dcb = record_.dcb;
    BaudEd->SetText(QString::number(dcb.BaudRate));
    DataBitsGrp->SetItemIndex(dcb.ByteSize - kMinDataBits); // none chosen when out of range
    ParityGrp->SetItemIndex(dcb.Parity);
    StopBitsGrp->SetItemIndex(dcb.StopBits);
    if (dcb.Flags & (OutX | InX))
        FlowGrp->SetItemIndex(FlowXonXoff);
    else if ((dcb.Flags & OutxCtsFlow) || RtsControl(dcb.Flags) == ControlHandshake)
        FlowGrp->SetItemIndex(FlowHardware);
    else
        FlowGrp->SetItemIndex(FlowNone);
}

void TPortConfigDlg::RestoreDefaults() {
    BaudEd->SetValue(9600);
    DataBitsGrp->SetItemIndex(8 - kMinDataBits);
    ParityGrp->SetItemIndex(dcbcodes::NoParity);
    StopBitsGrp->SetItemIndex(dcbcodes::OneStopBit);
    FlowGrp->SetItemIndex(FlowNone);
}

void TPortConfigDlg::accept() {
    using namespace dcbflags;
    bool ok = false;
    const qlonglong baud = BaudEd->Text().trimmed().toLongLong(&ok);
    if (!ok || baud < 1 || baud > static_cast<qlonglong>(kMaxBaud)) {
        BaudEd->setFocus();
        BaudEd->selectAll();
        return;
    }
    TDcb& dcb = record_.dcb;
    dcb.BaudRate = static_cast<uint32_t>(baud);
    // A group with no choice (the record held a code the list lacks) leaves its field alone.
    if (DataBitsGrp->ItemIndex() >= 0)
        dcb.ByteSize = static_cast<uint8_t>(DataBitsGrp->ItemIndex() + kMinDataBits);
    if (ParityGrp->ItemIndex() >= 0)
        dcb.Parity = static_cast<uint8_t>(ParityGrp->ItemIndex());
    if (StopBitsGrp->ItemIndex() >= 0)
        dcb.StopBits = static_cast<uint8_t>(StopBitsGrp->ItemIndex());

    uint32_t f = dcb.Flags | Binary; // the only mode a Windows port knows
    f = dcb.Parity != dcbcodes::NoParity ? f | Parity : f & ~Parity;
    if (FlowGrp->ItemIndex() >= 0) {
        f &= ~(OutxCtsFlow | OutxDsrFlow | OutX | InX);
        const bool hardware = FlowGrp->ItemIndex() == FlowHardware;
        if (hardware)
            f |= OutxCtsFlow | OutxDsrFlow;
        if (FlowGrp->ItemIndex() == FlowXonXoff)
            f |= OutX | InX;
        f = WithDtrControl(f, hardware ? ControlHandshake : ControlEnable);
        f = WithRtsControl(f, hardware ? ControlHandshake : ControlEnable);
    }
    dcb.Flags = f;
    QDialog::accept();
}

void TPortConfigDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ScriptDialogShown(this, OKBtn, CancelBtn);
}
