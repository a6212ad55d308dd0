#pragma once
// The client conversation over the local service sockets (see DdeProtocol.h). One socket is the
// session with a service; conversations open and close on it. The session stays up when the
// service or topic changes, because the service closes the workbooks a session opened when its
// socket goes; only close() and destruction end it.
//
// Transactions wait for their reply on the socket itself (no nested event loop). Replies are
// matched by seq; the late reply of a transaction that timed out is dropped. Completion notices
// and the service's own end of a conversation, whether read during a wait or arriving later, are
// acted on in the next round of the event queue.
#include <QDeadlineTimer>
#include <QObject>
#include <cstdint>
#include <deque>
#include <optional>

#include "export/DdeConversation.h"
#include "export/DdeProtocol.h"

class QLocalSocket;

class LocalDdeConversation : public QObject, public DdeConversation {
    Q_OBJECT
public:
    explicit LocalDdeConversation(QObject* parent = nullptr);
    ~LocalDdeConversation() override;

    void setService(const QString& service) override;
    void setTopic(const QString& topic) override;
    QString service() const override { return service_; }
    QString topic() const override { return topic_; }
    void setServiceApplication(const QString& program) override { program_ = program; }
    QString serviceApplication() const override { return program_; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return open_ && !lost_; }
    std::optional<QString> request(const QString& item) override;
    bool poke(const QString& item, const QStringList& lines) override;
    bool execute(const QString& command, bool wait) override;
    bool busy() const override;
    QString lastError() const override { return lastError_; }

    // Longest wait for a reply (10 s), and for a started service to answer (5 s); tests
    // shorten them.
    void setReplyTimeout(int ms) { replyTimeoutMs_ = ms; }
    void setStartTimeout(int ms) { startTimeoutMs_ = ms; }

    // The program a service application name stands for: a path as given, else the program
    // folder's file of that name, else one found on PATH. Empty when there is none.
    static QString FindProgram(const QString& name);

private:
    // Ends the open conversation (a Close message, the session stays) and fires the close event.
    void endConversation(bool waitClosed);
    bool ensureSession();
    bool connectSocket();
    void dropSocket();
    uint32_t takeSeq();
    // Sends one transaction and waits for its reply.
    std::optional<dde::Message> transact(dde::Message m, int timeoutMs);
    bool sendAll(const dde::Message& m);
    std::optional<dde::Message> awaitReply(uint32_t seq, dde::MessageKind asked,
                                           const QDeadlineTimer& deadline);
    bool sessionUp() const;
    bool canTransact();
    void readIncoming();
    void onReadyRead();
    void onDisconnected();
    void markLost(const QString& why);
    // Acts on the kept unasked messages and a lost conversation; may fire the close event.
    void dispatch();
    void scheduleDispatch();

    QString service_;
    QString topic_;
    QString program_;
    QLocalSocket* socket_ = nullptr;
    QString socketService_;
    dde::Decoder decoder_;
    std::deque<dde::Message> inbox_;
    uint32_t nextSeq_ = 1;
    bool open_ = false;
    bool lost_ = false;
    bool busy_ = false;
    uint32_t busySeq_ = 0;
    QDeadlineTimer busyUntil_;
    bool waiting_ = false;
    bool dispatchQueued_ = false;
    QString lastError_;
    int replyTimeoutMs_ = 10000;
    int startTimeoutMs_ = 5000;
};
