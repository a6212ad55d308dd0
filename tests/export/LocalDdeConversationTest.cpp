// The conversation over the local service sockets, against a tiny service on its own thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "export/LocalDdeConversation.h"
#include "protocol/DdeProtocol.h"

using dde::Message;
using dde::MessageKind;

namespace {

// Answers like the spreadsheet service, one session after another, blocking on its own thread:
//   Connect topic "Refuse" -> Refused; Request "Status" -> Ready, "Missing" -> NoReply,
//   "Slow" -> Data "late" after 300 ms; Poke "Bad" -> Refused; Execute "[BAD]" -> Refused,
//   "[QUIT]" -> Accepted and the conversation ends, "[DIE]" -> the session ends unanswered,
//   "[HANG]" -> never answered, a waiting execute -> Accepted, then Completed 100 ms later.
class FakeService {
public:
    explicit FakeService(const QString& path) : path_(path) {
        thread_.reset(QThread::create([this] { run(); }));
        thread_->start();
        while (!listening_)
            std::this_thread::yield();
    }
    ~FakeService() {
        stop_ = true;
        thread_->wait();
    }
    std::vector<Message> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    int sessions() const { return sessions_; }
    QString pokedData() {
        std::lock_guard lock(mutex_);
        return poked_;
    }

private:
    void run() {
        QLocalServer server;
        server.listen(path_);
        listening_ = true;
        while (!stop_) {
            if (!server.waitForNewConnection(20))
                continue;
            QLocalSocket* s = server.nextPendingConnection();
            ++sessions_;
            serve(*s);
            delete s;
        }
    }
    void send(QLocalSocket& s, MessageKind kind, uint32_t seq, const QString& a = {}) {
        s.write(dde::Encode({.kind = kind, .seq = seq, .a = a}));
        s.waitForBytesWritten(1000);
    }
    void serve(QLocalSocket& s) {
        dde::Decoder decoder;
        while (!stop_ && s.state() == QLocalSocket::ConnectedState) {
            if (s.bytesAvailable() == 0 && !s.waitForReadyRead(20))
                continue;
            decoder.feed(s.readAll());
            while (std::optional<Message> m = decoder.next()) {
                {
                    std::lock_guard lock(mutex_);
                    received_.push_back(*m);
                }
                if (!answer(s, *m)) {
                    s.abort();
                    return;
                }
            }
        }
    }
    bool answer(QLocalSocket& s, const Message& m) {
        switch (m.kind) {
        case MessageKind::Connect:
            send(s, m.b == "Refuse" ? MessageKind::Refused : MessageKind::Accepted, m.seq,
                 m.b == "Refuse" ? "no such topic" : "");
            break;
        case MessageKind::Close:
            send(s, MessageKind::Closed, m.seq);
            break;
        case MessageKind::Request:
            if (m.a == "Slow") {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                send(s, MessageKind::Data, m.seq, "late");
            } else if (m.a == "Missing")
                send(s, MessageKind::NoReply, m.seq);
            else
                send(s, MessageKind::Data, m.seq, m.a == "Status" ? "Ready" : "=" + m.a);
            break;
        case MessageKind::Poke:
            if (m.a == "Bad")
                send(s, MessageKind::Refused, m.seq, "bad range");
            else {
                {
                    std::lock_guard lock(mutex_);
                    poked_ = m.b;
                }
                send(s, MessageKind::Accepted, m.seq);
            }
            break;
        case MessageKind::Execute:
            if (m.a == "[DIE]")
                return false;
            if (m.a == "[HANG]")
                break;
            if (m.a == "[BAD]") {
                send(s, MessageKind::Refused, m.seq, "unknown command");
                break;
            }
            send(s, MessageKind::Accepted, m.seq);
            if (m.a == "[QUIT]")
                send(s, MessageKind::Closed, 0);
            else if (m.wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                send(s, MessageKind::Completed, m.seq);
            }
            break;
        default:
            return false;
        }
        return true;
    }

