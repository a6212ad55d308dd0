#include "serial/SerialDevice.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace serialdev {

QString DevicePath(const QString& folder, int port) {
    const QString link = folder + "COM" + QString::number(port);
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return link;
    return "/dev/ttyS" + QString::number(static_cast<long long>(port) - 1);
}

Result<int> Open(const QString& path) {
    const auto fail = [&path](int fd) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return tl::unexpected(
            Error{QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(error))),
                  {},
                  error});
    };
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(-1);
    if (fd <= 2) {
        // 0 means "never opened" to the component, so keep clear of the standard streams.
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0)
            return fail(fd);
        ::close(fd);
        fd = moved;
    }
    // The lock first: setting exclusive mode on a port that another program holds and then
    // closing would take that program's exclusive mode away.
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(fd);
    // Root passes over another program's exclusive mode (one that holds no lock, like a
    // terminal program); such a port is in use all the same.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        errno = EBUSY;
        return fail(fd);
    }
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(fd);
    return fd;
}

void Close(int fd) {
    // A pseudo-terminal keeps its exclusive mode after the last close; others must reopen it.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool ReadConfig(int fd, TCommConfig& cfg) {
    termios2 t{};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    CommConfigFromTermios(cfg, t);
    return true;
}

bool ApplyConfig(int fd, const TCommConfig& cfg) {
    termios2 t{};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    if (!CommConfigToTermios(cfg, t))
        return false;
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

void RaiseRts(int fd) {
    if (fd < 0)
        return;
    int bits = TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &bits);
}

bool Answering(int fd) {
    if (fd <= 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return false;
    int status = 0;
    if (::ioctl(fd, TIOCMGET, &status) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}

bool ReadWaiting(int fd, std::deque<uint8_t>& out, std::size_t limit) {
    uint8_t buf[4096];
    std::size_t taken = 0;
    while (taken < limit) {
        const std::size_t want = std::min(sizeof buf, limit - taken);
        const ssize_t n = ::read(fd, buf, want);
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
            taken += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A hung-up terminal also reads 0, but so does a line set to return at once; the
        // hang-up itself shows in Answering.
        if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV))
            return false;
        return true;
    }
    return true;
}

void WriteByte(int fd, uint8_t value) {
    bool waited = false;
    for (;;) {
        const ssize_t n = ::write(fd, &value, 1);
        if (n == 1)
            return;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !waited) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 500);
            waited = true;
            continue;
        }
        return;
    }
}

} // namespace serialdev
