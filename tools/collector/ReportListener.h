#pragma once
// The collector's TCP side: it listens on every --listen address and takes many loggers at once
// on Qt's event loop (no thread per connection). Every byte goes to the spool as it comes; a
// connection is one report, complete when the logger closes it. Bounds: a connection silent for
// the idle timeout is closed, one that sends more than the largest report is cut there, and at
// most maxConnections are open (further loggers wait in the listen queue). While the spool is
// behind, nothing is read: the bytes wait in the loggers' TCP connections, and the connections
// held back are read again in turn, a piece each, so that none waits for long while others go on.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include "base/Result.h"
#include "tools/collector/SpoolWriter.h"

class QTcpServer;
class QTcpSocket;

namespace collector {

struct ListenAddress {
    QHostAddress address{QHostAddress::Any};
    quint16 port = 4000;
};

struct ListenerLimits {
    int idleTimeoutS = 120;
    int64_t maxReport = int64_t{64} << 20;
    int maxConnections = 4096;
};

class ReportListener : public QObject {
    Q_OBJECT
public:
    ReportListener(const ListenerLimits& limits, SpoolWriter& spool, QObject* parent = nullptr);
    ~ReportListener() override;

    Result<void> Listen(const std::vector<ListenAddress>& addresses);
    // The ports listened on, in the order given (a port 0 becomes the one the system chose).
    std::vector<quint16> Ports() const;

    // Stops taking connections; open ones go on.
    void StopAccepting();
    int Open() const { return static_cast<int>(peers_.size()); }
    // Closes every open connection as ending.
    void CloseAll(Ending ending);
    // The spool caught up: read what was held back, in turn.
    void Resume();

private:
    struct Peer {
        int64_t spoolId = 0;
        int64_t bytes = 0;
        qint64 lastActivityMs = 0;
        bool held = false;       // bytes wait because the spool is behind
        bool peerClosed = false; // to be closed once its bytes are in
    };

    void Accept(QTcpServer* server);
    // With `evenIfBehind` the bytes go to the spool even while it is behind (at the end, when
    // the connection is closed anyway).
    void Read(QTcpSocket* socket, bool evenIfBehind = false);
    // One piece of at most 64 KiB into the spool; false when that closed the connection (cut).
    bool ReadPiece(QTcpSocket* socket, Peer& peer);
    // Waits for its turn, behind those held back before.
    void Hold(QTcpSocket* socket, Peer& peer);
    void PeerClosed(QTcpSocket* socket);
    void Close(QTcpSocket* socket, Ending ending);
    void Sweep();
    void AcceptAgainWhenRoom();

    ListenerLimits limits_;
    SpoolWriter& spool_;
    std::vector<std::unique_ptr<QTcpServer>> servers_;
    std::unordered_map<QTcpSocket*, Peer> peers_;
    std::deque<QTcpSocket*> held_; // in the order they were held back
    bool resumeQueued_ = false;
    bool accepting_ = true;
    QTimer sweep_;
};

} // namespace collector