    QString path_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> listening_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> sessions_{0};
    std::mutex mutex_;
    std::vector<Message> received_;
    QString poked_;
};

// What a failure says ("" on success), the reply or what its failure says, and the service's
// refusal of a failed transaction.
template <class T> std::string Why(const Result<T>& r) {
    return r ? std::string() : r.error().text.toStdString();
}
QString Reply(const Result<QString>& r) {
    return r ? *r : "failed: " + r.error().text;
}
std::optional<QString> Refusal(const Result<void>& r) {
    return r ? std::optional<QString>(QStringLiteral("(accepted)")) : r.error().refusal;
}

class LocalConversation : public testing::Test {
protected:
    LocalConversation() {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        conv.setService("Excel");
        conv.setTopic("System");
        conv.onOpen = [this] { ++opened; };
        conv.onClose = [this] { ++closed; };
    }
    void startService() {
        const Result<void> fit = dde::PrepareSocketFolder(dde::SocketFolder());
        EXPECT_TRUE(fit) << (fit ? "" : fit.error().text.toStdString());
        service = std::make_unique<FakeService>(dde::SocketPath("Excel"));
    }
    // Runs the event queue until the condition holds, for at most two seconds.
    bool pumpUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    std::vector<MessageKind> kinds() {
        std::vector<MessageKind> k;
        for (const Message& m : service->received())
            k.push_back(m.kind);
        return k;
    }

    QTemporaryDir runtime;
    LocalDdeConversation conv;
    std::unique_ptr<FakeService> service;
    int opened = 0;
    int closed = 0;
};

} // namespace

TEST_F(LocalConversation, TransactionsGetTheirReplies) {
    startService();
    ASSERT_EQ(Why(conv.open()), "");
    EXPECT_TRUE(conv.isOpen());
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(conv.open()); // already open: no second conversation
    EXPECT_EQ(opened, 1);

    EXPECT_EQ(Reply(conv.request("Status")), "Ready");
    EXPECT_EQ(Reply(conv.request("R2C1")), "=R2C1");
    EXPECT_FALSE(conv.request("Missing"));
    EXPECT_TRUE(conv.poke("R1C1:R2C2", "a\tb\r\nc\r\n"));
    EXPECT_EQ(service->pokedData(), "a\tb\r\nc\r\n");
    EXPECT_FALSE(conv.poke("Bad", "x\r\n"));
    EXPECT_TRUE(conv.execute("[SELECT(\"R1C1\")]", false));
    EXPECT_FALSE(conv.busy());
    EXPECT_FALSE(conv.execute("[BAD]", false));

    // A waiting execute keeps the conversation busy, refusing everything, until completed.
    EXPECT_TRUE(conv.execute("[SAVE]", true));
    EXPECT_TRUE(conv.busy());
    const size_t sent = service->received().size();
    EXPECT_FALSE(conv.request("Status"));
    EXPECT_FALSE(conv.poke("R1C1:R1C1", "x\r\n"));
    EXPECT_FALSE(conv.execute("[SAVE]", false));
    EXPECT_EQ(service->received().size(), sent);
    EXPECT_TRUE(pumpUntil([&] { return !conv.busy(); }));
    EXPECT_EQ(Reply(conv.request("Status")), "Ready");

    const Message exec = service->received()[sent - 1];
    EXPECT_EQ(exec.kind, MessageKind::Execute);
    EXPECT_TRUE(exec.wait);

    // A refused topic fails the open with the service's reason.
    conv.setTopic("Refuse");
    EXPECT_EQ(closed, 1);
    const Result<void> refused = conv.open();
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().text.contains("no such topic")) << Why(refused);
    EXPECT_EQ(refused.error().refusal, QString("no such topic"));
    EXPECT_FALSE(conv.request("Status"));

    // Changing the topic ends the conversation but keeps the session.
    conv.setTopic("[Data.xls]Desc");
    ASSERT_TRUE(conv.open());
    conv.setTopic("System");
    EXPECT_EQ(closed, 2);
    ASSERT_TRUE(conv.open());
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(service->sessions(), 1);

    conv.close();
    EXPECT_EQ(closed, 3);
    EXPECT_FALSE(conv.isOpen());
    const std::vector<MessageKind> k = kinds();
    EXPECT_EQ(std::count(k.begin(), k.end(), MessageKind::Close), 3);
    EXPECT_EQ(k.back(), MessageKind::Close);
}

