#include "net/ReportServer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QScopeGuard>
#include <QTcpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/ValueOrFailure.h"

namespace {
const QString IdleText = QStringLiteral("Idle");
const QString ListenText = QStringLiteral("Listen");
const QString DisconnectedText = QStringLiteral("Disconnected / Listen");
// What the server takes from the kernel ahead of the parser; beyond it a peer that is held back
// fills its connection's window and waits.
constexpr qint64 ReadAheadBytes = 1 << 20;
constexpr int HoldBackMs = 2;

[[noreturn]] void FailSocket(const char* function, int error) {
    throw Failure(QStringLiteral("Socket error %1 in function %2: %3")
                      .arg(error)
                      .arg(QLatin1String(function), QString::fromLocal8Bit(std::strerror(error))));
}

// Closes the descriptor and fails with the error of the call that went wrong.
[[noreturn]] void FailAndClose(int fd, const char* function) {
    const int error = errno;
    ::close(fd);
    FailSocket(function, error);
}

// Keeps the first failure of several steps that all run.
void KeepFirst(Result<void>& first, Result<void> next) {
    if (first && !next)
        first = std::move(next);
}

// Bytes received that nobody has read yet: in the socket's buffer or still in the system's.
bool BytesWaiting(QTcpSocket& socket) {
    char byte = 0;
    return socket.bytesAvailable() > 0 || ::recv(static_cast<int>(socket.socketDescriptor()), &byte,
                                                 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

// A peer of an IPv6 socket may show as ::ffff:a.b.c.d; the operator reads plain IPv4.
QString DottedAddress(const QHostAddress& address) {
    return Unmapped(address).toString();
}
} // namespace

struct ReportServer::Connection {
    QPointer<QTcpSocket> socket;
    ReportParser parser; // an item cut off here never takes bytes of another peer
    QString address;
    int64_t bytes = 0;     // ServerByteCount of this connection
    bool draining = false; // a nested event loop must not read on ahead of the bytes in hand
    bool closeWhenDrained = false; // the peer closed while its bytes were being parsed
    QDeadlineTimer quietUntil;     // closed as idle when this passes with nothing received
};

ReportServer::ReportServer(Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)) {
    if (!hooks_.reportItem)
        hooks_.reportItem = [](Item) {};
    if (!hooks_.reportItemCount)
        hooks_.reportItemCount = [] { return int64_t{0}; };
    if (!hooks_.stateText)
        hooks_.stateText = [](const QString&) {};
    if (!hooks_.countText)
        hooks_.countText = [](const QString&) {};
    if (!hooks_.peerConnected)
        hooks_.peerConnected = [](const QString&) {};
    if (!hooks_.holdBack)
        hooks_.holdBack = [] { return false; };
    if (!hooks_.peerRefused)
        hooks_.peerRefused = [] {};
    readOn_.setSingleShot(true);
    // Every connection held back, or stopped at the end of its slice, reads on, the oldest first.
    connect(&readOn_, &QTimer::timeout, this, [this] {
        const std::vector<ConnectionPtr> held = connections_;
        for (const ConnectionPtr& c : held)
            Guarded([&] { DataAvailable(c); });
    });

    idleCheck_.setSingleShot(true);
    connect(&idleCheck_, &QTimer::timeout, this, [this] { Guarded([this] { CloseIdlePeers(); }); });

    connect(&listener_, &QTcpServer::newConnection, this,
            [this] { Guarded([this] { SessionAvailable(); }); });
    // Qt stops accepting after a lasting accept error (out of descriptors, say); "Stop" and
    // "Run" start over.
    connect(&listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError e) {
        Guarded([&] {
            throw Failure(QStringLiteral("Socket error %1 in function accept: %2")
                              .arg(static_cast<int>(e))
                              .arg(listener_.errorString()));
        });
    });
}

ReportServer::~ReportServer() {
    for (const ConnectionPtr& c : connections_) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
    }
    listener_.disconnect(this);
    listener_.close();
}

quint16 ReportServer::Port() const {
    return Listening() ? listener_.serverPort() : port_;
}

int64_t ReportServer::ByteCount() const {
    return connections_.empty() ? closedBytes_ : connections_.back()->bytes;
}

