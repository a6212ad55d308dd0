// The console against an emulator with a bad line: the link health indicator counts what was
// dropped, and a download finds the items whose answers were lost and fetches exactly those.
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "support/ConsoleSandbox.h"
#include "support/LoggerProcess.h"

namespace {
// Every value printed for the control, in order.
QStringList AllPrinted(const ConsoleResult& r, const QString& name) {
    QStringList out;
    for (const QString& line : r.out.split('\n'))
        if (line.startsWith(name + "="))
            out << line.mid(name.size() + 1);
    return out;
}

// "Missing 3: 7, 14-15" as its counters.
std::set<int> MissingCounters(const QString& text) {
    std::set<int> out;
    const QString list = text.section(": ", 1);
    for (const QString& run : list.split(", ", Qt::SkipEmptyParts)) {
        const int first = run.section('-', 0, 0).toInt();
        const int last = run.contains('-') ? run.section('-', 1, 1).toInt() : first;
        for (int c = first; c <= last; ++c)
            out.insert(c);
    }
    return out;
}
} // namespace

TEST(LinkHealthWithLogger, DroppedAnswersAreCountedAndNoAnswerClearsOnTheNextGoodOne) {
    struct Case {
        QStringList options;
        const char* script;
        QStringList health;
    };
    const Case cases[] = {
        // Answers 1 and 3 are good, answer 2 carries a wrong checksum.
        {{"--bad-checksum-every", "2"},
         "click GetPeriodBtn\nwait 600\nprint LinkHealthTx\n"
         "click GetPeriodBtn\nwait 3600\nprint LinkHealthTx\nprint ComStatusTx\n"
         "click GetPeriodBtn\nwait 600\nprint LinkHealthTx\nprint ComStatusTx\nquit\n",
         {"no link errors", "CRC error: 1, no answer", "CRC error: 1"}},
        // Every answer stops halfway for longer than the receiver waits.
        {{"--pause-ms", "3000"},
         "click GetPeriodBtn\nwait 4500\nprint LinkHealthTx\nprint ComStatusTx\nquit\n",
         {"broken off: 1, no answer"}},
    };
    for (const Case& c : cases) {
        ConsoleSandbox console;
        ASSERT_TRUE(console.Ok());
        LoggerProcess logger;
        ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", c.options));
        const ConsoleResult r = console.Run(c.script);
        ASSERT_TRUE(r.finished);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(AllPrinted(r, "LinkHealthTx"), c.health) << r.out.toStdString();
        EXPECT_EQ(AllPrinted(r, "ComStatusTx").first(), "sending");
    }
}

TEST(LinkHealthWithLogger, DownloadMissingCompletesADownloadOverABadLine) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2",
                             {"--period-ms", "50", "--bad-checksum-every", "7"}));
    const QString saved = console.Folder() + "/saved.txt";
    // Some sixty items; the size is asked twice, as one answer in seven is lost. Four refills
    // always suffice: each one leaves at most a seventh of its items missing.
    const ConsoleResult r = console.Run(kMeasureTwoChannels + QString(R"(click GetSizeBtn
wait 300
click GetSizeBtn
wait 300
click ClearBufBtn
set FromValEd 1
set AmountValEd 100000
click DwnBtn
wait 3500
print DwnProgressTx
print DwnMissingTx
print BufGrid
click DwnMissingBtn
wait 3500
click DwnMissingBtn
wait 3500
click DwnMissingBtn
wait 3500
click DwnMissingBtn
wait 3500
print SizeTx
print DwnProgressTx
print DwnMissingTx
print PoolItemsTx
print LinkHealthTx
answer %1
click SaveBufAllBtn
quit
)")
                                                                  .arg(saved));
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const int size = r.Printed("SizeTx").toInt();
    ASSERT_GT(size, 20) << r.out.toStdString();

    // After the first stream: the counters missing from the buffer are exactly those listed,
    // one in seven answers apart, as the logger spoiled them.
    const QStringList progress = AllPrinted(r, "DwnProgressTx");
    const QStringList missingTexts = AllPrinted(r, "DwnMissingTx");
    ASSERT_EQ(progress.size(), 2);
    ASSERT_EQ(missingTexts.size(), 2);
    std::set<int> inBuffer;
    for (const QString& row : r.out.split('\n').filter(QRegularExpression("^BufGrid\\[[1-9]")))
        inBuffer.insert(row.section('=', 1).section('|', 1, 1).toInt());
    std::set<int> absent;
    for (int c = 1; c <= size; ++c)
        if (!inBuffer.count(c))
            absent.insert(c);
    ASSERT_FALSE(absent.empty());
    EXPECT_EQ(MissingCounters(missingTexts[0]), absent) << missingTexts[0].toStdString();
    EXPECT_TRUE(missingTexts[0].startsWith(QString("Missing %1: ").arg(absent.size())));
    for (auto it = std::next(absent.begin()); it != absent.end(); ++it)
        EXPECT_EQ(*it - *std::prev(it), 7);
    EXPECT_EQ(progress[0], QString("%1 of %2 arrived").arg(size - absent.size()).arg(size));

    // After the refills: complete, and the link health counted the spoiled answers.
    EXPECT_EQ(progress[1], QString("%1 of %1 arrived").arg(size));
    EXPECT_EQ(missingTexts[1], "None missing");
    EXPECT_EQ(r.Printed("PoolItemsTx").toInt(), size);
    const QRegularExpressionMatch crc =
        QRegularExpression("^CRC error: (\\d+)").match(r.Printed("LinkHealthTx"));
    ASSERT_TRUE(crc.hasMatch()) << r.Printed("LinkHealthTx").toStdString();
    EXPECT_GE(crc.captured(1).toInt(), static_cast<int>(absent.size()));

    // The saved file holds every counter exactly once.
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3 + size); // the header's empty line is skipped
    std::map<int, int> seen;
    for (int i = 3; i < lines.size(); ++i)
        ++seen[lines[i].section(' ', 0, 0).toInt()];
    ASSERT_EQ(static_cast<int>(seen.size()), size);
    EXPECT_EQ(seen.begin()->first, 1);
    EXPECT_EQ(seen.rbegin()->first, size);
    for (const auto& [counter, n] : seen)
        EXPECT_EQ(n, 1) << counter;
}
