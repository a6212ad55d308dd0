#pragma once
// The logger emulator program on a COM<n> link, for end-to-end runs of the console.
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <csignal>

class LoggerProcess {
public:
    // Starts build/impix-logger with --link `link` and the extra options; true once the link
    // points at its terminal.
    bool Start(const QString& link, const QStringList& extra = {}) {
        const QString program = qEnvironmentVariable("IMPIX_BUILD_DIR") + "/impix-logger";
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, QStringList{"--link", link, "--seed", "5"} + extra);
        if (!process_.waitForStarted(10000))
            return false;
        return QTest::qWaitFor([&] { return QFileInfo(link).isSymLink(); }, 10000);
    }
    // Freezes the emulator (SIGSTOP) and lets it go on (SIGCONT): a line that falls silent.
    void Freeze() { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void Thaw() { ::kill(static_cast<pid_t>(process_.processId()), SIGCONT); }
    ~LoggerProcess() {
        if (process_.state() != QProcess::NotRunning) {
            Thaw();
            ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QProcess process_;
};
