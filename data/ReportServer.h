#pragma once
// The TCP server that receives the loggers' GPRS report stream (WSlisten and WSclient of the
// main window). It listens on all local addresses, serves one peer at a time (a new connection
// replaces the current one), only receives, and hands every byte in order to the report parser.
// Everything runs on the UI thread through Qt's socket notifications.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <cstdint>
#include <exception>
#include <functional>

class QTcpSocket;

class ReportServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 4000;
    static constexpr int ListenBacklog = 5;

    // What the server needs of the main window and the link module.
    struct Hooks {
        std::function<void(uint8_t)> parseByte;            // ParseReportByte
        std::function<void()> resetParser;                 // ResetReportParser
        std::function<int64_t()> reportItemCount;          // ReportItemCount
        std::function<void(const QString&)> stateText;     // SocketStateLabel
        std::function<void(const QString&)> countText;     // CntLabel
        std::function<void(const QString&)> peerConnected; // a peer's address, once accepted
        // True while the bytes should wait where they are (the archive is behind): the server
        // reads on a moment later, and the peer's own TCP flow control holds its sending.
        std::function<bool()> holdBack;
    };

    explicit ReportServer(Hooks hooks, QObject* parent = nullptr);
    // Closes everything without reporting to the window, which may be going away.
    ~ReportServer() override;

    // Port to listen on at the next Run; 0 lets the system choose (tests).
    void SetPort(quint16 port) { port_ = port; }
    // The port listened on while listening, else the port set.
    quint16 Port() const;

    // RunServerBtnClick: listen on 0.0.0.0 with backlog 5, then "Listen". Fails with "Socket
    // error <errno> in function <socket|bind|listen>: <text>", the state text unchanged.
    // Does nothing while already listening.
    void Run();
    // StopServerBtnClick: close the peer ("Disconnected / Listen"), the listener, then "Idle".
    void Stop();

    bool Listening() const { return listener_.isListening(); }
    bool Serving() const { return !peer_.isNull(); }
    // ServerByteCount: bytes received on the current connection.
    int64_t ByteCount() const { return byteCount_; }

private:
    void SessionAvailable();    // WSlistenSessionAvailable
    void DataAvailable();       // WSclientDataAvailable
    void ClientSessionClosed(); // WSclientSessionClosed, closed by the peer
    // Parses and counts every byte the peer's socket holds; the first failure of the parser is
    // returned once all bytes are through, so no byte is lost or reordered by it. With `mayWait`
    // it stops while holdBack says so and reads on after a moment.
    std::exception_ptr Drain(bool mayWait = false);
    // Closes the peer, reporting it as the session-closed handler does.
    std::exception_ptr ClosePeer();
    void Forget(QTcpSocket* socket);
    void ShowState(const QString& text);

    Hooks hooks_;
    quint16 port_ = DefaultPort;
    QTcpServer listener_;
    QPointer<QTcpSocket> peer_;
    int64_t byteCount_ = 0;
    QTimer readOn_; // after holding back
};
