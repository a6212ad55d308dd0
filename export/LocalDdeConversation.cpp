#include "export/LocalDdeConversation.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "base/FileLocations.h"

namespace {

// How long close() waits for the service to confirm the end of the conversation.
constexpr int CloseWaitMs = 1000;
// Pause between connection attempts while a started service comes up.
constexpr int RetryPauseMs = 50;

bool IsReply(dde::MessageKind k) {
    return k == dde::MessageKind::Data || k == dde::MessageKind::NoReply ||
           k == dde::MessageKind::Accepted || k == dde::MessageKind::Refused ||
           k == dde::MessageKind::Closed;
}

} // namespace

LocalDdeConversation::LocalDdeConversation(QObject* parent) : QObject(parent) {}

LocalDdeConversation::~LocalDdeConversation() {
    onOpen = nullptr;
    onClose = nullptr;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        delete socket_;
    }
}

QString LocalDdeConversation::FindProgram(const QString& name) {
    if (name.isEmpty())
        return {};
    const auto runnable = [](const QString& path) {
        const QFileInfo fi(path);
        return fi.isFile() && fi.isExecutable();
    };
    // A bare name is never taken from the working folder.
    if (name.contains('/'))
        return runnable(name) ? QFileInfo(name).absoluteFilePath() : QString();
    const QString beside = ImpixPath(Place::Programs, name);
    if (runnable(beside))
        return beside;
    return QStandardPaths::findExecutable(name);
}

void LocalDdeConversation::setService(const QString& service) {
    endConversation(false);
    service_ = service;
}

void LocalDdeConversation::setTopic(const QString& topic) {
    endConversation(false);
    topic_ = topic;
}

bool LocalDdeConversation::sessionUp() const {
    return socket_ && socket_->state() == QLocalSocket::ConnectedState && !decoder_.failed();
}

void LocalDdeConversation::endConversation(bool waitClosed) {
    dispatch();
    if (!open_)
        return;
    if (!lost_ && sessionUp()) {
        dde::Message m;
        m.kind = dde::MessageKind::Close;
        if (waitClosed)
            transact(m, std::min(CloseWaitMs, replyTimeoutMs_));
        else {
            // Replies come in order: whatever answers this Close is dropped by its seq.
            m.seq = takeSeq();
            sendAll(m);
        }
    }
    open_ = false;
    lost_ = false;
    busy_ = false;
    if (onClose)
        onClose();
}

void LocalDdeConversation::close() {
    endConversation(true);
    dropSocket();
}

bool LocalDdeConversation::open() {
    dispatch(); // a conversation the service ended reports its close before a new one opens
    if (open_)
        return true;
    lastError_.clear();
    if (!ensureSession())
        return false;
    dde::Message m;
    m.kind = dde::MessageKind::Connect;
    m.a = service_;
    m.b = topic_;
    const std::optional<dde::Message> reply = transact(m, replyTimeoutMs_);
    if (!reply)
        return false;
    if (reply->kind != dde::MessageKind::Accepted) {
        lastError_ = QStringLiteral("The service %1 refused the topic %2").arg(service_, topic_);
        if (!reply->a.isEmpty())
            lastError_ += QStringLiteral(": ") + reply->a;
        return false;
    }
    open_ = true;
    lost_ = false;
    busy_ = false;
    if (onOpen)
        onOpen();
    return true;
}

bool LocalDdeConversation::ensureSession() {
    if (sessionUp() && socketService_ == service_)
        return true;
    dropSocket();
    const QString folder = dde::SocketFolder();
    const QString unfit = dde::PrepareSocketFolder(folder);
    if (!unfit.isEmpty()) {
        lastError_ = unfit;
        return false;
    }
    if (connectSocket())
        return true;
    if (program_.isEmpty()) {
        lastError_ = QStringLiteral("No service %1 answers").arg(service_);
        return false;
    }
    const QString program = FindProgram(program_);
    if (program.isEmpty()) {
        lastError_ = QStringLiteral("No service %1 answers, and the program %2 is not found")
                         .arg(service_, program_);
        return false;
    }
    if (!QProcess::startDetached(program, {})) {
        lastError_ = QStringLiteral("The program %1 cannot be started").arg(program);
        return false;
    }
    const QDeadlineTimer deadline(startTimeoutMs_);
    while (!deadline.hasExpired()) {
        QThread::msleep(RetryPauseMs);
        if (connectSocket())
            return true;
    }
    lastError_ = QStringLiteral("The program %1 was started, but no service %2 answers")
                     .arg(program, service_);
    return false;
}

