#pragma once
// The real spreadsheet service impix-sheets of the build, on a socket folder of the test's own
// ($XDG_RUNTIME_DIR of this process is pointed there too, so conversations made here find it).
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

class SheetsProcess {
public:
    explicit SheetsProcess(const QStringList& args = {}) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C");
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(qEnvironmentVariable("IMPIX_BUILD_DIR") + "/impix-sheets",
                       QStringList{"--idle-exit-ms", "30000"} + args);
        socket_ = runtime_.path() + "/impix-dde/Excel";
        for (int i = 0; i < 500 && !QFile::exists(socket_); ++i)
            QThread::msleep(10);
    }
    ~SheetsProcess() { Kill(); }
    bool Ok() const { return QFile::exists(socket_); }
    void Kill() {
        process_.kill();
        process_.waitForFinished();
    }
    QString RuntimeDir() const { return runtime_.path(); }
    QString Socket() const { return socket_; }

private:
    QTemporaryDir runtime_;
    QProcess process_;
    QString socket_;
};
