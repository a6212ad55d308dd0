#pragma once
// The real spreadsheet service impix-sheets of the build, on a socket folder of the test's own
// ($XDG_RUNTIME_DIR of this process is pointed there too, so conversations made here find it).
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "ChildProcess.h"

class SheetsProcess {
public:
    explicit SheetsProcess(const QStringList& args = {}) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
        socket_ = runtime_.path() + "/impix-dde/Excel";
        process_ = std::make_unique<ChildProcess>(
            qEnvironmentVariable("IMPIX_BUILD_DIR") + "/impix-sheets",
            QStringList{"--idle-exit-ms", "30000"} + args,
            QStringList{"XDG_RUNTIME_DIR=" + runtime_.path(), "LC_ALL=C"},
            ChildProcess::Channels::Forward);
        for (int i = 0; i < 1000 && !Listening(); ++i)
            QThread::msleep(10);
    }
    ~SheetsProcess() { Kill(); }
    // Whether the service listens: its socket file appears when it is bound, a moment before
    // the service listens, and a connection made in between is refused.
    bool Ok() const { return Listening(); }
    void Kill() { process_->Kill(); }
    QString RuntimeDir() const { return runtime_.path(); }
    QString Socket() const { return socket_; }

private:
    // A listening socket of that path in the kernel's table (flag __SO_ACCEPTCON, 0x10000).
    bool Listening() const {
        QFile table("/proc/net/unix");
        if (!table.open(QIODevice::ReadOnly))
            return false;
        const QByteArray path = QFile::encodeName(socket_);
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() == 8 && fields[3] == "00010000" && fields[7] == path)
                return true;
        }
        return false;
    }

    QTemporaryDir runtime_;
    QString socket_;
    std::unique_ptr<ChildProcess> process_;
};
