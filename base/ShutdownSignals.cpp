#include "base/ShutdownSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "base/EventGuard.h"
#include "base/Failure.h"

namespace {

int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t received = 0;

void OnSignal(int sig) {
    const int savedErrno = errno; // the interrupted code may be about to read it
    if (sig != SIGUSR1)
        received = sig;
    char b = static_cast<char>(sig);
    // Nothing can be done about a failed write inside a signal handler.
    [[maybe_unused]] ssize_t n = ::write(pipeFds[0], &b, 1);
    errno = savedErrno;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0)
        throw Failure("socketpair failed");
    notifier_ = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        Guarded([this] {
            char buf[16];
            bool quit = false;
            bool user1 = false;
            for (ssize_t n; (n = ::read(pipeFds[1], buf, sizeof buf)) > 0;)
                for (ssize_t i = 0; i < n; ++i)
                    (buf[i] == SIGUSR1 ? user1 : quit) = true;
            if (user1 && onUser1)
                onUser1();
            // exit, not quit: it also ends a modal dialog's loop, and asks no window to close.
            if (quit && onShutdown)
                onShutdown();
            else if (quit)
                QCoreApplication::exit(0);
        });
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

int ShutdownSignals::Received() {
    return received;
}

QString SignalName(int signal) {
    switch (signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    case SIGINT:
        return QStringLiteral("SIGINT");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}
