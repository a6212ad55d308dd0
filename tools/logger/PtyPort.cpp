#include "tools/logger/PtyPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "base/EventGuard.h"
#include "base/Failure.h"

namespace logger {

namespace {

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return; // the master side of some systems has no attributes of its own
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
}

QString ErrorText(const char* what) {
    return QString("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyPort::PtyPort(QObject* parent) : QObject(parent) {
    pauseTimer_.setSingleShot(true);
    connect(&pauseTimer_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (!queue_.empty())
                queue_.front().paused = true;
            Flush();
        });
    });
    // After a hang-up the notifier would fire without end; look again a little later instead.
    readRetry_.setSingleShot(true);
    readRetry_.setInterval(200);
    connect(&readRetry_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (readNotifier_)
                readNotifier_->setEnabled(true);
        });
    });
    exclusiveCheck_.setInterval(1000);
    connect(&exclusiveCheck_, &QTimer::timeout, this,
            [this] { Guarded([this] { ReleaseStaleExclusiveMode(); }); });
}

void PtyPort::ReleaseStaleExclusiveMode() {
    int exclusive = 0;
    if (slave_ < 0 || ::ioctl(slave_, TIOCGEXCL, &exclusive) != 0 || exclusive == 0)
        return;
    // A running console holds a lock on its port; without one, nobody owns the exclusive mode.
    if (::flock(slave_, LOCK_EX | LOCK_NB) != 0)
        return;
    ::ioctl(slave_, TIOCNXCL);
    ::flock(slave_, LOCK_UN);
    if (onLog)
        onLog(QStringLiteral("exclusive mode of a console that ended without closing the port "
                             "taken back"));
}

PtyPort::~PtyPort() {
    Close();
}

void PtyPort::Open() {
    Close();
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw Failure(ErrorText("openpty"));
    slavePath_ = QString::fromLocal8Bit(name);
    MakeRaw(slave_);
    MakeRaw(master_);
    int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this,
            [this] { Guarded([this] { ReadReady(); }); });
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this,
            [this] { Guarded([this] { Flush(); }); });
    exclusiveCheck_.start();
}

void PtyPort::Close() {
    pauseTimer_.stop();
    readRetry_.stop();
    exclusiveCheck_.stop();
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    queue_.clear();
    pending_ = 0;
}

void PtyPort::ReadReady() {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            if (onBytes)
                onBytes(QByteArray(buf, static_cast<qsizetype>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file or a hang-up: nothing to read until the line comes back.
        readNotifier_->setEnabled(false);
        readRetry_.start();
        return;
    }
}

void PtyPort::Write(const QByteArray& bytes, int pauseBeforeMs) {
    if (bytes.isEmpty() && pauseBeforeMs <= 0)
        return;
    if (pending_ > MaxPending) {
        if (!dropping_ && onLog)
            onLog(QStringLiteral("nobody reads the terminal; answers are dropped"));
        dropping_ = true;
        return;
    }
    dropping_ = false;
    pending_ += bytes.size();
    // Bytes with no pause of their own join the last piece, so that long downloads cost their
    // bytes and not a queue entry each.
    if (pauseBeforeMs <= 0 && !queue_.empty())
        queue_.back().bytes += bytes;
    else
        queue_.push_back({bytes, pauseBeforeMs, 0, false});
    if (!pauseTimer_.isActive())
        Flush();
}

void PtyPort::Flush() {
    if (master_ < 0)
        return;
    while (!queue_.empty()) {
        Segment& s = queue_.front();
        if (s.pauseBeforeMs > 0 && !s.paused) {
            writeNotifier_->setEnabled(false);
            pauseTimer_.start(s.pauseBeforeMs);
            return;
        }
        while (s.written < s.bytes.size()) {
            ssize_t n = ::write(master_, s.bytes.constData() + s.written,
                                static_cast<size_t>(s.bytes.size() - s.written));
            if (n > 0) {
                s.written += n;
                pending_ -= n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                // The console is not reading: wait until the terminal takes bytes again.
                writeNotifier_->setEnabled(true);
                return;
            }
            if (onLog)
                onLog(ErrorText("write"));
            queue_.clear();
            pending_ = 0;
            writeNotifier_->setEnabled(false);
            return;
        }
        queue_.pop_front();
    }
    writeNotifier_->setEnabled(false);
}

} // namespace logger
