#pragma once
// The collector and the emulator's fleet as the programs they are, for end-to-end runs against a
// real PostgreSQL (the test runs under pg_virtualenv, which sets PGHOST, PGPORT, ...).
#include <csignal>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

inline QString BuildProgram(const QString& name) {
    return qEnvironmentVariable("IMPIX_BUILD_DIR") + "/" + name;
}

// A one-shot run of impix-collector (--add-logger, --reparse, --check): exit status and output.
struct CommandRun {
    int status = -1;
    QString output;
};
inline CommandRun RunCollectorCommand(const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(BuildProgram("impix-collector"), QStringList{"--config", "/dev/null"} + args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAll())};
}

// impix-collector running; its log (standard error) is appended to one file across restarts.
class CollectorProcess {
public:
    CollectorProcess(QString logPath, QStringList args)
        : logPath_(std::move(logPath)), args_(std::move(args)) {}
    ~CollectorProcess() { Kill(); }

    // Starts it listening on 127.0.0.1:port (0: a free one); the port it listens on, 0 when it
    // did not come up.
    quint16 Start(quint16 port = 0) {
        const qsizetype from = Log().size();
        process_.setStandardErrorFile(logPath_, QIODevice::Append);
        process_.start(
            BuildProgram("impix-collector"),
            QStringList{"--config", "/dev/null", "--listen", QString("127.0.0.1:%1").arg(port)} +
                args_);
        static const QRegularExpression listening(R"(listening on 127\.0\.0\.1:(\d+))");
        quint16 found = 0;
        (void)QTest::qWaitFor(
            [&] {
                const QRegularExpressionMatch m = listening.match(Log().mid(from));
                found = m.hasMatch() ? static_cast<quint16>(m.captured(1).toUInt()) : 0;
                return found != 0 || process_.state() == QProcess::NotRunning;
            },
            60000);
        return found;
    }
    // SIGTERM: it writes out its spool and exits; the exit status, -1 when it hung or crashed.
    int Term() {
        if (process_.state() == QProcess::NotRunning)
            return -1;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(120000)) {
            Kill();
            return -1;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    void Kill() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill(); // SIGKILL
        process_.waitForFinished(30000);
    }
    QString Log() const {
        QFile f(logPath_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QString logPath_;
    QStringList args_;
    QProcess process_;
};

// impix-logger --fleet, running while the test does other things.
class FleetProcess {
public:
    void Start(const QStringList& args) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(BuildProgram("impix-logger"), args);
    }
    // The exit status once it ended, -1 when it hung.
    int Wait() {
        // It may have ended already, while the test ran the event loop.
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(300000)) {
            process_.kill();
            process_.waitForFinished(5000);
            return -1;
        }
        return process_.exitCode();
    }
    ~FleetProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QProcess process_;
};