TEST_F(LocalConversation, RefusalReasonsAndASilentServiceGivenUp) {
    startService();
    ASSERT_TRUE(conv.open());
    EXPECT_EQ(Refusal(conv.execute("[BAD]", false)), QString("unknown command"));
    EXPECT_EQ(Refusal(conv.poke("Bad", "x\r\n")), QString("bad range"));
    EXPECT_TRUE(conv.poke("R1C1:R1C1", "x\r\n"));

    // A command that is never answered: the event queue runs while the service is waited for,
    // then the service is given up and the conversation ends.
    conv.setSilenceLimit(300);
    bool queueRan = false;
    QTimer::singleShot(0, [&] { queueRan = true; });
    const Result<void> hung = conv.execute("[HANG]", false);
    EXPECT_FALSE(hung);
    EXPECT_TRUE(queueRan);
    EXPECT_TRUE(conv.notResponding());
    EXPECT_EQ(Refusal(hung), std::nullopt);
    EXPECT_TRUE(pumpUntil([&] { return closed == 1; }));
    EXPECT_FALSE(conv.request("Status"));

    // The next open reaches the service in a new session.
    conv.setSilenceLimit(30000);
    ASSERT_EQ(Why(conv.open()), "");
    EXPECT_FALSE(conv.notResponding());
    EXPECT_EQ(Reply(conv.request("Status")), "Ready");
    EXPECT_EQ(service->sessions(), 2);
}

TEST_F(LocalConversation, LateReplyOfATimedOutRequestIsDropped) {
    startService();
    conv.setReplyTimeout(100);
    ASSERT_TRUE(conv.open());
    QElapsedTimer t;
    t.start();
    const Result<QString> slow = conv.request("Slow");
    EXPECT_FALSE(slow);
    EXPECT_LT(t.elapsed(), 280);
    EXPECT_NE(Why(slow), "");
    conv.setReplyTimeout(2000);
    EXPECT_EQ(Reply(conv.request("Status")), "Ready");
    EXPECT_EQ(Reply(conv.request("R1C1")), "=R1C1");
    EXPECT_TRUE(conv.isOpen());
}

TEST_F(LocalConversation, ServiceEndingTheConversationOrGoingAway) {
    startService();
    ASSERT_TRUE(conv.open());
    EXPECT_TRUE(conv.execute("[QUIT]", false));
    EXPECT_TRUE(pumpUntil([&] { return closed == 1; }));
    EXPECT_FALSE(conv.isOpen());
    EXPECT_FALSE(conv.request("Status"));

    // The service goes away in the middle: the call fails at once, the close event follows.
    ASSERT_TRUE(conv.open());
    EXPECT_EQ(service->sessions(), 1);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(conv.execute("[DIE]", false));
    EXPECT_FALSE(conv.request("Status"));
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_TRUE(pumpUntil([&] { return closed == 2; }));
    EXPECT_FALSE(conv.isOpen());

    // A new session comes up at the next open.
    ASSERT_EQ(Why(conv.open()), "");
    EXPECT_EQ(service->sessions(), 2);
    EXPECT_EQ(Reply(conv.request("Status")), "Ready");

    // The service ends while nobody waits: the close event comes with the event queue.
    service.reset();
    EXPECT_TRUE(pumpUntil([&] { return closed == 3; }));
    EXPECT_FALSE(conv.open());
    EXPECT_EQ(opened, 3);
}

TEST_F(LocalConversation, UnfitSocketFolderOrNoServiceFailsTheOpen) {
    const QString folder = dde::SocketFolder();
    struct Case {
        std::function<void()> prepare;
        QString program;
        QString error;
    };
    const Case cases[] = {
        {[&] {
             QFile f(folder);
             f.open(QIODevice::WriteOnly);
         },
         "", "is not a folder"},
        {[&] {
             QFile::remove(folder);
             QDir().mkdir(folder);
             QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::ExeOther);
         },
         "", "open to other users"},
        {[&] {
             QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
         },
         "", "No service Excel answers"},
        {[] {}, "no-such-program-of-impix", "is not found"},
        {[] {}, "/bin/true", "no service Excel answers"},
    };
    conv.setStartTimeout(300);
    for (const Case& c : cases) {
        c.prepare();
        conv.setServiceApplication(c.program);
        const Result<void> tried = conv.open();
        EXPECT_FALSE(tried);
        EXPECT_TRUE(QString::fromStdString(Why(tried)).contains(c.error)) << Why(tried);
        EXPECT_EQ(opened, 0);
    }
}