QString ReportServer::RefusedHint(const FormatSettings& fs) const {
    if (refused_ == 0)
        return {};
    return QStringLiteral("Last refused: %1 on %2 at %3")
        .arg(lastRefused_, lastRefusedAt_.date().toString(fs.shortDateFormat),
             lastRefusedAt_.time().toString(fs.longTimeFormat));
}

void ReportServer::Run() {
    if (Listening())
        return;
    const QHostAddress local =
        listenAddress_.isNull() ? QHostAddress(QHostAddress::AnyIPv4) : Unmapped(listenAddress_);
    const bool v6 = local.protocol() == QAbstractSocket::IPv6Protocol;
    // The socket is made by hand because QTcpServer::listen offers no way to set the backlog.
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        FailSocket("socket", errno);
    // On Linux this only lets the port be bound again while connections that the server closed
    // linger in TIME_WAIT, as Windows allows anyway; a second listener is still refused.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        FailAndClose(fd, "setsockopt");
    sockaddr_storage address{};
    socklen_t length = 0;
    if (v6) {
        // "::" takes IPv4 senders too, whatever the system's default.
        const int off = 0;
        if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) < 0)
            FailAndClose(fd, "setsockopt");
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port_);
        const Q_IPV6ADDR bytes = local.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port_);
        in4->sin_addr.s_addr = htonl(local.toIPv4Address());
        length = sizeof *in4;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) < 0)
        FailAndClose(fd, "bind");
    if (::listen(fd, ListenBacklog) < 0)
        FailAndClose(fd, "listen");
    if (!listener_.setSocketDescriptor(fd)) {
        ::close(fd);
        throw Failure(QStringLiteral("Socket error %1 in function listen: %2")
                          .arg(static_cast<int>(listener_.serverError()))
                          .arg(listener_.errorString()));
    }
    ShowState(ListenText);
}

void ReportServer::Stop() {
    Result<void> outcome;
    const std::vector<ConnectionPtr> open = connections_;
    for (const ConnectionPtr& c : open) {
        Result<void> closing = Drain(c);
        Forget(c);
        KeepFirst(outcome, std::move(closing));
    }
    if (!open.empty())
        ShowState(DisconnectedText);
    listener_.close();
    idleCheck_.stop();
    ShowState(IdleText);
    ValueOrFailure(outcome);
}

void ReportServer::SessionAvailable() {
    while (QTcpSocket* next = listener_.nextPendingConnection())
        Accept(next);
}

void ReportServer::Accept(QTcpSocket* socket) {
    if (!allowed_.Allows(socket->peerAddress())) {
        Refuse(socket, DottedAddress(socket->peerAddress()));
        return;
    }
    if (static_cast<int>(connections_.size()) >= peerLimit_) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    auto c = std::make_shared<Connection>();
    c->socket = socket;
    c->address = DottedAddress(socket->peerAddress());
    c->parser.onItem = [this](Item item) { hooks_.reportItem(item); };
    c->quietUntil = QDeadlineTimer(idleTimeout_);
    connections_.push_back(c);
    ArmIdleCheck();
    socket->setReadBufferSize(ReadAheadBytes);
    // A weak reference: the socket's connections must not keep their own record alive.
    const std::weak_ptr<Connection> weak = c;
    connect(socket, &QTcpSocket::readyRead, this, [this, weak] {
        if (ConnectionPtr c = weak.lock())
            Guarded([&] { DataAvailable(c); });
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, weak] {
        if (ConnectionPtr c = weak.lock())
            Guarded([&] { SessionClosed(c); });
    });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError e) {
                // The peer closing (or resetting) the connection is the normal end of a session.
                if (e == QAbstractSocket::RemoteHostClosedError)
                    return;
                Guarded([&] {
                    throw Failure(QStringLiteral("Socket error %1 in function recv: %2")
                                      .arg(static_cast<int>(e))
                                      .arg(socket->errorString()));
                });
            });
    // The counter counts the newest connection's bytes from here; its text stays until then.
    ShowState(QStringLiteral("Connected with ") + c->address);
    hooks_.peerConnected(c->address);
}

void ReportServer::DataAvailable(const ConnectionPtr& c) {
    ValueOrFailure(Drain(c, true));
}

