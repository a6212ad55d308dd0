// GPRS reports over TCP to a local server; waits are bounded and generous.
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include "tools/logger/GprsReporter.h"

using namespace logger;

namespace {

// A report server that collects everything each peer sends until it closes.
struct Server {
    QTcpServer server;
    QList<QByteArray> reports;
    QByteArray current;

    Server() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* peer = server.nextPendingConnection()) {
                QObject::connect(peer, &QTcpSocket::readyRead,
                                 [this, peer] { current += peer->readAll(); });
                QObject::connect(peer, &QTcpSocket::disconnected, [this, peer] {
                    current += peer->readAll();
                    reports << current;
                    current.clear();
                    peer->deleteLater();
                });
            }
        });
    }
    bool Listen(quint16 port = 0) { return server.listen(QHostAddress::LocalHost, port); }
};

// A port on which nothing listens, at least for the moment.
quint16 FreePort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

ReportJob Job(const QByteArray& payload, quint16 port, int retries, int* delivered) {
    ReportJob job;
    job.payload = payload;
    job.host = "127.0.0.1";
    job.port = port;
    job.retries = retries;
    job.delivered = [delivered] { ++*delivered; };
    return job;
}

} // namespace

TEST(GprsReporter, DeliversThePayloadAndCloses) {
    Server s;
    ASSERT_TRUE(s.Listen());
    GprsReporter r;
    int delivered = 0, finished = 0;
    r.onFinished = [&](bool ok) {
        EXPECT_TRUE(ok);
        ++finished;
    };
    QByteArray payload(5000, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7);
    r.Request([&] { return Job(payload, s.server.serverPort(), 0, &delivered); });
    EXPECT_TRUE(r.Busy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.reports.size() == 1 && finished == 1; }, 10000));
    EXPECT_EQ(s.reports[0], payload);
    EXPECT_EQ(delivered, 1);
    EXPECT_FALSE(r.Busy());
}

TEST(GprsReporter, RetriesAsOftenAsAllowedThenGivesUp) {
    quint16 port = FreePort();
    GprsReporter r;
    r.retryDelayMs = 20;
    QStringList log;
    r.onLog = [&](const QString& t) { log << t; };
    int delivered = 0;
    bool done = false, ok = true;
    r.onFinished = [&](bool result) {
        done = true;
        ok = result;
    };
    r.Request([&] { return Job("x", port, 2, &delivered); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    EXPECT_FALSE(ok);
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(log.filter("report failed").size(), 3);
    EXPECT_EQ(log.filter("given up").size(), 1);
}

TEST(GprsReporter, ARetryReachesAServerThatCameLate) {
    quint16 port = FreePort();
    Server s;
    GprsReporter r;
    r.retryDelayMs = 300;
    int delivered = 0;
    bool done = false;
    r.onLog = [&](const QString& t) {
        // The first attempt failed: the server starts before the retry.
        if (t.contains("retries left") && !s.server.isListening()) {
            EXPECT_TRUE(s.Listen(port));
        }
    };
    r.onFinished = [&](bool) { done = true; };
    r.Request([&] { return Job("late report", port, 3, &delivered); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done && s.reports.size() == 1; }, 20000));
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(s.reports[0], "late report");
}

TEST(GprsReporter, ARequestDuringAReportFollowsItPreparedLate) {
    Server s;
    ASSERT_TRUE(s.Listen());
    GprsReporter r;
    int delivered = 0, prepared = 0;
    r.Request([&] {
        ++prepared;
        return Job("first", s.server.serverPort(), 0, &delivered);
    });
    r.Request([&] {
        ++prepared;
        return Job("second", s.server.serverPort(), 0, &delivered);
    });
    EXPECT_EQ(prepared, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.reports.size() == 2 && delivered == 2; }, 10000));
    EXPECT_EQ(s.reports[0], "first");
    EXPECT_EQ(s.reports[1], "second");
    EXPECT_EQ(prepared, 2);
}
