// The report server over real loopback connections, with the link's report parser behind it.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "net/PeerAddresses.h"
#include "net/ReportServer.h"
#include "records/ReportParser.h"

namespace {
using Item = std::array<uint8_t, ReportParser::ItemSize>;

// Board 1, channel 4, 7 February 09:58:23; an 0xA5 inside an item is data.
const Item ItemA{0x00, 0x03, 0x21, 0x30, 0x39, 0x80, 0x00, 0x3F, 0x8C, 0x72};
const Item ItemB{0x01, 0xA5, 0x00, 0x01, 0x02, 0x03, 0x04, 0x10, 0x0E, 0x13};

QByteArray Framed(const Item& item) {
    QByteArray bytes(1, static_cast<char>(ReportParser::ItemStart));
    bytes.append(reinterpret_cast<const char*>(item.data()), static_cast<qsizetype>(item.size()));
    return bytes;
}

// The main window's side of the server: the items handed on, their counter and the two labels.
struct Window {
    int64_t reportItemCount = 0;
    std::vector<Item> items;
    std::vector<QString> states;
    QString count = QStringLiteral("(untouched)");
    bool holdBack = false;
    int refusals = 0;
    std::unique_ptr<ReportServer> server;

    Window() {
        ReportServer::Hooks hooks;
        hooks.reportItem = [this](ReportServer::Item item) {
            ++reportItemCount;
            Item copy{};
            std::copy(item.begin(), item.end(), copy.begin());
            items.push_back(copy);
        };
        hooks.reportItemCount = [this] { return reportItemCount; };
        hooks.stateText = [this](const QString& s) { states.push_back(s); };
        hooks.countText = [this](const QString& s) { count = s; };
        hooks.holdBack = [this] { return holdBack; };
        hooks.peerRefused = [this] { ++refusals; };
        server = std::make_unique<ReportServer>(hooks);
        server->SetPort(0);
    }

    QString State() const { return states.empty() ? QString() : states.back(); }
};

std::unique_ptr<QTcpSocket> Connect(quint16 port) {
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    EXPECT_TRUE(client->waitForConnected(5000)) << client->errorString().toStdString();
    return client;
}

void Send(QTcpSocket& client, const QByteArray& bytes) {
    client.write(bytes);
    EXPECT_TRUE(client.waitForBytesWritten(5000));
}

bool WaitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 5000);
}

const QString Connected = QStringLiteral("Connected with 127.0.0.1");
const QString Disconnected = QStringLiteral("Disconnected / Listen");
} // namespace

TEST(ReportServer, TwoItemsAreParsedInOrderAndCounted) {
    Window w;
    w.server->Run();
    EXPECT_EQ(w.State(), "Listen");
    EXPECT_TRUE(w.server->Listening());
    EXPECT_NE(w.server->Port(), 0);

    auto client = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    EXPECT_EQ(w.count, "(untouched)"); // until the first byte arrives

    const QByteArray stream = Framed(ItemA) + Framed(ItemB);
    ASSERT_EQ(stream.size(), 22);
    // In two pieces that split the second item, as a network may deliver them.
    Send(*client, stream.left(15));
    ASSERT_TRUE(WaitFor([&] { return w.count == "15 bytes  1 records"; })) << w.count.toStdString();
    Send(*client, stream.mid(15));
    ASSERT_TRUE(WaitFor([&] { return w.count == "22 bytes  2 records"; })) << w.count.toStdString();

    EXPECT_EQ(w.server->ByteCount(), 22);
    ASSERT_EQ(w.items.size(), 2u);
    EXPECT_EQ(w.items[0], ItemA);
    EXPECT_EQ(w.items[1], ItemB);
    const TMeasRecord first = DecodeReportItem(w.items[0], 2024).value().record;
    EXPECT_EQ(first.Board, 0);
    EXPECT_EQ(first.Channel, 3);
    EXPECT_DOUBLE_EQ(first.Rx, 12345);
}

