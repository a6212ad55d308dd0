// "COM Settings" and ShowSettings, driven as an operator would, against a pseudo-terminal.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include "NamedModalDriver.h"
#include "base/Failure.h"
#include "base/ScriptedDialogs.h"
#include "dialogs/ComDlgControls.h"
#include "dialogs/PortConfigDlgControls.h"
#include "serial/RS232.h"
#include "support/ControlRowsCheck.h"
#include "support/PtyDevice.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

namespace {
template <class T> T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void Click(QWidget* w, const char* name) {
    if (auto* b = Child<QPushButton>(w, name))
        b->click();
}

class ComDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.IsOpen());
        devices.Link(5, pty.SlavePath());
        rs.DeviceFolder = devices.Path();
        rs.Port = 5;
        rs.OnOpenError = [this](const QString& name) { openErrors << name; };
        ASSERT_TRUE(rs.Open(false));
        rs.StartPolling();
        StartWatchdog();
    }
    void TearDown() override {
        StopWatchdog();
        scripted::SetActive(false);
        scripted::Reset();
    }
    uint32_t LineBaud() const {
        termios2 t{};
        return ::ioctl(rs.ComHandle(), TCGETS2, &t) == 0 ? TermiosBaudRate(t) : 0;
    }
    void SetLineBaud(uint32_t baud) {
        termios2 t{};
        ASSERT_EQ(::ioctl(rs.ComHandle(), TCGETS2, &t), 0);
        t.c_cflag = (t.c_cflag & ~static_cast<unsigned>(CBAUD)) | BOTHER;
        t.c_ispeed = t.c_ospeed = baud;
        ASSERT_EQ(::ioctl(rs.ComHandle(), TCSETS2, &t), 0);
    }
    QByteArray Config() const {
        QFile f(rs.ConfigFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    PtyDevice pty;
    DeviceFolder devices;
    TRS232 rs;
    QStringList openErrors;
};

TEST_F(ComDlgTest, OkAtOnceReopensWithTheSameSettings) {
    SetLineBaud(300); // changed behind the component's back: only a reopen puts 9600 back
    bool pausedMeanwhile = false;
    QString shownPath;
    OnModal(comdlg::Name, [&](QWidget* d) {
        pausedMeanwhile = !rs.PollingEnabled();
        EXPECT_EQ(d->windowTitle(), "COM Settings");
        controlcheck::ExpectRows(d, *qobject_cast<TComDlg*>(d), comdlg::All);
        EXPECT_EQ(Child<SpinEdit>(d, comdlg::Number.name)->Text(), "5");
        shownPath = Child<QLabel>(d, comdlg::DevicePath.name)->text();
        Click(d, comdlg::Ok.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(pausedMeanwhile);
    EXPECT_TRUE(rs.PollingEnabled());
    EXPECT_EQ(shownPath, devices.Path() + "COM5\n\u2192 " + pty.SlavePath());
    EXPECT_TRUE(rs.Connected());
    EXPECT_EQ(LineBaud(), 9600u);
    EXPECT_TRUE(openErrors.isEmpty());
}

TEST_F(ComDlgTest, BadPortStaysOpenAndCancelRestores) {
    rs.SetPollingEnabled(false); // a paused component stays paused
    bool stayed = false;
    OnModal(comdlg::Name, [&](QWidget* d) {
        auto* ed = Child<SpinEdit>(d, comdlg::Number.name);
        ed->SetText("77");
        EXPECT_EQ(rs.Port, 77); // every change goes straight into the component
        EXPECT_EQ(Child<QLabel>(d, comdlg::DevicePath.name)->text(), "/dev/ttyS76 (missing)");
        ed->SetText("4000.4"); // rounded
        EXPECT_EQ(rs.Port, 4000);
        Click(d, comdlg::Ok.name);
        stayed = d->isVisible();
        EXPECT_FALSE(rs.Connected());
        d->close(); // nor does the close box take it away after a failed OK
        stayed = stayed && d->isVisible();
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(openErrors, QStringList{"COM4000"});
    EXPECT_EQ(rs.Port, 5);
    EXPECT_TRUE(rs.Connected());
    EXPECT_FALSE(rs.PollingEnabled());
}

TEST_F(ComDlgTest, DetailsThenCancelPutsAllSixBack) {
    rs.Port = 5;
    rs.Baud = 9600;
    rs.Length = 8;
    rs.Parity = 0;
    rs.Flags = 12305;
    rs.Stop = 0;
    bool refusedClose = false;
    OnModal(comdlg::Name, [&](QWidget* d) {
        OnModal(portconfigdlg::Name, [&](QWidget* p) {
            EXPECT_EQ(p->windowTitle(), "COM5 Properties");
            Child<SpinEdit>(p, portconfigdlg::Baud.name)->SetText("19200");
            Child<RadioGroup>(p, portconfigdlg::DataBits.name)->PickItem(2);
            Child<RadioGroup>(p, portconfigdlg::Parity.name)->PickItem(2);
            Child<RadioGroup>(p, portconfigdlg::StopBits.name)->PickItem(2);
            Child<RadioGroup>(p, portconfigdlg::Flow.name)->PickItem(1);
            Click(p, portconfigdlg::Ok.name);
        });
        Click(d, comdlg::Details.name);
        EXPECT_EQ(rs.Baud, 19200);
        EXPECT_EQ(rs.Length, 7);
        EXPECT_EQ(rs.Parity, 2);
        EXPECT_EQ(rs.Stop, 2);
        EXPECT_EQ(rs.Flags, 15 + 12304); // binary, parity check, CTS and DSR flow
        Child<SpinEdit>(d, comdlg::Number.name)->SetText("6");
        d->close(); // refused after "Details"
        refusedClose = d->isVisible();
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(refusedClose);
    EXPECT_EQ(rs.Port, 5);
    EXPECT_EQ(rs.Baud, 9600);
    EXPECT_EQ(rs.Length, 8);
    EXPECT_EQ(rs.Parity, 0);
    EXPECT_EQ(rs.Flags, 12305);
    EXPECT_EQ(rs.Stop, 0);
    EXPECT_TRUE(rs.Connected());
    EXPECT_EQ(LineBaud(), 9600u);
}

TEST_F(ComDlgTest, DetailsWithFlowControlOffGives12305AndOkApplies) {
    rs.Flags = 12302; // 0x300E: no binary bit, parity check, CTS and DSR flow
    OnModal(comdlg::Name, [&](QWidget* d) {
        OnModal(portconfigdlg::Name, [&](QWidget* p) {
            EXPECT_EQ(Child<RadioGroup>(p, portconfigdlg::Flow.name)->ItemIndex(),
                      1); // hardware, from Flags
            Child<SpinEdit>(p, portconfigdlg::Baud.name)->SetText("14400");
            Child<RadioGroup>(p, portconfigdlg::Flow.name)->PickItem(0);
            Click(p, portconfigdlg::Ok.name);
        });
        Click(d, comdlg::Details.name);
        Click(d, comdlg::Ok.name);
    });
    ShowSettings(rs);
    EXPECT_EQ(rs.Flags, 12305);
    EXPECT_EQ(rs.Baud, 14400);
    EXPECT_TRUE(rs.Connected());
    EXPECT_EQ(LineBaud(), 14400u);
}

TEST_F(ComDlgTest, DetailsCancelledChangesNothing) {
    OnModal(comdlg::Name, [&](QWidget* d) {
        OnModal(portconfigdlg::Name, [&](QWidget* p) {
            Child<SpinEdit>(p, portconfigdlg::Baud.name)->SetText("300");
            Click(p, portconfigdlg::Cancel.name);
        });
        Click(d, comdlg::Details.name);
        EXPECT_EQ(rs.Baud, 9600);
        EXPECT_EQ(rs.Flags, 12305);
        Click(d, comdlg::Ok.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(rs.Connected());
}

TEST_F(ComDlgTest, DetailsOnAPortThatCannotOpen) {
    bool noDetailsDialog = false;
    OnModal(comdlg::Name, [&](QWidget* d) {
        Child<SpinEdit>(d, comdlg::Number.name)->SetText("78");
        Click(d, comdlg::Details.name); // reported, and the configuration dialog does not appear
        noDetailsDialog = QApplication::activeModalWidget() == d;
        d->close();
        noDetailsDialog = noDetailsDialog && d->isVisible();
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(noDetailsDialog);
    EXPECT_EQ(openErrors, QStringList{"COM78"});
    EXPECT_EQ(rs.Port, 5);
    EXPECT_TRUE(rs.Connected());
}

TEST_F(ComDlgTest, CloseBoxAndEscape) {
    // The close box before anything else: the new number stays, the port is not reopened.
    OnModal(comdlg::Name, [&](QWidget* d) {
        Child<SpinEdit>(d, comdlg::Number.name)->SetText("8");
        d->close();
    });
    const int handle = rs.ComHandle();
    ShowSettings(rs);
    EXPECT_EQ(rs.Port, 8);
    EXPECT_EQ(rs.ComHandle(), handle);
    EXPECT_TRUE(openErrors.isEmpty());

    // Escape is Cancel: the number found at showing comes back and the port reopens.
    rs.Port = 5;
    OnModal(comdlg::Name, [&](QWidget* d) {
        Child<SpinEdit>(d, comdlg::Number.name)->SetText("9");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    SetLineBaud(300);
    ShowSettings(rs);
    EXPECT_EQ(rs.Port, 5);
    EXPECT_EQ(LineBaud(), 9600u);
}

TEST_F(ComDlgTest, ShowSettingsSavesAfterOkAndCancel) {
    QTemporaryDir dir;
    rs.ConfigFile = dir.path() + "/Impix2.cfg";
    rs.Flags = -1;
    OnModal(comdlg::Name, [&](QWidget* d) { Click(d, comdlg::Ok.name); });
    ShowSettings(rs);
    EXPECT_EQ(Config(), "[COM]\nPORT=5\nBAUDRATE=9600\nLENGTH=8\nPARITY=0\nFLAGS=12305\nSTOP=0\n");

    rs.Baud = 4800;
    OnModal(comdlg::Name, [&](QWidget* d) {
        Child<SpinEdit>(d, comdlg::Number.name)->SetText("6");
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_EQ(Config(), "[COM]\nPORT=5\nBAUDRATE=4800\nLENGTH=8\nPARITY=0\nFLAGS=12305\nSTOP=0\n");
}

TEST_F(ComDlgTest, SaveFailureComesAfterTheDialogAndPolling) {
    QTemporaryDir dir;
    QFile plain(dir.path() + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    rs.ConfigFile = dir.path() + "/plain/Impix2.cfg";
    OnModal(comdlg::Name, [&](QWidget* d) { Click(d, comdlg::Ok.name); });
    try {
        ShowSettings(rs);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Unable to write to " + rs.ConfigFile + ": Not a directory");
    }
    EXPECT_TRUE(rs.PollingEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Picking a device for the number shown links COM<n> to its by-id name; the list follows
// devices coming while it is open, keeps the row picked, and Cancel takes the link back.
TEST_F(ComDlgTest, PickingADeviceLinksThePort) {
    PtyDevice adapter;
    ASSERT_TRUE(adapter.IsOpen());
    QTemporaryDir root;
    const QString dev = root.path() + "/dev", byId = root.path() + "/by-id";
    ASSERT_TRUE(QDir().mkpath(dev) && QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(pty.SlavePath(), dev + "/ttyUSB0")); // the port's own device
    ASSERT_TRUE(QFile::link(adapter.SlavePath(), dev + "/ttyUSB1"));
    const QString ftdi = byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    ASSERT_TRUE(QFile::link(dev + "/ttyUSB1", ftdi));

    QStringList rows;
    int preselected = -1;
    QString linkedText;
    bool pathFits = false, refusedBelowOne = false, keptOnRefresh = false;
    OnModal(comdlg::Name, [&](QWidget* w) {
        auto* d = qobject_cast<TComDlg*>(w);
        d->Roots = {byId, dev};
        d->RefreshDevices();
        for (int r = 0; r < d->DeviceLst->count(); ++r)
            rows << d->DeviceLst->item(r)->text();
        preselected = d->DeviceLst->currentRow();

        d->ComEd->SetText("6");
        d->DeviceLst->setCurrentRow(1); // as the operator's click
        linkedText = d->DevicePathTx->text();
        pathFits = WaitUntil([&] { // once the layout has settled
            return d->DevicePathTx->width() >=
                   d->DevicePathTx->fontMetrics().boundingRect(QRect(), 0, linkedText).width();
        });

        d->ComEd->SetText("0");
        refusedBelowOne = !d->DeviceLst->isEnabled() &&
                          d->DevicePathTx->text() == "No device: port numbers start at 1";

        PtyDevice later; // plugged in while the dialog is open: listed first at the next refresh
        ASSERT_TRUE(QFile::link(later.SlavePath(), dev + "/ttyACM0"));
        keptOnRefresh = WaitUntil([&] { return d->DeviceLst->count() == 3; }, 5000) &&
                        d->DeviceLst->currentRow() == 2;
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_EQ(rows, QStringList({dev + "/ttyUSB0: open in this program",
                                 dev + "/ttyUSB1 (FTDI FT232R USB UART): free"}));
    EXPECT_EQ(preselected, 0);
    EXPECT_EQ(linkedText, devices.Path() + "COM6\n\u2192 " + ftdi);
    EXPECT_TRUE(pathFits);
    EXPECT_TRUE(refusedBelowOne);
    EXPECT_TRUE(keptOnRefresh);
    EXPECT_FALSE(QFileInfo(devices.Path() + "COM6").isSymLink()); // Cancel took it back
    EXPECT_EQ(rs.Port, 5);

    // Picked and confirmed: the port now talks to the adapter through its stable name.
    OnModal(comdlg::Name, [&](QWidget* w) {
        auto* d = qobject_cast<TComDlg*>(w);
        d->Roots = {byId, dev};
        d->RefreshDevices();
        d->ComEd->SetText("6");
        d->DeviceLst->setCurrentRow(1);
        Click(d, comdlg::Ok.name);
    });
    ShowSettings(rs);
    EXPECT_EQ(QFileInfo(devices.Path() + "COM6").symLinkTarget(), ftdi);
    ASSERT_TRUE(rs.Connected());
    EXPECT_EQ(rs.Port, 6);
    rs.SendByte(0x5A);
    EXPECT_EQ(adapter.Read(1), QByteArray("\x5A"));
    EXPECT_TRUE(openErrors.isEmpty());
}

TEST_F(ComDlgTest, ScriptedAnswersPressTheButtons) {
    scripted::SetActive(true);
    scripted::QueueAnswer({scripted::AnswerKind::Ok, {}});
    SetLineBaud(300);
    ShowSettings(rs); // returns by itself: the queued answer pressed OK
    EXPECT_EQ(LineBaud(), 9600u);

    // With no answer queued the dialog waits for the script to drive it by name.
    bool stillOpen = false;
    OnModal(comdlg::Name, [&](QWidget* d) {
        QTest::qWait(200);
        stillOpen = d->isVisible();
        scripted::QueueAnswer({scripted::AnswerKind::Ok, {}});
        Click(d, comdlg::Details.name); // returns: the details dialog took the queued OK
        Click(d, comdlg::Cancel.name);
    });
    ShowSettings(rs);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(rs.Flags, 12305);
}
} // namespace
