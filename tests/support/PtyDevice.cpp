#include "support/PtyDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyDevice::PtyDevice() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        Close();
        return;
    }
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        Close();
        return;
    }
    slave_ = QString::fromLocal8Bit(name);
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ >= 0) {
        termios t{};
        ::tcgetattr(slaveFd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slaveFd_, TCSANOW, &t);
    }
}

PtyDevice::~PtyDevice() {
    Close();
}

void PtyDevice::Close() {
    if (slaveFd_ >= 0)
        ::close(slaveFd_);
    if (master_ >= 0)
        ::close(master_);
    slaveFd_ = master_ = -1;
}

void PtyDevice::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    QElapsedTimer t;
    t.start();
    while (done < bytes.size() && master_ >= 0 && t.elapsed() < 30000) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        else
            QTest::qWait(5); // the console's poll drains the other side meanwhile
    }
}

QByteArray PtyDevice::Read(int count, int ms) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && master_ >= 0 && t.elapsed() < ms) {
        char buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else
            QTest::qWait(5);
    }
    return got;
}

bool LinkDevice(const QString& folder, int port, const QString& target) {
    QDir().mkpath(folder);
    const QString link = folder + "/COM" + QString::number(port);
    QFile::remove(link);
    return QFile::link(target, link);
}

void DeviceFolder::Link(int port, const QString& target) {
    LinkDevice(Path(), port, target);
}

bool WaitUntil(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

void Spin(int ms) {
    QTest::qWait(ms);
}
