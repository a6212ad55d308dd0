#pragma once
// The TCP server that receives the loggers' GPRS report stream (WSlisten and WSclient of the
// main window). It listens on all local addresses (or the one it is given), only receives, and
// reads every connection it accepts to its end, each through a report parser of its own: a second
// sender (a second logger in the same minute, a port scanner) never cuts the report of the first,
// whose logger counts what it sent as delivered. A peer that falls silent is closed after a
// while, and senders outside the allowed ranges are closed unread. Everything runs on the UI
// thread through Qt's socket notifications, in slices of work of a few milliseconds: a report
// of millions of items never holds the window for longer.
#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "base/FormatSettings.h"
#include "base/Result.h"
#include "net/PeerAddresses.h"
#include "records/ReportParser.h"

class QTcpSocket;

class ReportServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 4000;
    static constexpr int ListenBacklog = 5;
    // Connections served at once; one beyond is closed at once, before anything is read from
    // it, so that nobody can take all of the console's file descriptors.
    static constexpr int DefaultPeerLimit = 64;
    // A peer that sends nothing for this long is closed: a sender that never closes (a logger
    // whose link died without a word, a scanner that holds the port) must not keep its
    // connection, and a place among the peers served, for good.
    static constexpr std::chrono::milliseconds DefaultIdleTimeout = std::chrono::seconds(120);
    // How long one read of the peers' bytes may parse before the event loop has its turn.
    static constexpr std::chrono::milliseconds DefaultReadSlice{8};

    using Item = std::span<const uint8_t, ReportParser::ItemSize>;

    // What the server needs of the main window and the link module.
    struct Hooks {
        std::function<void(Item)> reportItem;              // an item completed on a connection
        std::function<int64_t()> reportItemCount;          // ReportItemCount
        std::function<void(const QString&)> stateText;     // SocketStateLabel
        std::function<void(const QString&)> countText;     // CntLabel
        std::function<void(const QString&)> peerConnected; // a peer's address, once accepted
        // True while the bytes should wait where they are (the archive is behind): the server
        // reads on a moment later, and the peers' own TCP flow control holds their sending.
        std::function<bool()> holdBack;
        // A sender outside the allowed ranges was closed unread (RefusedPeers, RefusedHint).
        std::function<void()> peerRefused;
    };

    explicit ReportServer(Hooks hooks, QObject* parent = nullptr);
    // Closes everything without reporting to the window, which may be going away.
    ~ReportServer() override;

    // Port to listen on at the next Run; 0 lets the system choose (tests).
    void SetPort(quint16 port) { port_ = port; }
    // The port listened on while listening, else the port set.
    quint16 Port() const;
    void SetPeerLimit(int peers) { peerLimit_ = peers; }
    // Address to listen on at the next Run: IPv4 or IPv6 (:: takes both); null for 0.0.0.0.
    void SetListenAddress(const QHostAddress& address) { listenAddress_ = address; }
    // Senders taken from the next connection on; everyone by default.
    void SetAllowedPeers(AllowedPeers peers) { allowed_ = std::move(peers); }
    // How long a peer may send nothing before it is closed; counted from its next byte (or its
    // accept) on.
    void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
    // How long one read may parse (0: one block of bytes, then the event loop; tests).
    void SetReadSlice(std::chrono::milliseconds slice) { readSlice_ = slice; }

    // RunServerBtnClick: listen on the address set (0.0.0.0 by default) with backlog 5, then
    // "Listen". Fails with "Socket error <errno> in function <socket|setsockopt|bind|listen>:
    // <text>", the state text unchanged. Does nothing while already listening.
    void Run();
    // StopServerBtnClick: read what the peers sent, close them ("Disconnected / Listen"), the
    // listener, then "Idle".
    void Stop();

    bool Listening() const { return listener_.isListening(); }
    bool Serving() const { return !connections_.empty(); }
    int Peers() const { return static_cast<int>(connections_.size()); }
    // ServerByteCount: bytes received on the newest connection still open; once all are closed,
    // on the last one, until the next is accepted.
    int64_t ByteCount() const;
    // Senders refused since the server was made, and "Last refused: <address> on <date> at
    // <time>" for the last of them ("" before the first).
    int RefusedPeers() const { return refused_; }
    QString RefusedHint(const FormatSettings& fs) const;

private:
    struct Connection;
    using ConnectionPtr = std::shared_ptr<Connection>;

    void SessionAvailable();                    // WSlistenSessionAvailable
    void DataAvailable(const ConnectionPtr& c); // WSclientDataAvailable
    void SessionClosed(const ConnectionPtr& c); // WSclientSessionClosed, closed by the peer
    void Accept(QTcpSocket* socket);
    // Parses and counts every byte the connection's socket holds; the first failure of the
    // parser is returned once all bytes are through, so no byte is lost or reordered by it. With
    // `mayWait` it stops while holdBack says so and reads on after a moment, and at the end of
    // the read slice, to read on at the next pass of the event loop.
    [[nodiscard]] Result<void> Drain(const ConnectionPtr& c, bool mayWait = false);
    // Reads what is left, closes the connection and shows the state of the newest one left.
    [[nodiscard]] Result<void> Close(const ConnectionPtr& c);
    void Forget(const ConnectionPtr& c);
    void Refuse(QTcpSocket* socket, const QString& address);
    // Closes the peers silent for the idle timeout and sets the check for the next one due.
    void CloseIdlePeers();
    void ArmIdleCheck();
    void ShowState(const QString& text);
    // "Connected with <peer>" of the newest connection, or "Disconnected / Listen".
    void ShowNewestState();

    Hooks hooks_;
    quint16 port_ = DefaultPort;
    int peerLimit_ = DefaultPeerLimit;
    QHostAddress listenAddress_;
    AllowedPeers allowed_;
    std::chrono::milliseconds idleTimeout_ = DefaultIdleTimeout;
    std::chrono::milliseconds readSlice_ = DefaultReadSlice;
    QTcpServer listener_;
    std::vector<ConnectionPtr> connections_; // in the order accepted, the newest last
    int64_t closedBytes_ = 0;                // of the last connection, once none is open
    QTimer readOn_;                          // after holding back or a read slice
    QTimer idleCheck_;                       // when the next peer falls due for silence
    int refused_ = 0;
    QString lastRefused_;
    QDateTime lastRefusedAt_;
};
