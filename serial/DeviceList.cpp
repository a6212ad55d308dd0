#include "serial/DeviceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

#include "serial/SerialDevice.h"

namespace serialdev {

namespace {
// Device names that stand for serial ports: a kind followed by a number.
const QRegularExpression kPortName(QStringLiteral("^tty(USB|ACM|S)[0-9]+$"));

// A built-in port exists as hardware when its driver reports a UART type. Without the right
// to open it the same number is readable in the system's device information.
bool HasUart(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            return true; // held in exclusive mode: there is something to hold
        if (errno != EACCES && errno != EPERM)
            return false;
        QFile type("/sys/class/tty/" + QFileInfo(path).fileName() + "/type");
        return type.open(QIODevice::ReadOnly) && type.readAll().trimmed().toInt() != PORT_UNKNOWN;
    }
    serial_struct info{};
    const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return uart;
}

// ttyUSB2 before ttyUSB10: the name without its trailing digits, then the number they make
// (compared by length first, so that no number is too long).
bool NaturalLess(const QString& a, const QString& b) {
    const auto split = [](const QString& s) {
        qsizetype i = s.size();
        while (i > 0 && s[i - 1].isDigit())
            --i;
        QString digits = s.mid(i);
        while (digits.size() > 1 && digits.startsWith('0'))
            digits.remove(0, 1);
        return std::pair{s.left(i), digits};
    };
    const auto [stemA, numA] = split(a);
    const auto [stemB, numB] = split(b);
    if (stemA != stemB)
        return stemA < stemB;
    if (numA.size() != numB.size())
        return numA.size() < numB.size();
    if (numA != numB)
        return numA < numB;
    return a < b;
}

Availability Probe(const QString& path) {
    const Result<int> fd = Open(path);
    if (!fd)
        return AvailabilityFromErrno(fd.error().osError);
    Close(*fd);
    return Availability::Free;
}
} // namespace

Availability AvailabilityFromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return Availability::NoPermission;
    case EBUSY:
    case EWOULDBLOCK:
        return Availability::InUse;
    default:
        return Availability::Unusable;
    }
}

QString AvailabilityText(Availability a) {
    switch (a) {
    case Availability::Free:
        return QStringLiteral("free");
    case Availability::InUse:
        return QStringLiteral("in use by another program");
    case Availability::NoPermission:
        return QStringLiteral("no permission: join the dialout group");
    case Availability::Unusable:
        return QStringLiteral("cannot be opened");
    case Availability::Held:
        return QStringLiteral("open in this program");
    }
    return {};
}

QString DeviceEntry::Text() const {
    const QString what = QStringList{maker, product}.join(' ').trimmed();
    return device + (what.isEmpty() ? QString() : " (" + what + ")") + ": " +
           AvailabilityText(availability);
}

void MakerAndProduct(const QString& byIdName, QString& maker, QString& product) {
    maker.clear();
    product.clear();
    if (!byIdName.startsWith("usb-"))
        return;
    QString id = byIdName.mid(4);
    // The interface and port suffix: "-if00", "-if00-port0".
    static const QRegularExpression suffix(QStringLiteral("-if[0-9]+.*$"));
    id.remove(suffix);
    QStringList parts = id.split('_', Qt::SkipEmptyParts);
    if (parts.size() >= 3)
        parts.removeLast(); // the serial number
    if (parts.isEmpty())
        return;
    maker = parts.takeFirst();
    product = parts.join(' ');
}

std::vector<DeviceEntry> ScanDevices(const DeviceRoots& roots, const QStringList& held) {
    std::vector<DeviceEntry> found;
    QHash<QString, std::size_t> byCanonical;
    QStringList canonicals;

    const QDir dev(roots.dev);
    for (const QFileInfo& info :
         dev.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = info.fileName();
        if (!kPortName.match(name).hasMatch())
            continue;
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty() || byCanonical.contains(canonical))
            continue;
        const bool usb = !name.startsWith("ttyS");
        if (!usb && !HasUart(info.filePath()))
            continue;
        DeviceEntry e;
        e.device = info.filePath();
        e.usb = usb;
        byCanonical.insert(canonical, found.size());
        canonicals << canonical;
        found.push_back(e);
    }

    // The stable names; one whose device is not listed above is listed under its own target.
    const QDir byId(roots.byId);
    for (const QFileInfo& info :
         byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty())
            continue;
        auto it = byCanonical.constFind(canonical);
        std::size_t index = 0;
        if (it == byCanonical.constEnd()) {
            DeviceEntry e;
            e.device = canonical;
            index = found.size();
            byCanonical.insert(canonical, index);
            canonicals << canonical;
            found.push_back(e);
        } else {
            index = *it;
        }
        DeviceEntry& e = found[index];
        if (!e.byIdPath.isEmpty())
            continue; // the first name in order serves
        e.byIdPath = info.filePath();
        MakerAndProduct(info.fileName(), e.maker, e.product);
        e.usb = e.usb || info.fileName().startsWith("usb-");
    }

    for (std::size_t i = 0; i < found.size(); ++i)
        found[i].availability = held.contains(canonicals[static_cast<qsizetype>(i)])
                                    ? Availability::Held
                                    : Probe(found[i].device);

    std::stable_sort(found.begin(), found.end(), [](const DeviceEntry& a, const DeviceEntry& b) {
        if (a.usb != b.usb)
            return a.usb;
        return NaturalLess(QFileInfo(a.device).fileName(), QFileInfo(b.device).fileName());
    });
    return found;
}

bool LinkPort(const QString& folder, int port, const QString& target) {
    if (port < 1 || target.isEmpty())
        return false;
    QString dir = folder;
    if (!dir.endsWith('/'))
        dir += '/';
    if (!QDir().mkpath(dir))
        return false;
    const QString link = dir + "COM" + QString::number(port);
    const QFileInfo old(link);
    if (old.exists() && !old.isSymLink())
        return false; // not ours to replace
    // Made beside and renamed over the old one, so the port never lacks its link.
    const QString fresh = link + ".new";
    QFile::remove(fresh);
    if (!QFile::link(target, fresh))
        return false;
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData()) !=
        0) {
        QFile::remove(fresh);
        return false;
    }
    return true;
}

} // namespace serialdev
