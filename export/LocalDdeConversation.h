#pragma once
// The client conversation over the local service sockets (see DdeProtocol.h). One socket is the
// session with a service; conversations open and close on it. The session stays up when the
// service or topic changes, because the service closes the workbooks a session opened when its
// socket goes; only close() and destruction end it.
//
// Transactions wait for their reply by running the event queue, so the window, the serial link
// and the report server are served meanwhile; one transaction runs at a time. Replies are matched
// by seq; the late reply of a transaction that timed out is dropped. Completion notices and the
// service's own end of a conversation, whether read during a wait or arriving later, are acted
// on in the next round of the event queue.
//
// A service that owes a reply and has not been heard (no reply, no byte taken of what is sent)
// for the silence limit is not responding: the session is given up, and a service that this
// conversation started is ended, so that the next open starts a fresh one.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <cstdint>
#include <deque>
#include <optional>

#include "export/DdeConversation.h"
#include "protocol/DdeProtocol.h"

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
    Result<void> open() override;
    void close() override;
    bool isOpen() const override { return open_ && !lost_; }
    Result<QString> request(const QString& item) override;
    Result<void> poke(const QString& item, const QByteArray& rows) override;
    Result<void> execute(const QString& command, bool wait) override;
    bool busy() const override;
    bool notResponding() const override { return notResponding_; }
    std::optional<QString> serviceLost() const override { return serviceLost_; }

    // Longest wait for the reply to a request or an open (10 s), for a started service to
    // answer (5 s), and the longest silence of a service that owes a reply (30 s), which is
    // also how long a command or a block may take; tests shorten them.
    void setReplyTimeout(int ms) { replyTimeoutMs_ = ms; }
    void setStartTimeout(int ms) { startTimeoutMs_ = ms; }
    void setSilenceLimit(int ms) { silenceLimitMs_ = ms; }

    // The program a service application name stands for: a path as given, else the program
    // folder's file of that name, else one found on PATH. Empty when there is none.
    static QString FindProgram(const QString& name);

private:
    // Ends the open conversation (a Close message, the session stays) and fires the close event.
    void endConversation(bool waitClosed);
    Result<void> ensureSession();
    bool connectSocket();
    void dropSocket();
    uint32_t takeSeq();
    // Sends one transaction and waits for its reply, for at most timeoutMs (negative: as long
    // as the service is not silent past its limit).
    std::optional<dde::Message> transact(dde::Message m, int timeoutMs);
    // Sends the bytes of transaction `seq` and waits for its reply.
    std::optional<dde::Message> exchange(const QList<QByteArray>& bytes, uint32_t seq,
                                         dde::MessageKind kind, int timeoutMs);
    bool sendAll(const QList<QByteArray>& bytes);
    std::optional<dde::Message> awaitReply(uint32_t seq, dde::MessageKind asked,
                                           const QDeadlineTimer& deadline);
    // Runs the event queue until something happens or `ms` pass.
    static void waitForEvents(qint64 ms);
    // How long the service has owed a reply without being heard; 0 when it owes none.
    qint64 silentMs() const;
    bool silenceOver();
    void endStartedService();
    bool sessionUp() const;
    bool canTransact();
    // Whether the reply accepts the transaction, or why not (a refusal with the service's reason).
    Result<void> accepted(const std::optional<dde::Message>& reply);
    // The failure of the open or transaction in progress, as far as it has been told.
    tl::unexpected<Error> failed() const;
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
    // Why the open or transaction in progress failed, as far as it has been told.
    QString lastError_;
    int replyTimeoutMs_ = 10000;
    int startTimeoutMs_ = 5000;
    int silenceLimitMs_ = 30000;
    int owed_ = 0;        // messages sent whose reply has not come
    QElapsedTimer heard_; // since the service was last heard while it owed a reply
    bool notResponding_ = false;
    std::optional<QString> serviceLost_;
    qint64 startedPid_ = 0; // the service this conversation started, and when it started
    QByteArray startedStamp_;
};
