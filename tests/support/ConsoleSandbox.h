#pragma once
// Runs the real console program with a script, in a folder of its own: the program is copied
// there, so its program folder, configuration file and dev/COM<n> links belong to the test.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <utility>

// Script lines that measure channels 1 and 2 of board 1 for 1.5 s against a logger emulator
// started with a short period, and stop; the scripted console tests start from here, and so
// does the install test (a shell script), hence a file of its own.
inline const QString kMeasureTwoChannels = [] {
    QFile f(qEnvironmentVariable("IMPIX_SOURCE_DIR") + "/tests/support/MeasureTwoChannels.txt");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}();
struct ConsoleResult {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
    // The value printed for a control ("NAME=<text>"), or a null string when not printed.
    QString Printed(const QString& name) const {
        const QString key = name + "=";
        const QStringList lines = out.split('\n');
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->startsWith(key))
                return it->mid(key.size());
        return {};
    }
};

class ConsoleSandbox {
public:
    ConsoleSandbox() {
        const QString build = qEnvironmentVariable("IMPIX_BUILD_DIR");
        exe_ = dir_.path() + "/impix";
        ok_ = dir_.isValid() && QFile::copy(build + "/impix", exe_);
    }
    bool Ok() const { return ok_; }
    QString Folder() const { return dir_.path(); }
    QString DevFolder() const { return dir_.path() + "/dev"; }
    QString ConfigFile() const { return dir_.path() + "/Impix2.cfg"; }
    // The console's $XDG_DATA_HOME, which holds its measurement archive.
    QString DataFolder() const { return dir_.path() + "/data"; }
    QString ArchiveFile() const { return DataFolder() + "/impix/archive.sqlite"; }
    // Command-line options given to the console after the script.
    void SetArgs(const QStringList& args) { args_ = args; }

    // Starts the console on the script and returns at once.
    void Start(const QString& script) {
        QFile f(dir_.path() + "/script.txt");
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(script.toUtf8());
        f.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        // A fixed convention for dates and numbers, whatever the machine's locale.
        env.insert("LC_ALL", "en_GB.UTF-8");
        // The measurement archive goes into the sandbox, never into the user's own.
        env.insert("XDG_DATA_HOME", DataFolder());
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(QDir::tempPath());
        process_.start(exe_, QStringList{"--script", f.fileName()} + args_);
        process_.waitForStarted(10000);
    }

    // Waits for the console to end; collects its output.
    ConsoleResult Finish(int timeoutMs = 60000) {
        ConsoleResult r;
        r.finished = process_.waitForFinished(timeoutMs);
        if (!r.finished) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        r.exitCode = process_.exitCode();
        r.out = std::exchange(seen_, QString()) +
                QString::fromLocal8Bit(process_.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process_.readAllStandardError());
        return r;
    }

    // Waits until the console printed `text` (true) or ended or the time is up.
    bool WaitForOutput(const QString& text, int timeoutMs = 60000) {
        QElapsedTimer clock;
        clock.start();
        while (!seen_.contains(text)) {
            if (process_.state() == QProcess::NotRunning || clock.elapsed() > timeoutMs)
                return false;
            process_.waitForReadyRead(100);
            seen_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
        }
        return true;
    }
    // What the console printed so far, as far as WaitForOutput read it.
    const QString& Seen() const { return seen_; }
    // Sends the console a signal (it goes on running until Finish or Kill).
    void Signal(int signal) { ::kill(static_cast<pid_t>(process_.processId()), signal); }
    // Ends the console as a crash would: no handler runs. Returns what it printed.
    QString Kill() {
        process_.kill();
        process_.waitForFinished(10000);
        seen_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
        return std::exchange(seen_, QString());
    }

    ConsoleResult Run(const QString& script, int timeoutMs = 60000) {
        Start(script);
        return Finish(timeoutMs);
    }

private:
    QTemporaryDir dir_;
    QString exe_;
    QStringList args_;
    bool ok_ = false;
    QProcess process_;
    QString seen_; // output read while waiting for a text
};
