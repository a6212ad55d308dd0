// The port configuration dialog on a record, without a port.
#include <QPushButton>
#include <gtest/gtest.h>

#include "dialogs/PortConfigDlgControls.h"
#include "support/ControlRowsCheck.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

namespace {
TCommConfig Record(uint32_t baud, uint8_t size, uint8_t parity, uint8_t stop, uint32_t flags) {
    TCommConfig cfg{};
    cfg.dcb.BaudRate = baud;
    cfg.dcb.ByteSize = size;
    cfg.dcb.Parity = parity;
    cfg.dcb.StopBits = stop;
    cfg.dcb.Flags = flags;
    return cfg;
}

TEST(PortConfigDlg, ShowsTheRecord) {
    TCommConfig cfg = Record(19200, 7, 2, 2, dcbflags::Binary | dcbflags::OutX);
    TPortConfigDlg dlg("COM3", cfg);
    EXPECT_EQ(dlg.windowTitle(), "COM3 Properties");
    EXPECT_EQ(dlg.BaudEd->Text(), "19200");
    EXPECT_EQ(dlg.DataBitsGrp->ItemIndex(), 2);
    EXPECT_EQ(dlg.ParityGrp->ItemIndex(), 2);
    EXPECT_EQ(dlg.StopBitsGrp->ItemIndex(), 2);
    EXPECT_EQ(dlg.FlowGrp->ItemIndex(), TPortConfigDlg::FlowXonXoff);

    TCommConfig rts =
        Record(9600, 8, 0, 0, dcbflags::WithRtsControl(0, dcbflags::ControlHandshake));
    EXPECT_EQ(TPortConfigDlg("COM3", rts).FlowGrp->ItemIndex(), TPortConfigDlg::FlowHardware);
    TCommConfig plain = Record(9600, 8, 0, 0, 12305);
    EXPECT_EQ(TPortConfigDlg("COM3", plain).FlowGrp->ItemIndex(), TPortConfigDlg::FlowNone);

    // Codes the lists lack choose nothing.
    TCommConfig odd = Record(9600, 3, 9, 7, 0);
    TPortConfigDlg oddDlg("COM3", odd);
    EXPECT_EQ(oddDlg.DataBitsGrp->ItemIndex(), -1);
    EXPECT_EQ(oddDlg.ParityGrp->ItemIndex(), -1);
    EXPECT_EQ(oddDlg.StopBitsGrp->ItemIndex(), -1);
    controlcheck::ExpectRows(&oddDlg, oddDlg, portconfigdlg::All);
}

TEST(PortConfigDlg, AcceptWritesTheRecord) {
    using namespace dcbflags;
    const uint32_t kept = AbortOnError | DsrSensitivity;
    TCommConfig cfg = Record(9600, 8, 0, 0, kept | OutX | InX);
    TPortConfigDlg dlg("COM1", cfg);
    dlg.BaudEd->SetText(" 57600 ");
    dlg.DataBitsGrp->PickItem(0);
    dlg.ParityGrp->PickItem(1);
    dlg.StopBitsGrp->PickItem(1);
    dlg.FlowGrp->PickItem(TPortConfigDlg::FlowHardware);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(cfg.dcb.BaudRate, 57600u);
    EXPECT_EQ(cfg.dcb.ByteSize, 5);
    EXPECT_EQ(cfg.dcb.Parity, 1);
    EXPECT_EQ(cfg.dcb.StopBits, 1);
    EXPECT_EQ(cfg.dcb.Flags, kept | Binary | Parity | OutxCtsFlow | OutxDsrFlow | 0x2020u);

    TPortConfigDlg again("COM1", cfg);
    again.ParityGrp->PickItem(0);
    again.FlowGrp->PickItem(TPortConfigDlg::FlowXonXoff);
    again.accept();
    EXPECT_EQ(cfg.dcb.Flags, kept | Binary | OutX | InX | 0x1010u);

    TPortConfigDlg none("COM1", cfg);
    none.FlowGrp->PickItem(TPortConfigDlg::FlowNone);
    none.accept();
    EXPECT_EQ(cfg.dcb.Flags, kept | Binary | 0x1010u);
}

TEST(PortConfigDlg, BadRateIsRefusedAndCancelKeepsTheRecord) {
    TCommConfig cfg = Record(9600, 8, 0, 0, 12305);
    const TCommConfig before = cfg;
    for (const char* bad : {"fast", "", "0", "-9600", "4000001", "96.5"}) {
        TPortConfigDlg dlg("COM1", cfg);
        dlg.BaudEd->SetText(bad);
        dlg.DataBitsGrp->PickItem(1);
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << bad;
        EXPECT_EQ(cfg.dcb.ByteSize, 8) << bad;
    }
    TPortConfigDlg dlg("COM1", cfg);
    dlg.BaudEd->SetText("300");
    dlg.CancelBtn->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(cfg.dcb.BaudRate, before.dcb.BaudRate);
    EXPECT_EQ(cfg.dcb.Flags, before.dcb.Flags);
}

TEST(PortConfigDlg, RestoreDefaultsAndOddCodesStay) {
    TCommConfig cfg = Record(300, 3, 9, 7, dcbflags::OutX);
    TPortConfigDlg dlg("COM1", cfg);
    dlg.accept(); // groups without a choice leave their fields alone
    EXPECT_EQ(cfg.dcb.ByteSize, 3);
    EXPECT_EQ(cfg.dcb.Parity, 9);
    EXPECT_EQ(cfg.dcb.StopBits, 7);

    TPortConfigDlg defaults("COM1", cfg);
    defaults.DefaultsBtn->click();
    defaults.OKBtn->click();
    EXPECT_EQ(defaults.result(), QDialog::Accepted);
    EXPECT_EQ(cfg.dcb.BaudRate, 9600u);
    EXPECT_EQ(cfg.dcb.ByteSize, 8);
    EXPECT_EQ(cfg.dcb.Parity, 0);
    EXPECT_EQ(cfg.dcb.StopBits, 0);
    EXPECT_EQ(cfg.dcb.Flags, dcbflags::Binary | 0x1010u);
}
} // namespace