// Senders that report at the same time, their bytes interleaved in pieces that split items, a
// port scanner that comes and goes among them: every item of every sender arrives once, in that
// sender's order, and no connection is cut; also when every read stops after one block and reads
// on at the next pass of the event loop.
TEST(ReportServer, ConcurrentPeersAreEachReadWholeInTheirOwnOrder) {
    struct Case {
        int senders;
        int items; // per sender
        int piece; // bytes per write
        bool scanner;
        bool sliced = false; // each read stops after one block
    };
    const Case cases[] = {{2, 300, 7, false},
                          {3, 200, 5, true},
                          {4, 50, 23, true},
                          {2, 1, 1, false},
                          {3, 5000, 20000, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.senders << " senders, " << c.items << " items, " << c.piece
                     << " bytes a piece" << (c.sliced ? ", sliced" : ""));
        Window w;
        if (c.sliced)
            w.server->SetReadSlice(std::chrono::milliseconds(0));
        w.server->Run();
        std::vector<std::unique_ptr<QTcpSocket>> senders;
        std::vector<QByteArray> streams;
        for (int s = 0; s < c.senders; ++s) {
            senders.push_back(Connect(w.server->Port()));
            ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == s + 1; }));
            // Item k of sender s: board s, a start byte inside (data), k in two bytes.
            QByteArray stream("noise");
            for (int k = 0; k < c.items; ++k)
                stream += Framed({uint8_t(s), 0xA5, 0x21, uint8_t(k >> 8), uint8_t(k & 0xFF), 0x80,
                                  0x00, 0x3F, 0x8C, 0x72});
            streams.push_back(stream);
        }
        std::unique_ptr<QTcpSocket> scanner;
        for (qsizetype at = 0; at < streams[0].size(); at += c.piece) {
            for (int s = 0; s < c.senders; ++s)
                Send(*senders[static_cast<size_t>(s)],
                     streams[static_cast<size_t>(s)].mid(at, c.piece));
            QCoreApplication::processEvents();
            if (c.scanner && at == c.piece * 10) {
                scanner = Connect(w.server->Port());
                Send(*scanner, QByteArray("GET / HTTP/1.0\r\n\r\n\xA5\x01", 20));
                ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == c.senders + 1; }));
            }
            if (c.scanner && at == c.piece * 20) {
                scanner->disconnectFromHost();
                ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == c.senders; }));
                EXPECT_EQ(w.State(), Connected); // the newest sender still open
            }
        }
        const size_t total = static_cast<size_t>(c.senders * c.items);
        ASSERT_TRUE(WaitFor([&] { return w.items.size() >= total; })) << w.items.size();
        QTest::qWait(20);
        ASSERT_EQ(w.items.size(), total);
        std::vector<int> next(static_cast<size_t>(c.senders), 0);
        for (const Item& item : w.items) {
            ASSERT_LT(item[0], c.senders);
            int& expected = next[item[0]];
            EXPECT_EQ(item[3] * 256 + item[4], expected) << "sender " << int(item[0]);
            ++expected;
        }
        EXPECT_EQ(next, std::vector<int>(static_cast<size_t>(c.senders), c.items));
        // Bytes of the newest connection, items of all.
        EXPECT_EQ(w.server->ByteCount(), streams.back().size());
        EXPECT_EQ(w.count, QString("%1 bytes  %2 records").arg(streams.back().size()).arg(total));
        for (auto& sender : senders)
            EXPECT_EQ(sender->state(), QAbstractSocket::ConnectedState);
        for (auto& sender : senders)
            sender->disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return !w.server->Serving(); }));
        EXPECT_EQ(w.State(), Disconnected);
    }

    // Beyond the limit a connection is closed before it is read; those served go on.
    Window w;
    w.server->SetPeerLimit(2);
    w.server->Run();
    auto first = Connect(w.server->Port());
    auto second = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == 2; }));
    auto third = Connect(w.server->Port());
    EXPECT_TRUE(WaitFor([&] { return third->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(w.server->Peers(), 2);
    Send(*first, Framed(ItemA));
    EXPECT_TRUE(WaitFor([&] { return w.items.size() == 1; }));
    EXPECT_EQ(second->state(), QAbstractSocket::ConnectedState);
}

TEST(ReportServer, PeersHeldBackWaitInTheirConnectionsAndLoseNothing) {
    Window w;
    w.server->Run();
    w.holdBack = true;
    // More than the server reads ahead and both ends' socket buffers hold: each peer must wait.
    const QByteArray filler(24 << 20, '\0');
    const QByteArray stream = Framed(ItemA) + filler + Framed(ItemB);
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 2; ++i) {
        peers.push_back(Connect(w.server->Port()));
        ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == i + 1; }));
        peers.back()->write(stream);
    }
    QTest::qWait(300);
    EXPECT_TRUE(w.items.empty());
    EXPECT_EQ(w.server->ByteCount(), 0);
    for (auto& peer : peers)
        EXPECT_GT(peer->bytesToWrite(), 0);

    w.holdBack = false;
    for (auto& peer : peers)
        peer->disconnectFromHost(); // once everything is written
    ASSERT_TRUE(WaitFor([&] { return w.State() == Disconnected; })) << w.items.size();
    EXPECT_FALSE(w.server->Serving());
    EXPECT_EQ(w.server->ByteCount(), stream.size()); // kept after the close
    EXPECT_EQ(w.items, (std::vector<Item>{ItemA, ItemA, ItemB, ItemB}));

    // A peer that closes while held back: what it sent before the close still arrives.
    w.holdBack = true;
    auto next = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    next->write(Framed(ItemA));
    next->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return w.State() == Disconnected; }));
    w.holdBack = false;
    EXPECT_TRUE(WaitFor([&] { return w.items.size() == 5; }));
    EXPECT_EQ(w.count, "11 bytes  5 records");
}

