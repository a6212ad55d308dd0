#include "export/LocalDdeConversation.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <csignal>

#include "base/FileLocations.h"

namespace {

// How long close() waits for the service to confirm the end of the conversation.
constexpr int CloseWaitMs = 1000;
// Pause between connection attempts while a started service comes up.
constexpr int RetryPauseMs = 50;
// The time for a reply that only the service's silence limits (a command, a block).
constexpr int UntilSilent = -1;
// Bytes handed to the socket at a time.
constexpr qsizetype WriteSliceBytes = 1 << 20;

bool IsReply(dde::MessageKind k) {
    return k == dde::MessageKind::Data || k == dde::MessageKind::NoReply ||
           k == dde::MessageKind::Accepted || k == dde::MessageKind::Refused ||
           k == dde::MessageKind::Closed;
}

// What tells a process apart from a later one with the same pid: its start time, field 22 of
// /proc/<pid>/stat (counted after the command name, which may hold blanks). Empty when gone.
QByteArray ProcessStamp(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(19);
}

// The service's refusal, its reason (if any) after the text and kept as the refusal.
tl::unexpected<Error> Refused(const QString& text, const QString& reason) {
    Error e;
    e.text = reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
    e.refusal = reason;
    return tl::unexpected(std::move(e));
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
        dde::Message m{.kind = dde::MessageKind::Close};
        if (waitClosed)
            transact(m, std::min(CloseWaitMs, replyTimeoutMs_));
        else {
            // Replies come in order: whatever answers this Close is dropped by its seq.
            m.seq = takeSeq();
            sendAll({dde::Encode(m)});
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

Result<void> LocalDdeConversation::open() {
    dispatch(); // a conversation the service ended reports its close before a new one opens
    if (open_)
        return {};
    lastError_.clear();
    serviceLost_.reset();
    if (Result<void> up = ensureSession(); !up)
        return up;
    const std::optional<dde::Message> reply =
        transact({.kind = dde::MessageKind::Connect, .a = service_, .b = topic_}, replyTimeoutMs_);
    if (!reply)
        return failed();
    if (reply->kind != dde::MessageKind::Accepted)
        return Refused(QStringLiteral("The service %1 refused the topic %2").arg(service_, topic_),
                       reply->a);
    open_ = true;
    lost_ = false;
    busy_ = false;
    if (onOpen)
        onOpen();
    return {};
}

Result<void> LocalDdeConversation::ensureSession() {
    if (sessionUp() && socketService_ == service_)
        return {};
    dropSocket();
    const QString folder = dde::SocketFolder();
    if (Result<void> fit = dde::PrepareSocketFolder(folder); !fit)
        return fit;
    if (connectSocket())
        return {};
    if (program_.isEmpty())
        return Fail(QStringLiteral("No service %1 answers").arg(service_));
    const QString program = FindProgram(program_);
    if (program.isEmpty())
        return Fail(QStringLiteral("No service %1 answers, and the program %2 is not found")
                        .arg(service_, program_));
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, {}, &pid))
        return Fail(QStringLiteral("The program %1 cannot be started").arg(program));
    startedPid_ = pid;
    startedStamp_ = ProcessStamp(pid);
    const QDeadlineTimer deadline(startTimeoutMs_);
    while (!deadline.hasExpired()) {
        waitForEvents(RetryPauseMs);
        if (connectSocket())
            return {};
    }
    return Fail(QStringLiteral("The program %1 was started, but no service %2 answers")
                    .arg(program, service_));
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
    owed_ = 0;
    notResponding_ = false;
    serviceLost_.reset();
    connect(s, &QLocalSocket::readyRead, this, &LocalDdeConversation::onReadyRead);
    connect(s, &QLocalSocket::disconnected, this, &LocalDdeConversation::onDisconnected);
    // The service taking what is sent counts as being heard.
    connect(s, &QLocalSocket::bytesWritten, this, [this] { heard_.restart(); });
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
    lastError_.clear();
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

Result<QString> LocalDdeConversation::request(const QString& item) {
    if (!canTransact())
        return failed();
    const std::optional<dde::Message> reply =
        transact({.kind = dde::MessageKind::Request, .a = item}, replyTimeoutMs_);
    if (!reply)
        return failed();
    // A refused request is only an item the service does not have: no reason is kept for it.
    if (reply->kind != dde::MessageKind::Data)
        return Fail(QStringLiteral("The service %1 has no item %2").arg(service_, item));
    return reply->a;
}

Result<void> LocalDdeConversation::poke(const QString& item, const QByteArray& rows) {
    if (!canTransact())
        return failed();
    const qsizetype head = dde::EncodePokeHead(0, item, 0).size() - 4;
    if (uint64_t(head) + uint64_t(rows.size()) > dde::MaxMessageBytes)
        // The service would end the session over it; refuse it here and keep the session.
        return Fail(
            QStringLiteral("The block of %1 bytes is too long for the service").arg(rows.size()));
    // A block may be many megabytes: sent after its head, never copied into one message.
    const uint32_t seq = takeSeq();
    const std::optional<dde::Message> reply =
        exchange({dde::EncodePokeHead(seq, item, uint32_t(rows.size())), rows}, seq,
                 dde::MessageKind::Poke, UntilSilent);
    return accepted(reply);
}

Result<void> LocalDdeConversation::execute(const QString& command, bool wait) {
    if (!canTransact())
        return failed();
    const uint32_t seq = nextSeq_;
    // The reply comes once the command is done: a save of a big workbook takes a while.
    if (Result<void> done = accepted(
            transact({.kind = dde::MessageKind::Execute, .a = command, .wait = wait}, UntilSilent));
        !done)
        return done;
    if (wait) {
        busy_ = true;
        busySeq_ = seq;
        busyUntil_ = QDeadlineTimer(replyTimeoutMs_);
    }
    return {};
}

Result<void> LocalDdeConversation::accepted(const std::optional<dde::Message>& reply) {
    if (!reply)
        return failed();
    if (reply->kind == dde::MessageKind::Accepted)
        return {};
    if (reply->kind != dde::MessageKind::Refused)
        return Fail(QStringLiteral("The service %1 did not accept it").arg(service_));
    return Refused(QStringLiteral("The service %1 refused it").arg(service_), reply->a);
}

tl::unexpected<Error> LocalDdeConversation::failed() const {
    return Fail(lastError_.isEmpty() ? QStringLiteral("No reply from the service %1").arg(service_)
                                     : lastError_);
}

uint32_t LocalDdeConversation::takeSeq() {
    const uint32_t seq = nextSeq_++;
    if (nextSeq_ == 0) // 0 marks the service's unasked messages
        nextSeq_ = 1;
    return seq;
}

std::optional<dde::Message> LocalDdeConversation::transact(dde::Message m, int timeoutMs) {
    m.seq = takeSeq();
    return exchange({dde::Encode(m)}, m.seq, m.kind, timeoutMs);
}

std::optional<dde::Message> LocalDdeConversation::exchange(const QList<QByteArray>& bytes,
                                                           uint32_t seq, dde::MessageKind kind,
                                                           int timeoutMs) {
    if (waiting_) {
        // An event handler run during a wait: the transaction in progress comes first.
        lastError_ = QStringLiteral("Another transaction is in progress");
        return std::nullopt;
    }
    std::optional<dde::Message> reply;
    // The time for the reply starts once the message is out: a big block takes a while.
    if (sendAll(bytes))
        reply = awaitReply(seq, kind, QDeadlineTimer(timeoutMs));
    if (!reply && lastError_.isEmpty())
        lastError_ = QStringLiteral("No reply from the service %1").arg(service_);
    if (!inbox_.empty() || lost_)
        scheduleDispatch();
    return reply;
}

bool LocalDdeConversation::sendAll(const QList<QByteArray>& bytes) {
    if (!sessionUp())
        return false;
    qsizetype size = 0;
    for (const QByteArray& b : bytes)
        size += b.size();
    if (uint64_t(size) - 4 > dde::MaxMessageBytes) {
        // The service would end the session over it; refuse it here and keep the session.
        lastError_ =
            QStringLiteral("The message of %1 bytes is too long for the service").arg(size);
        return false;
    }
    // Every message gets one reply: until it comes, the service owes one.
    if (owed_++ == 0)
        heard_.start();
    const bool wasWaiting = waiting_;
    waiting_ = true;
    // Handed to the socket a slice at a time as it drains: copying a block of many megabytes
    // into the socket's buffer at once would hold up the event queue.
    qsizetype part = 0;
    qsizetype at = 0;
    while (sessionUp() && !silenceOver()) {
        while (part < bytes.size() && socket_->bytesToWrite() < WriteSliceBytes) {
            const QByteArray& b = bytes[part];
            const qsizetype n = std::min(WriteSliceBytes, b.size() - at);
            socket_->write(b.constData() + at, n); // copied into the socket's buffer
            at += n;
            if (at == b.size()) {
                ++part;
                at = 0;
            }
        }
        if (part == bytes.size() && socket_->bytesToWrite() == 0)
            break;
        waitForEvents(silenceLimitMs_ - silentMs());
    }
    waiting_ = wasWaiting;
    if (sessionUp() && part == bytes.size() && socket_->bytesToWrite() == 0)
        return true;
    if (!notResponding_)
        lastError_ =
            QStringLiteral("The message could not be sent to the service %1").arg(service_);
    return false;
}

void LocalDdeConversation::waitForEvents(qint64 ms) {
    // The timer makes sure the wait ends in time when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(int(std::max<qint64>(ms, 1)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

qint64 LocalDdeConversation::silentMs() const {
    return owed_ > 0 ? heard_.elapsed() : 0;
}

bool LocalDdeConversation::silenceOver() {
    if (notResponding_)
        return true;
    if (silentMs() < silenceLimitMs_)
        return false;
    notResponding_ = true;
    lastError_ = QStringLiteral("The service %1 has not answered for %2 s")
                     .arg(service_)
                     .arg(silenceLimitMs_ / 1000.0);
    // Its replies would come to nobody; the service closes what this session opened once the
    // session is gone.
    if (open_)
        lost_ = true;
    busy_ = false;
    dropSocket();
    owed_ = 0;
    endStartedService();
    return true;
}

void LocalDdeConversation::endStartedService() {
    // Only while that pid is still the process started: a pid is reused once its process is gone.
    if (startedPid_ > 0 && !startedStamp_.isEmpty() && ProcessStamp(startedPid_) == startedStamp_)
        ::kill(pid_t(startedPid_), SIGKILL);
    startedPid_ = 0;
    startedStamp_.clear();
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
        if (reply || !sessionUp() || silenceOver() || deadline.hasExpired())
            break;
        const qint64 silenceLeft = silenceLimitMs_ - silentMs();
        waitForEvents(deadline.isForever() ? silenceLeft
                                           : std::min(deadline.remainingTime(), silenceLeft));
    }
    waiting_ = wasWaiting;
    if (reply || notResponding_)
        return reply;
    if (!sessionUp())
        markLost(decoder_.failed() ? decoder_.error()
                                   : QStringLiteral("The service %1 went away").arg(service_));
    else
        lastError_ = QStringLiteral("No reply from the service %1 in time").arg(service_);
    return reply;
}

void LocalDdeConversation::readIncoming() {
    if (!socket_)
        return;
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty())
        return;
    heard_.restart();
    decoder_.feed(bytes);
    while (std::optional<dde::Message> m = decoder_.next()) {
        if (IsReply(m->kind) && m->seq != 0 && owed_ > 0)
            --owed_;
        inbox_.push_back(std::move(*m));
    }
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
    serviceLost_ = why;
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
