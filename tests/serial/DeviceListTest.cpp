// The device list against pseudo-terminals behind a fake device folder and by-id folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

#include "serial/DeviceList.h"
#include "serial/SerialDevice.h"
#include "support/PtyDevice.h"

namespace {
using serialdev::Availability;

TEST(DeviceListTest, MakerAndProductFromByIdNames) {
    const struct {
        const char* name;
        const char* maker;
        const char* product;
    } cases[] = {
        {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FTDI", "FT232R USB UART"},
        {"usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0", "Silicon",
         "Labs CP2102 USB to UART Bridge Controller"},
        {"usb-1a86_USB2.0-Serial-if00-port0", "1a86", "USB2.0-Serial"}, // no serial number
        {"usb-Arduino__www.arduino.cc__0043_75232303-if00", "Arduino", "www.arduino.cc 0043"},
        {"usb-Prolific-if00", "Prolific", ""},
        {"usb-", "", ""},
        {"usb-__-if00-if01", "", ""},
        {"pci-0000:00:16.3", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        QString maker = "x", product = "y";
        serialdev::MakerAndProduct(c.name, maker, product);
        EXPECT_EQ(maker, c.maker) << c.name;
        EXPECT_EQ(product, c.product) << c.name;
    }
}

TEST(DeviceListTest, OpenFailuresReadAsAvailability) {
    const struct {
        int error;
        Availability a;
    } cases[] = {{EACCES, Availability::NoPermission}, {EPERM, Availability::NoPermission},
                 {EBUSY, Availability::InUse},         {EWOULDBLOCK, Availability::InUse},
                 {EIO, Availability::Unusable},        {ENOENT, Availability::Unusable}};
    for (const auto& c : cases)
        EXPECT_EQ(serialdev::AvailabilityFromErrno(c.error), c.a) << c.error;
    EXPECT_EQ(serialdev::AvailabilityText(Availability::NoPermission),
              "no permission: join the dialout group");
    EXPECT_EQ(serialdev::AvailabilityText(Availability::InUse), "in use by another program");
}

TEST(DeviceListTest, ScanListsUsbFirstWithNamesAndAvailability) {
    PtyDevice usb10, usb2, acm, uartless, lone, stray;
    for (const PtyDevice* p : {&usb10, &usb2, &acm, &uartless, &lone, &stray})
        ASSERT_TRUE(p->IsOpen());
    QTemporaryDir root;
    const QString dev = root.path() + "/dev", byId = root.path() + "/by-id";
    ASSERT_TRUE(QDir().mkpath(dev) && QDir().mkpath(byId));
    const auto link = [](const QString& target, const QString& at) {
        ASSERT_TRUE(QFile::link(target, at)) << at.toStdString();
    };
    link(usb10.SlavePath(), dev + "/ttyUSB10");
    link(usb2.SlavePath(), dev + "/ttyUSB2");
    link(acm.SlavePath(), dev + "/ttyACM0");
    link(uartless.SlavePath(), dev + "/ttyS3"); // a built-in port without a UART: left out
    link(stray.SlavePath(), dev + "/ttyUSBx");  // not a port name
    link(dev + "/nowhere", dev + "/ttyUSB7");   // dangling
    link(dev + "/ttyUSB10", byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    link(lone.SlavePath(), byId + "/usb-1a86_USB2.0-Serial-if00-port0"); // not in dev
    link(dev + "/gone", byId + "/usb-Gone_Thing_77-if00");

    // Another program holds ttyUSB2; this one holds ttyACM0.
    const int other = serialdev::Open(dev + "/ttyUSB2").value_or(-1);
    ASSERT_GT(other, 0);
    const auto list =
        serialdev::ScanDevices({byId, dev}, {QFileInfo(acm.SlavePath()).canonicalFilePath()});
    serialdev::Close(other);

    QStringList texts, targets;
    for (const auto& e : list) {
        EXPECT_TRUE(e.usb) << e.device.toStdString();
        texts << e.Text();
        targets << e.LinkTarget();
    }
    const QString lonePath = QFileInfo(lone.SlavePath()).canonicalFilePath();
    EXPECT_EQ(texts.join('\n').toStdString(),
              QStringList({lonePath + " (1a86 USB2.0-Serial): free",
                           dev + "/ttyACM0: open in this program",
                           dev + "/ttyUSB2: in use by another program",
                           dev + "/ttyUSB10 (FTDI FT232R USB UART): free"})
                  .join('\n')
                  .toStdString());
    EXPECT_EQ(
        targets.join('\n').toStdString(),
        QStringList({byId + "/usb-1a86_USB2.0-Serial-if00-port0", dev + "/ttyACM0",
                     dev + "/ttyUSB2", byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"})
            .join('\n')
            .toStdString());

    // Free again once released; an empty or missing folder lists nothing.
    const auto again = serialdev::ScanDevices({byId, dev});
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(again[2].availability, Availability::Free);
    EXPECT_EQ(again[1].availability, Availability::Free);
    EXPECT_TRUE(serialdev::ScanDevices({root.path() + "/none", root.path() + "/none"}).empty());
}

TEST(DeviceListTest, LinkPortMakesAndReplacesTheLink) {
    QTemporaryDir root;
    const QString folder = root.path() + "/dev"; // made when missing
    EXPECT_FALSE(serialdev::LinkPort(folder, 0, "/dev/ttyUSB0"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/COM0"));
    ASSERT_TRUE(serialdev::LinkPort(folder, 2, "/dev/ttyUSB0"));
    ASSERT_TRUE(serialdev::LinkPort(folder + "/", 2, "/dev/serial/by-id/usb-X_Y_1-if00"));
    EXPECT_EQ(QFileInfo(folder + "/COM2").symLinkTarget(), "/dev/serial/by-id/usb-X_Y_1-if00");
    EXPECT_EQ(serialdev::DevicePath(folder + "/", 2), folder + "/COM2");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"COM2"});

    QFile plain(folder + "/COM3"); // a file of someone else's is not replaced
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(serialdev::LinkPort(folder, 3, "/dev/ttyUSB0"));
    EXPECT_FALSE(QFileInfo(folder + "/COM3").isSymLink());
}
} // namespace