TEST(ReportServer, PeerClosingLeavesTheServerListening) {
    Window w;
    w.server->Run();
    auto client = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    // Bytes sent right before the close are all taken.
    client->write(Framed(ItemA) + Framed(ItemB));
    client->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return w.State() == Disconnected; }));
    EXPECT_EQ(w.count, "22 bytes  2 records");
    EXPECT_FALSE(w.server->Serving());
    EXPECT_TRUE(w.server->Listening());

    // No "Run" needed for the next peer; the counters keep their text until it sends.
    auto next = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    EXPECT_EQ(w.count, "22 bytes  2 records");
    Send(*next, QByteArray("\x01\x02\x03", 3));
    ASSERT_TRUE(WaitFor([&] { return w.count == "3 bytes  2 records"; })) << w.count.toStdString();
}

TEST(ReportServer, StopClosesEverythingAndRefusesConnections) {
    Window w;
    w.server->Stop(); // with nothing open
    EXPECT_EQ(w.states, std::vector<QString>{"Idle"});

    w.server->Run();
    const quint16 port = w.server->Port();
    auto client = Connect(port);
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    w.states.clear();
    w.server->Stop();
    EXPECT_EQ(w.states, (std::vector<QString>{Disconnected, "Idle"}));
    EXPECT_FALSE(w.server->Listening());
    EXPECT_FALSE(w.server->Serving());
    EXPECT_TRUE(WaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }));

    QTcpSocket refused;
    refused.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    EXPECT_FALSE(refused.waitForConnected(5000));
    EXPECT_EQ(refused.error(), QAbstractSocket::ConnectionRefusedError);

    // The server closed the connection first, so it lingers in TIME_WAIT; listening on the
    // same port again must still work.
    client->close();
    w.server->SetPort(port);
    w.server->Run();
    EXPECT_EQ(w.State(), "Listen");
    EXPECT_EQ(w.server->Port(), port);
    auto again = Connect(port);
    EXPECT_TRUE(WaitFor([&] { return w.State() == Connected; }));
}

TEST(ReportServer, PortInUseFailsAndLeavesTheStateAlone) {
    Window holder;
    holder.server->Run();
    Window w;
    w.server->SetPort(holder.server->Port());
    try {
        w.server->Run();
        FAIL() << "listening on a port in use succeeded";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Socket error 98 in function bind: Address already in use");
    }
    EXPECT_TRUE(w.states.empty());
    EXPECT_FALSE(w.server->Listening());
    EXPECT_TRUE(holder.server->Listening());
}

TEST(ReportServer, AFailingItemStillLetsEveryItemThroughInOrder) {
    std::vector<QString> shown;
    SetFailureHandler([&](const QString& text) { shown.push_back(text); });
    std::vector<Item> handed;
    QString count;
    ReportServer::Hooks hooks;
    hooks.reportItem = [&](ReportServer::Item item) {
        handed.emplace_back();
        std::copy(item.begin(), item.end(), handed.back().begin());
        if (item[0] == ItemB[0])
            throw Failure(QStringLiteral("Invalid argument to date encode"));
    };
    hooks.countText = [&](const QString& s) { count = s; };
    ReportServer server(hooks);
    server.SetPort(0);
    server.Run();
    auto client = Connect(server.Port());
    Send(*client, Framed(ItemA) + Framed(ItemB) + Framed(ItemA) + Framed(ItemB) + "\x05");
    EXPECT_TRUE(WaitFor([&] { return count == "45 bytes  0 records"; })) << count.toStdString();
    EXPECT_EQ(handed, (std::vector<Item>{ItemA, ItemB, ItemA, ItemB}));
    // One read, one message.
    EXPECT_EQ(shown, std::vector<QString>{"Invalid argument to date encode"});
    SetFailureHandler([](const QString&) {});
}

TEST(ReportServer, DestroyingTheServerReportsNothing) {
    Window w;
    w.server->Run();
    auto client = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    w.states.clear();
    w.server.reset();
    EXPECT_TRUE(w.states.empty());
    EXPECT_TRUE(WaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }));
}

