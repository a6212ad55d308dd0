#pragma once
// The serial devices present on this computer, for the operator to pick from instead of making
// COM<n> links in a shell: USB adapters (with the maker and product their by-id name carries)
// first, then the built-in ports that have a UART behind them. Each says whether it can be
// opened now.
#include <QString>
#include <QStringList>
#include <vector>

namespace serialdev {

enum class Availability {
    Free,
    InUse,        // another program holds it
    NoPermission, // the user may not open it (not in the dialout group)
    Unusable,     // present but refuses to open for another reason
    Held,         // this program has it open
};

// How an open that failed with errno `error` (from Open) reads to the operator.
Availability AvailabilityFromErrno(int error);
QString AvailabilityText(Availability a);

struct DeviceEntry {
    QString device;   // the device file as listed in the device folder, e.g. /dev/ttyUSB0
    QString byIdPath; // its stable name in the by-id folder, empty when it has none
    QString maker;
    QString product;
    bool usb = false;
    Availability availability = Availability::Free;

    // What a COM<n> link should point at: the by-id name survives replugging.
    QString LinkTarget() const { return byIdPath.isEmpty() ? device : byIdPath; }
    // One line for the list: device, maker and product, availability.
    QString Text() const;
};

// Maker and product from a by-id name as udev makes it, "usb-<maker>_<product>_<serial>-if00",
// with blanks in place of the underscores; both empty when the name carries none.
void MakerAndProduct(const QString& byIdName, QString& maker, QString& product);

struct DeviceRoots {
    QString byId = QStringLiteral("/dev/serial/by-id");
    QString dev = QStringLiteral("/dev");
};

// The devices present, USB first, each group in natural order of the device name. Devices whose
// canonical path is in `held` are open in this program and are not probed.
std::vector<DeviceEntry> ScanDevices(const DeviceRoots& roots = {}, const QStringList& held = {});

// Points folder/COM<port> at target, replacing an older link; the folder is made when missing.
// false when port is below 1, a file that is not a link is in the way, or the link cannot be made.
bool LinkPort(const QString& folder, int port, const QString& target);

} // namespace serialdev