bool LocalDdeConversation::connectSocket() {
    auto* s = new QLocalSocket;
    s->connectToServer(dde::SocketPath(service_));
    if (!s->waitForConnected(std::min(1000, replyTimeoutMs_))) {
        s->abort();
        delete s;
        return false;
    }
    socket_ = s;
    socketService_ = service_;
    decoder_ = dde::Decoder();
    inbox_.clear();
    connect(s, &QLocalSocket::readyRead, this, &LocalDdeConversation::onReadyRead);
    connect(s, &QLocalSocket::disconnected, this, &LocalDdeConversation::onDisconnected);
    return true;
}

void LocalDdeConversation::dropSocket() {
    if (!socket_)
        return;
    // The socket may be in the middle of one of its own signals: let the event loop free it.
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
    socketService_.clear();
    inbox_.clear();
}

bool LocalDdeConversation::busy() const {
    // A completion notice that never comes must not hold the conversation forever.
    return busy_ && !busyUntil_.hasExpired();
}

bool LocalDdeConversation::canTransact() {
    if (!isOpen() || !sessionUp()) {
        lastError_ = QStringLiteral("No conversation is open");
        return false;
    }
    if (busy()) {
        lastError_ = QStringLiteral("The conversation is busy");
        return false;
    }
    busy_ = false;
    return true;
}

std::optional<QString> LocalDdeConversation::request(const QString& item) {
    if (!canTransact())
        return std::nullopt;
    dde::Message m;
    m.kind = dde::MessageKind::Request;
    m.a = item;
    const std::optional<dde::Message> reply = transact(m, replyTimeoutMs_);
    if (!reply || reply->kind != dde::MessageKind::Data)
        return std::nullopt;
    return reply->a;
}

bool LocalDdeConversation::poke(const QString& item, const QStringList& lines) {
    if (!canTransact())
        return false;
    dde::Message m;
    m.kind = dde::MessageKind::Poke;
    m.a = item;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    m.b.reserve(size);
    for (const QString& line : lines) {
        m.b += line;
        m.b += QLatin1String("\r\n");
    }
    const std::optional<dde::Message> reply = transact(std::move(m), replyTimeoutMs_);
    return reply && reply->kind == dde::MessageKind::Accepted;
}

bool LocalDdeConversation::execute(const QString& command, bool wait) {
    if (!canTransact())
        return false;
    dde::Message m;
    m.kind = dde::MessageKind::Execute;
    m.a = command;
    m.wait = wait;
    const uint32_t seq = nextSeq_;
    const std::optional<dde::Message> reply = transact(std::move(m), replyTimeoutMs_);
    if (!reply || reply->kind != dde::MessageKind::Accepted)
        return false;
    if (wait) {
        busy_ = true;
        busySeq_ = seq;
        busyUntil_ = QDeadlineTimer(replyTimeoutMs_);
    }
    return true;
}

uint32_t LocalDdeConversation::takeSeq() {
    const uint32_t seq = nextSeq_++;
    if (nextSeq_ == 0) // 0 marks the service's unasked messages
        nextSeq_ = 1;
    return seq;
}

std::optional<dde::Message> LocalDdeConversation::transact(dde::Message m, int timeoutMs) {
    m.seq = takeSeq();
    std::optional<dde::Message> reply;
    // The time for the reply starts once the message is out: a big block takes a while.
    if (sendAll(m))
        reply = awaitReply(m.seq, m.kind, QDeadlineTimer(timeoutMs));
    if (!reply && lastError_.isEmpty())
        lastError_ = QStringLiteral("No reply from the service %1").arg(service_);
    if (!inbox_.empty() || lost_)
        scheduleDispatch();
    return reply;
}