void ReportServer::SessionClosed(const ConnectionPtr& c) {
    if (c->draining) {
        c->closeWhenDrained = true; // the read in progress takes the rest, then closes
        return;
    }
    ValueOrFailure(Close(c));
}

Result<void> ReportServer::Drain(const ConnectionPtr& c, bool mayWait) {
    if (c->draining)
        return {};
    c->draining = true;
    // A programming error leaves at once; the connection stays readable.
    auto stopDraining = qScopeGuard([&c] { c->draining = false; });
    Result<void> outcome;
    char block[4096];
    bool read = false;
    QElapsedTimer slice;
    slice.start();
    // The parser may run the event loop (a message box): stop if the connection went meanwhile.
    while (c->socket) {
        if (mayWait && !c->closeWhenDrained) {
            if (hooks_.holdBack()) {
                readOn_.start(HoldBackMs);
                break;
            }
            // The rest at the next pass, unless the hold-back above has set a later one.
            if (read && slice.elapsed() >= readSlice_.count()) {
                if (!readOn_.isActive())
                    readOn_.start(0);
                break;
            }
        }
        const qint64 n = c->socket->read(block, sizeof block);
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            // The link the parser hands its items to throws the operator's message.
            try {
                c->parser.ParseReportByte(static_cast<uint8_t>(block[i]));
            } catch (const Failure& f) {
                KeepFirst(outcome, Fail(f.text()));
            }
            ++c->bytes;
        }
        read = true;
        c->quietUntil = QDeadlineTimer(idleTimeout_);
    }
    stopDraining.dismiss();
    c->draining = false;
    // Once for all the bytes taken here: the operator sees the label as it is painted after.
    if (read)
        hooks_.countText(
            QStringLiteral("%1 bytes  %2 records").arg(ByteCount()).arg(hooks_.reportItemCount()));
    if (c->closeWhenDrained) {
        c->closeWhenDrained = false;
        KeepFirst(outcome, Close(c));
    }
    return outcome;
}

Result<void> ReportServer::Close(const ConnectionPtr& c) {
    Result<void> outcome = Drain(c); // whatever came just before the close
    Forget(c);
    ShowNewestState();
    return outcome;
}

void ReportServer::Forget(const ConnectionPtr& c) {
    if (c->socket) {
        c->socket->disconnect(this);
        c->socket->close(); // nothing is ever written, so this closes at once
        c->socket->deleteLater();
        c->socket = nullptr;
    }
    connections_.erase(std::remove(connections_.begin(), connections_.end(), c),
                       connections_.end());
    if (connections_.empty())
        closedBytes_ = c->bytes;
}

void ReportServer::Refuse(QTcpSocket* socket, const QString& address) {
    socket->abort();
    socket->deleteLater();
    ++refused_;
    lastRefused_ = address;
    lastRefusedAt_ = QDateTime::currentDateTime();
    hooks_.peerRefused();
}

void ReportServer::CloseIdlePeers() {
    Result<void> outcome;
    const std::vector<ConnectionPtr> open = connections_;
    for (const ConnectionPtr& c : open) {
        // Closed meanwhile (a message box of an earlier one ran the event loop), or not due.
        if (!c->socket || !c->quietUntil.hasExpired())
            continue;
        // Bytes in hand are no silence: the peer waits for us (held back behind the archive, a
        // message box open over its parser, or its bytes came in just as this check fell due).
        if (c->draining || BytesWaiting(*c->socket)) {
            c->quietUntil = QDeadlineTimer(idleTimeout_);
            continue;
        }
        KeepFirst(outcome, Close(c));
    }
    ArmIdleCheck();
    ValueOrFailure(outcome);
}

void ReportServer::ArmIdleCheck() {
    if (connections_.empty()) {
        idleCheck_.stop();
        return;
    }
    qint64 soonest = connections_.front()->quietUntil.remainingTime();
    for (const ConnectionPtr& c : connections_)
        soonest = std::min(soonest, c->quietUntil.remainingTime());
    idleCheck_.start(static_cast<int>(std::max<qint64>(soonest, 0)));
}

void ReportServer::ShowState(const QString& text) {
    hooks_.stateText(text);
}

void ReportServer::ShowNewestState() {
    ShowState(connections_.empty()
                  ? DisconnectedText
                  : QStringLiteral("Connected with ") + connections_.back()->address);
}
