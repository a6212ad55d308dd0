#include "base/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString NotRegularFileText() {
    return QStringLiteral("Not a regular file");
}

QString RegularFileOpen::ErrorText() const {
    return error == 0 ? NotRegularFileText() : QString::fromLocal8Bit(std::strerror(error));
}

RegularFileOpen OpenRegularFile(const QByteArray& path) {
    RegularFileOpen out;
    struct stat st {};
    // Opening a device may do something of its own (a modem line raised, a tape wound back).
    if (::stat(path.constData(), &st) != 0) {
        out.error = errno;
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.error = S_ISDIR(st.st_mode) ? EISDIR : 0;
        return out;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        out.error = errno;
        return out;
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        out.error = S_ISREG(held.st_mode) ? errno : S_ISDIR(held.st_mode) ? EISDIR : 0;
        ::close(fd);
        return out;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out.fd = fd;
    return out;
}