// A peer that sends nothing for the idle time is closed, whatever it sent before; one that keeps
// sending is not, nor one whose bytes wait for the server to read on.
TEST(ReportServer, SilentPeersAreClosedAfterTheIdleTimeWhileOthersGoOn) {
    Window w;
    w.server->SetIdleTimeout(std::chrono::seconds(1));
    w.server->Run();
    const struct {
        const char* what;
        QByteArray first;
        bool talks; // an item every 50 ms
    } cases[] = {{"silent from the start", {}, false},
                 {"silent within an item", Framed(ItemB).left(4), false},
                 {"talking", Framed(ItemA), true}};
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (const auto& c : cases) {
        peers.push_back(Connect(w.server->Port()));
        ASSERT_TRUE(WaitFor([&] { return w.server->Peers() == int(peers.size()); }));
        peers.back()->write(c.first);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2500) {
        for (size_t i = 0; i < peers.size(); ++i)
            if (cases[i].talks)
                Send(*peers[i], Framed(ItemA));
        QTest::qWait(50);
    }
    for (size_t i = 0; i < peers.size(); ++i)
        EXPECT_EQ(peers[i]->state() == QAbstractSocket::ConnectedState, cases[i].talks)
            << cases[i].what;
    EXPECT_EQ(w.server->Peers(), 1);
    EXPECT_EQ(w.State(), Connected);
    // The item begun by the silent peer went with its connection.
    EXPECT_GT(w.items.size(), 10u);
    EXPECT_EQ(std::count(w.items.begin(), w.items.end(), ItemB), 0);

    w.holdBack = true;
    Send(*peers[2], Framed(ItemB));
    QTest::qWait(2000);
    EXPECT_EQ(peers[2]->state(), QAbstractSocket::ConnectedState);
    w.holdBack = false;
    EXPECT_TRUE(WaitFor([&] { return !w.server->Serving(); })); // read on, then silent
    EXPECT_EQ(w.items.back(), ItemB);
    EXPECT_EQ(w.State(), Disconnected);
}

// Connections are taken on the listen address only, and from senders in the allowed ranges (an
// IPv4 sender on an IPv6 listener matched as IPv4); others are closed unread, counted, the last
// one named.
TEST(ReportServer, ConnectionsAreTakenOnTheListenAddressFromAllowedSendersOnly) {
    enum Outcome { Served, Refused, NotListening };
    const struct {
        const char* listen;
        const char* allow;
        const char* from;
        const char* to;
        Outcome outcome;
    } cases[] = {
        {"127.0.0.2", "", "127.0.0.1", "127.0.0.2", Served},
        {"127.0.0.2", "", "127.0.0.1", "127.0.0.1", NotListening},
        {"::1", "", "::1", "::1", Served},
        {"::1", "", "127.0.0.1", "127.0.0.1", NotListening},
        {"", "127.0.0.2", "127.0.0.2", "127.0.0.1", Served},
        {"", "127.0.0.2", "127.0.0.1", "127.0.0.1", Refused},
        {"", "10.0.0.0/8,127.0.0.0/30", "127.0.0.3", "127.0.0.1", Served},
        {"", "10.0.0.0/8,127.0.0.0/30", "127.0.0.4", "127.0.0.1", Refused},
        {"::", "127.0.0.0/8", "127.0.0.1", "127.0.0.1", Served},
        {"::", "127.0.0.0/8", "::1", "::1", Refused},
        {"::", "::1", "127.0.0.1", "127.0.0.1", Refused},
        {"::", "::ffff:127.0.0.1", "127.0.0.1", "127.0.0.1", Served},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "listen '" << c.listen << "', allow '" << c.allow
                                        << "', from " << c.from << " to " << c.to);
        Window w;
        if (*c.listen)
            w.server->SetListenAddress(ParseNumericAddress(c.listen));
        if (*c.allow)
            w.server->SetAllowedPeers(AllowedPeers::Parse(c.allow).value());
        w.server->Run();
        QTcpSocket client;
        ASSERT_TRUE(client.bind(ParseNumericAddress(c.from)));
        client.connectToHost(ParseNumericAddress(c.to), w.server->Port());
        ASSERT_EQ(client.waitForConnected(5000), c.outcome != NotListening);
        if (c.outcome == NotListening)
            continue;
        client.write(Framed(ItemA));
        if (c.outcome == Served) {
            EXPECT_TRUE(WaitFor([&] { return w.items.size() == 1; }));
            EXPECT_EQ(w.State(), QStringLiteral("Connected with ") + c.from);
        } else {
            EXPECT_TRUE(
                WaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
            QTest::qWait(20);
            EXPECT_TRUE(w.items.empty());
            EXPECT_EQ(w.State(), "Listen");
            const QString hint = w.server->RefusedHint(FormatSettings{});
            EXPECT_TRUE(QRegularExpression("^Last refused: " + QRegularExpression::escape(c.from) +
                                           " on \\d\\d\\.\\d\\d\\.\\d{4} at \\d\\d:\\d\\d:\\d\\d$")
                            .match(hint)
                            .hasMatch())
                << hint.toStdString();
        }
        EXPECT_EQ(w.server->RefusedPeers(), c.outcome == Refused ? 1 : 0);
        EXPECT_EQ(w.refusals, w.server->RefusedPeers());
    }
}