bool LocalDdeConversation::sendAll(const dde::Message& m) {
    if (!sessionUp())
        return false;
    const QByteArray bytes = dde::Encode(m);
    if (uint64_t(bytes.size()) - 4 > dde::MaxMessageBytes) {
        // The service would end the session over it; refuse it here and keep the session.
        lastError_ =
            QStringLiteral("The message of %1 bytes is too long for the service").arg(bytes.size());
        return false;
    }
    const bool wasWaiting = waiting_;
    waiting_ = true;
    socket_->write(bytes);
    // Gives up when the service takes nothing for as long as a reply may take.
    while (sessionUp() && socket_->bytesToWrite() > 0 &&
           socket_->waitForBytesWritten(replyTimeoutMs_)) {
    }
    waiting_ = wasWaiting;
    if (sessionUp() && socket_->bytesToWrite() == 0)
        return true;
    lastError_ = QStringLiteral("The message could not be sent to the service %1").arg(service_);
    return false;
}

std::optional<dde::Message> LocalDdeConversation::awaitReply(uint32_t seq, dde::MessageKind asked,
                                                             const QDeadlineTimer& deadline) {
    const bool wasWaiting = waiting_;
    waiting_ = true;
    std::optional<dde::Message> reply;
    for (;;) {
        readIncoming();
        for (auto it = inbox_.begin(); it != inbox_.end();) {
            if (IsReply(it->kind) && it->seq == seq) {
                reply = std::move(*it);
                inbox_.erase(it);
                break;
            }
            const bool unasked = it->kind == dde::MessageKind::Completed ||
                                 (it->kind == dde::MessageKind::Closed && it->seq == 0);
            // Before the answer to a Connect, the service's notices concern an older
            // conversation.
            if (unasked && asked != dde::MessageKind::Connect)
                ++it;
            else
                it = inbox_.erase(it);
        }
        if (reply || !sessionUp() || deadline.hasExpired())
            break;
        socket_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    waiting_ = wasWaiting;
    if (!reply && !sessionUp())
        markLost(decoder_.failed() ? decoder_.error()
                                   : QStringLiteral("The service %1 went away").arg(service_));
    else if (!reply)
        lastError_ = QStringLiteral("No reply from the service %1 in time").arg(service_);
    return reply;
}

void LocalDdeConversation::readIncoming() {
    if (!socket_)
        return;
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty())
        return;
    decoder_.feed(bytes);
    while (std::optional<dde::Message> m = decoder_.next())
        inbox_.push_back(std::move(*m));
}

void LocalDdeConversation::onReadyRead() {
    readIncoming();
    if (decoder_.failed())
        markLost(decoder_.error());
    if (!waiting_)
        dispatch();
}

void LocalDdeConversation::onDisconnected() {
    readIncoming();
    markLost(QStringLiteral("The service %1 went away").arg(service_));
    if (!waiting_)
        dispatch();
}

void LocalDdeConversation::markLost(const QString& why) {
    lastError_ = why;
    if (open_)
        lost_ = true;
    busy_ = false;
}

void LocalDdeConversation::scheduleDispatch() {
    if (dispatchQueued_)
        return;
    dispatchQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            dispatchQueued_ = false;
            dispatch();
        },
        Qt::QueuedConnection);
}

void LocalDdeConversation::dispatch() {
    if (waiting_)
        return;
    while (!inbox_.empty()) {
        const dde::Message m = std::move(inbox_.front());
        inbox_.pop_front();
        if (m.kind == dde::MessageKind::Completed && busy_ && m.seq == busySeq_)
            busy_ = false;
        else if (m.kind == dde::MessageKind::Closed && m.seq == 0 && open_)
            lost_ = true;
        // Anything else answers a transaction that is no longer waited for.
    }
    if (socket_ && !sessionUp()) {
        if (open_)
            lost_ = true;
        dropSocket();
    }
    if (lost_) {
        open_ = false;
        lost_ = false;
        busy_ = false;
        if (onClose)
            onClose();
    }
}
