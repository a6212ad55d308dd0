// The report server over real loopback connections, with the link's report parser behind it.
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "data/ReportServer.h"
#include "link/ReportParser.h"

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

// The main window's side of the server: the parser, the item counter and the two labels.
struct Window {
    ReportParser parser;
    int64_t reportItemCount = 0;
    std::vector<Item> items;
    std::vector<uint8_t> parsed;
    int resets = 0;
    std::vector<QString> states;
    QString count = QStringLiteral("(untouched)");
    bool holdBack = false;
    std::unique_ptr<ReportServer> server;

    Window() {
        parser.onItem = [this](std::span<const uint8_t, ReportParser::ItemSize> item) {
            ++reportItemCount;
            Item copy{};
            std::copy(item.begin(), item.end(), copy.begin());
            items.push_back(copy);
        };
        ReportServer::Hooks hooks;
        hooks.parseByte = [this](uint8_t b) {
            parsed.push_back(b);
            parser.ParseReportByte(b);
        };
        hooks.resetParser = [this] {
            ++resets;
            parser.ResetReportParser();
        };
        hooks.reportItemCount = [this] { return reportItemCount; };
        hooks.stateText = [this](const QString& s) { states.push_back(s); };
        hooks.countText = [this](const QString& s) { count = s; };
        hooks.holdBack = [this] { return holdBack; };
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
    EXPECT_EQ(w.resets, 1);
    EXPECT_EQ(w.count, "(untouched)"); // until the first byte arrives

    const QByteArray stream = Framed(ItemA) + Framed(ItemB);
    ASSERT_EQ(stream.size(), 22);
    // In two pieces that split the second item, as a network may deliver them.
    Send(*client, stream.left(15));
    ASSERT_TRUE(WaitFor([&] { return w.count == "15 bytes  1 records"; })) << w.count.toStdString();
    Send(*client, stream.mid(15));
    ASSERT_TRUE(WaitFor([&] { return w.count == "22 bytes  2 records"; })) << w.count.toStdString();

    EXPECT_EQ(w.server->ByteCount(), 22);
    EXPECT_EQ(w.parsed, std::vector<uint8_t>(stream.begin(), stream.end()));
    ASSERT_EQ(w.items.size(), 2u);
    EXPECT_EQ(w.items[0], ItemA);
    EXPECT_EQ(w.items[1], ItemB);
    const TMeasRecord first = DecodeReportItem(w.items[0], 2024).record;
    EXPECT_EQ(first.Board, 0);
    EXPECT_EQ(first.Channel, 3);
    EXPECT_DOUBLE_EQ(first.Rx, 12345);
}

TEST(ReportServer, SecondPeerReplacesTheFirstAndCountsAfresh) {
    Window w;
    w.server->Run();
    auto first = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    // One item and the start of another, which the second peer must not complete.
    Send(*first, Framed(ItemA) + Framed(ItemB).left(5));
    ASSERT_TRUE(WaitFor([&] { return w.count == "16 bytes  1 records"; }));

    w.states.clear();
    auto second = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    EXPECT_EQ(w.states, (std::vector<QString>{Disconnected, Connected}));
    EXPECT_EQ(w.server->ByteCount(), 0);
    EXPECT_EQ(w.resets, 2);
    EXPECT_TRUE(WaitFor([&] { return first->state() == QAbstractSocket::UnconnectedState; }));

    Send(*second, Framed(ItemB));
    ASSERT_TRUE(WaitFor([&] { return w.count == "11 bytes  2 records"; })) << w.count.toStdString();
    ASSERT_EQ(w.items.size(), 2u);
    EXPECT_EQ(w.items[1], ItemB);
    EXPECT_EQ(second->state(), QAbstractSocket::ConnectedState);
}

TEST(ReportServer, APeerHeldBackWaitsInItsConnectionAndLosesNothing) {
    Window w;
    w.server->Run();
    w.holdBack = true;
    auto client = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    // More than the server reads ahead and both ends' socket buffers hold: the peer must wait.
    const QByteArray filler(40 << 20, '\0');
    const QByteArray stream = Framed(ItemA) + filler + Framed(ItemB);
    client->write(stream);
    QTest::qWait(300);
    EXPECT_TRUE(w.parsed.empty());
    EXPECT_GT(client->bytesToWrite(), 0);

    w.holdBack = false;
    client->disconnectFromHost(); // once everything is written
    ASSERT_TRUE(WaitFor([&] { return w.State() == Disconnected; })) << w.parsed.size();
    EXPECT_EQ(w.server->ByteCount(), stream.size());
    ASSERT_EQ(w.parsed.size(), static_cast<size_t>(stream.size()));
    EXPECT_TRUE(QByteArray(reinterpret_cast<const char*>(w.parsed.data()), stream.size()) ==
                stream);
    ASSERT_EQ(w.items.size(), 2u);
    EXPECT_EQ(w.items[1], ItemB);

    // A peer that closes while held back: what it sent before the close still arrives.
    w.holdBack = true;
    auto next = Connect(w.server->Port());
    ASSERT_TRUE(WaitFor([&] { return w.State() == Connected; }));
    next->write(Framed(ItemA));
    next->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return w.State() == Disconnected; }));
    w.holdBack = false;
    EXPECT_TRUE(WaitFor([&] { return w.items.size() == 3; }));
    EXPECT_EQ(w.count, "11 bytes  3 records");
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

TEST(ReportServer, ParserFailureStillTakesEveryByteInOrder) {
    std::vector<QString> shown;
    SetFailureHandler([&](const QString& text) { shown.push_back(text); });
    std::vector<uint8_t> parsed;
    QString count;
    ReportServer::Hooks hooks;
    hooks.parseByte = [&](uint8_t b) {
        parsed.push_back(b);
        if (b == 0x42)
            throw Failure(QStringLiteral("Invalid argument to date encode"));
    };
    hooks.countText = [&](const QString& s) { count = s; };
    ReportServer server(hooks);
    server.SetPort(0);
    server.Run();
    auto client = Connect(server.Port());
    Send(*client, QByteArray("\x01\x42\x03\x42\x05", 5));
    EXPECT_TRUE(WaitFor([&] { return count == "5 bytes  0 records"; })) << count.toStdString();
    EXPECT_EQ(parsed, (std::vector<uint8_t>{0x01, 0x42, 0x03, 0x42, 0x05}));
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
