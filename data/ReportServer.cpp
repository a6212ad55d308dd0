#include "data/ReportServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/EventGuard.h"
#include "base/Failure.h"

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

// A peer of an IPv6 socket may show as ::ffff:a.b.c.d; the operator reads plain IPv4.
QString DottedAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

ReportServer::ReportServer(Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)) {
    if (!hooks_.parseByte)
        hooks_.parseByte = [](uint8_t) {};
    if (!hooks_.resetParser)
        hooks_.resetParser = [] {};
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
    readOn_.setSingleShot(true);
    readOn_.setInterval(HoldBackMs);
    connect(&readOn_, &QTimer::timeout, this, [this] {
        if (peer_)
            Guarded([this] { DataAvailable(); });
    });

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
    if (peer_) {
        peer_->disconnect(this);
        peer_->abort();
    }
    listener_.disconnect(this);
    listener_.close();
}

quint16 ReportServer::Port() const {
    return Listening() ? listener_.serverPort() : port_;
}

void ReportServer::Run() {
    if (Listening())
        return;
    // The socket is made by hand because QTcpServer::listen offers no way to set the backlog.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        FailSocket("socket", errno);
    // On Linux this only lets the port be bound again while connections that the server closed
    // linger in TIME_WAIT, as Windows allows anyway; a second listener is still refused.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        FailAndClose(fd, "setsockopt");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0)
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
    std::exception_ptr failure;
    if (peer_)
        failure = ClosePeer();
    listener_.close();
    ShowState(IdleText);
    if (failure)
        std::rethrow_exception(failure);
}

void ReportServer::SessionAvailable() {
    std::exception_ptr failure;
    while (QTcpSocket* next = listener_.nextPendingConnection()) {
        if (peer_) {
            std::exception_ptr closing = ClosePeer();
            if (!failure)
                failure = closing;
        }
        byteCount_ = 0;
        peer_ = next;
        next->setReadBufferSize(ReadAheadBytes);
        // Only the socket being served reaches the handlers.
        connect(next, &QTcpSocket::readyRead, this, [this, next] {
            if (next == peer_)
                Guarded([this] { DataAvailable(); });
        });
        connect(next, &QTcpSocket::disconnected, this, [this, next] {
            if (next == peer_)
                Guarded([this] { ClientSessionClosed(); });
        });
        connect(next, &QTcpSocket::errorOccurred, this,
                [this, next](QAbstractSocket::SocketError e) {
                    // The peer closing (or resetting) the connection is the normal end of a
                    // session.
                    if (next != peer_ || e == QAbstractSocket::RemoteHostClosedError)
                        return;
                    Guarded([&] {
                        throw Failure(QStringLiteral("Socket error %1 in function recv: %2")
                                          .arg(static_cast<int>(e))
                                          .arg(next->errorString()));
                    });
                });
        const QString address = DottedAddress(next->peerAddress());
        ShowState(QStringLiteral("Connected with ") + address);
        hooks_.peerConnected(address);
        // An item cut off on the previous connection is dropped.
        hooks_.resetParser();
    }
    if (failure)
        std::rethrow_exception(failure);
}

void ReportServer::DataAvailable() {
    if (std::exception_ptr failure = Drain(true))
        std::rethrow_exception(failure);
}

void ReportServer::ClientSessionClosed() {
    const QPointer<QTcpSocket> socket = peer_;
    std::exception_ptr failure = Drain(); // whatever came just before the close
    Forget(socket);
    ShowState(DisconnectedText);
    if (failure)
        std::rethrow_exception(failure);
}

std::exception_ptr ReportServer::Drain(bool mayWait) {
    std::exception_ptr failure;
    const QPointer<QTcpSocket> socket = peer_;
    char block[4096];
    bool read = false;
    // The parser may run the event loop (a message box); stop if the peer went meanwhile.
    while (socket && socket == peer_) {
        if (mayWait && hooks_.holdBack()) {
            readOn_.start();
            break;
        }
        const qint64 n = socket->read(block, sizeof block);
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            try {
                hooks_.parseByte(static_cast<uint8_t>(block[i]));
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
            ++byteCount_;
        }
        read = true;
    }
    // Once for all the bytes taken here: the operator sees the label as it is painted after.
    if (read)
        hooks_.countText(
            QStringLiteral("%1 bytes  %2 records").arg(byteCount_).arg(hooks_.reportItemCount()));
    return failure;
}

std::exception_ptr ReportServer::ClosePeer() {
    const QPointer<QTcpSocket> socket = peer_;
    std::exception_ptr failure = Drain();
    Forget(socket);
    ShowState(DisconnectedText);
    return failure;
}

void ReportServer::Forget(QTcpSocket* socket) {
    if (socket) {
        socket->disconnect(this);
        socket->close(); // nothing is ever written, so this closes at once
        socket->deleteLater();
    }
    if (peer_ == socket)
        peer_ = nullptr;
}

void ReportServer::ShowState(const QString& text) {
    hooks_.stateText(text);
}
