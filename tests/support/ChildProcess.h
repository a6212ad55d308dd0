#pragma once
// A program that a test runs beside it, started with fork and exec rather than QProcess. Qt 6.4
// starts its children with clone(CLONE_VM | CLONE_VFORK), which ThreadSanitizer does not see:
// the child's calls into libc run TSan's bookkeeping on the test's own memory before the exec,
// and TSan then misses the main thread's locks and reports every hand-over between the test's
// threads as a race. A fork it follows.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class ChildProcess {
public:
    // Collect: standard output and standard error are kept (Output(), Errors()); Forward: the
    // child writes to the test's own.
    enum class Channels { Collect, Forward };

    // Starts `program` (a path) with `args`; `env` entries ("NAME=value") are set on top of this
    // process's environment.
    ChildProcess(const QString& program, const QStringList& args, const QStringList& env = {},
                 Channels channels = Channels::Collect) {
        // Everything the child needs is made before the fork: it may only exec.
        std::vector<QByteArray> argBytes{QFile::encodeName(program)};
        for (const QString& a : args)
            argBytes.push_back(a.toLocal8Bit());
        std::vector<QByteArray> envBytes;
        for (char** e = environ; *e; ++e) {
            const QByteArray entry(*e);
            bool replaced = false;
            for (const QString& set : env)
                replaced |= entry.startsWith(set.section('=', 0, 0).toLocal8Bit() + '=');
            if (!replaced)
                envBytes.push_back(entry);
        }
        for (const QString& set : env)
            envBytes.push_back(set.toLocal8Bit());
        std::vector<char*> argv, envp;
        for (QByteArray& a : argBytes)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (QByteArray& e : envBytes)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2] = {-1, -1}, err[2] = {-1, -1};
        const bool collect = channels == Channels::Collect;
        if (collect && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0))
            return;
        const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(devNull, 0);
            if (collect) {
                ::dup2(out[1], 1);
                ::dup2(err[1], 2);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(devNull);
        if (collect) {
            ::close(out[1]);
            ::close(err[1]);
            fds_[0] = out[0];
            fds_[1] = err[0];
        }
    }
    ~ChildProcess() {
        Kill();
        for (int& fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // Reads what it writes until it has exited, for at most `timeoutMs`; true when it exited.
    bool Finish(int timeoutMs) {
        const QDeadlineTimer deadline(timeoutMs);
        while (pid_ > 0 && !deadline.hasExpired()) {
            pollfd p[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
            const bool open = fds_[0] >= 0 || fds_[1] >= 0;
            if (open && ::poll(p, 2, int(std::min<qint64>(deadline.remainingTime(), 100))) > 0) {
                for (int i = 0; i < 2; ++i)
                    if (p[i].revents != 0)
                        Drain(i);
                continue;
            }
            if (!open)
                ::usleep(10000);
            Reap(WNOHANG);
        }
        return pid_ <= 0;
    }
    // The exit code, or -1 when it did not exit normally (yet).
    int ExitCode() const { return exitCode_; }
    const QByteArray& Output() const { return collected_[0]; }
    const QByteArray& Errors() const { return collected_[1]; }

    // Ends it with SIGKILL, if it still runs, and waits for its end.
    void Kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        Reap(0);
    }

private:
    void Drain(int i) {
        char buf[65536];
        const ssize_t n = ::read(fds_[i], buf, sizeof buf);
        if (n > 0) {
            collected_[i].append(buf, n);
        } else if (n == 0 || errno != EINTR) {
            ::close(fds_[i]);
            fds_[i] = -1;
        }
    }
    void Reap(int options) {
        int status = 0;
        const pid_t got = ::waitpid(pid_, &status, options);
        if (got == pid_ || (got < 0 && errno == ECHILD)) {
            exitCode_ = got == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
        }
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    QByteArray collected_[2];
    int exitCode_ = -1;
};

// Runs the program to its end (at most `timeoutMs`); its output, errors and exit code.
struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};
inline ProgramRun RunProgram(const QString& program, const QStringList& args,
                             const QStringList& env = {}, int timeoutMs = 120000) {
    ChildProcess child(program, args, env);
    ProgramRun run;
    run.finished = child.Finish(timeoutMs);
    run.exitCode = child.ExitCode();
    run.output = child.Output();
    run.errors = child.Errors();
    return run;
}
