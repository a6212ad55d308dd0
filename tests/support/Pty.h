#pragma once
// A pseudo-terminal for tests: the test holds the master end and points a COM<n> link at the
// slave, as an operator points one at a USB adapter.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

class TestPty {
public:
    TestPty() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(name);
    }
    ~TestPty() { Close(); }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool Ok() const { return master_ >= 0; }
    const QString& SlavePath() const { return path_; }
    int Master() const { return master_; }

    // Points folder/COM<n> at the slave (replacing an older link).
    bool LinkAs(const QString& folder, int port) const {
        QDir().mkpath(folder);
        const QString link = folder + QString("/COM%1").arg(port);
        QFile::remove(link);
        return QFile::link(path_, link);
    }

    void Write(const QByteArray& bytes) const {
        if (::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) < 0)
            return;
    }

    // Reads what the other end wrote, running the event loop until `count` bytes came or the
    // time is up.
    QByteArray Read(int count, int timeoutMs = 5000) const {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && t.elapsed() < timeoutMs) {
            char buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<qsizetype>(n));
            else {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                QThread::msleep(5);
            }
        }
        return got;
    }

    // Hangs up: the slave sees the master gone.
    void Close() {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
        slave_ = master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};
