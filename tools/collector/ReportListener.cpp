#include "tools/collector/ReportListener.h"

#include <algorithm>

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>

#include "base/EventGuard.h"
#include "tools/collector/LoggerDirectory.h"

namespace collector {

namespace {

// What Qt may keep of a connection's bytes while it is not read; with 4,096 connections a
// quarter of the memory bound at most.
constexpr qint64 SocketBuffer = 16 * 1024;
constexpr qint64 PieceSize = 64 * 1024;
// A burst of loggers that all report at the same minute waits here, not in SYN retries.
constexpr int ListenBacklog = 4096;

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

ReportListener::ReportListener(const ListenerLimits& limits, SpoolWriter& spool, QObject* parent)
    : QObject(parent), limits_(limits), spool_(spool) {
    sweep_.setInterval(1000);
    connect(&sweep_, &QTimer::timeout, this, [this] { Guarded([this] { Sweep(); }); });
    sweep_.start();
}

ReportListener::~ReportListener() {
    for (auto& [socket, peer] : peers_) {
        socket->disconnect(this);
        delete socket;
    }
}

Result<void> ReportListener::Listen(const std::vector<ListenAddress>& addresses) {
    for (const ListenAddress& a : addresses) {
        auto server = std::make_unique<QTcpServer>();
        server->setListenBacklogSize(ListenBacklog);
        // Qt takes connections from the system only while fewer than this wait for Accept.
        server->setMaxPendingConnections(1);
        if (!server->listen(a.address, a.port))
            return Fail(QString("cannot listen on %1:%2: %3")
                            .arg(a.address == QHostAddress::Any ? "*" : a.address.toString())
                            .arg(a.port)
                            .arg(server->errorString()));
        QTcpServer* s = server.get();
        connect(s, &QTcpServer::newConnection, this,
                [this, s] { Guarded([this, s] { Accept(s); }); });
        servers_.push_back(std::move(server));
    }
    return {};
}

std::vector<quint16> ReportListener::Ports() const {
    std::vector<quint16> ports;
    for (const auto& s : servers_)
        ports.push_back(s->serverPort());
    return ports;
}

void ReportListener::StopAccepting() {
    accepting_ = false;
    for (const auto& s : servers_)
        s->close();
}

void ReportListener::Accept(QTcpServer* server) {
    // Beyond the limit a connection waits, accepted by the system but not read, until one ends.
    while (server->hasPendingConnections() &&
           static_cast<int>(peers_.size()) < limits_.maxConnections) {
        QTcpSocket* socket = server->nextPendingConnection();
        socket->setParent(nullptr);
        socket->setReadBufferSize(SocketBuffer);
        const qint64 now = NowMs();
        Peer& peer = peers_[socket];
        peer.spoolId = spool_.Begin(PlainAddress(socket->peerAddress()), socket->peerPort(), now);
        peer.lastActivityMs = now;
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { Guarded([this, socket] { Read(socket); }); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { Guarded([this, socket] { PeerClosed(socket); }); });
        Read(socket);
    }
    if (static_cast<int>(peers_.size()) >= limits_.maxConnections)
        for (const auto& s : servers_)
            s->pauseAccepting();
}

void ReportListener::Read(QTcpSocket* socket, bool evenIfBehind) {
    auto it = peers_.find(socket);
    if (it == peers_.end())
        return;
    Peer& peer = it->second;
    if (peer.held && !evenIfBehind)
        return; // its turn comes in Resume
    while (socket->bytesAvailable() > 0) {
        if (!evenIfBehind && (spool_.Congested() || !held_.empty())) {
            Hold(socket, peer);
            return;
        }
        if (!ReadPiece(socket, peer))
            return;
    }
    if (peer.peerClosed)
        Close(socket, Ending::Closed);
}

bool ReportListener::ReadPiece(QTcpSocket* socket, Peer& peer) {
    const int64_t room = limits_.maxReport - peer.bytes;
    if (room <= 0) {
        Close(socket, Ending::Cut);
        return false;
    }
    QByteArray bytes = socket->read(std::min<qint64>({socket->bytesAvailable(), room, PieceSize}));
    if (!bytes.isEmpty()) {
        peer.bytes += bytes.size();
        peer.lastActivityMs = NowMs();
        spool_.Append(peer.spoolId, std::move(bytes), peer.lastActivityMs);
    }
    return true;
}

void ReportListener::Hold(QTcpSocket* socket, Peer& peer) {
    if (!peer.held)
        held_.push_back(socket);
    peer.held = true;
    spool_.WantRelief();
    // Held behind others while the spool keeps up: their turn comes at once.
    if (!spool_.Congested() && !resumeQueued_) {
        resumeQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                Guarded([this] {
                    resumeQueued_ = false;
                    Resume();
                });
            },
            Qt::QueuedConnection);
    }
}

void ReportListener::PeerClosed(QTcpSocket* socket) {
    auto it = peers_.find(socket);
    if (it == peers_.end())
        return;
    it->second.peerClosed = true;
    // Whatever is still buffered goes to the spool first; held bytes close it once read.
    Read(socket);
}

void ReportListener::Close(QTcpSocket* socket, Ending ending) {
    auto it = peers_.find(socket);
    if (it == peers_.end())
        return;
    spool_.End(it->second.spoolId, ending, NowMs());
    if (it->second.held)
        held_.erase(std::find(held_.begin(), held_.end(), socket));
    peers_.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    AcceptAgainWhenRoom();
}

void ReportListener::AcceptAgainWhenRoom() {
    if (!accepting_ || static_cast<int>(peers_.size()) >= limits_.maxConnections)
        return;
    for (const auto& s : servers_) {
        s->resumeAccepting();
        // The one that waited is taken from the event loop, not from inside a close.
        if (s->hasPendingConnections())
            QMetaObject::invokeMethod(
                this, [this, server = s.get()] { Guarded([this, server] { Accept(server); }); },
                Qt::QueuedConnection);
    }
}

void ReportListener::CloseAll(Ending ending) {
    std::vector<QTcpSocket*> open;
    for (const auto& [socket, peer] : peers_)
        open.push_back(socket);
    for (QTcpSocket* socket : open) {
        Read(socket, true);
        Close(socket, ending);
    }
}

void ReportListener::Resume() {
    while (!held_.empty() && !spool_.Congested()) {
        QTcpSocket* socket = held_.front();
        held_.pop_front();
        Peer& peer = peers_.at(socket);
        peer.held = false;
        if (!ReadPiece(socket, peer))
            continue;
        if (socket->bytesAvailable() > 0) {
            held_.push_back(socket);
            peer.held = true;
        } else if (peer.peerClosed) {
            Close(socket, Ending::Closed);
        }
    }
    if (!held_.empty())
        spool_.WantRelief();
}

void ReportListener::Sweep() {
    const qint64 now = NowMs();
    std::vector<QTcpSocket*> idle;
    for (const auto& [socket, peer] : peers_)
        if (!peer.held && now - peer.lastActivityMs > int64_t{limits_.idleTimeoutS} * 1000)
            idle.push_back(socket);
    for (QTcpSocket* socket : idle)
        Close(socket, Ending::IdleTimeout);
    // A relief that came while nothing was held, or one missed: read on anyway.
    if (!spool_.Congested())
        Resume();
}

} // namespace collector
