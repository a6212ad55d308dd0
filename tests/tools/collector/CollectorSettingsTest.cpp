// The collector's settings: defaults, the configuration file, the command line over it, and
// every mistake refused in one line (the program then exits with 2).
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include "tools/collector/CollectorSettings.h"

using namespace collector;

namespace {

QStringList Args(const QString& config, const QStringList& more) {
    return QStringList{"impix-collector", "--config", config} + more;
}

QString Listen(const CollectorSettings& s) {
    QStringList out;
    for (const ListenAddress& a : s.listen)
        out << ListenAddressText(a);
    return out.join(' ');
}

} // namespace

TEST(CollectorSettings, FileThenCommandLine) {
    QTemporaryDir dir;
    const QString conf = dir.filePath("collector.conf");
    ASSERT_TRUE(WriteAll(conf, "# the lab's collector\n"
                               "listen = 0.0.0.0:4000\n"
                               "listen = [::1]:4001   # and locally\n"
                               "database = host=db.lab dbname=impix password=secret\n"
                               "state = /srv/spool\n"
                               "idle-timeout = 30\n"
                               "max-report = 1M\n"
                               "max-connections = 100\n"
                               "accept-unknown = yes\n"));
    const QStringList env = {"HOME=/home/op"};

    Result<Invocation> fromFile = ReadInvocation(Args(conf, {}), env);
    ASSERT_TRUE(fromFile) << fromFile.error().text.toStdString();
    const CollectorSettings& f = fromFile->settings;
    EXPECT_EQ(fromFile->command, Command::Run);
    EXPECT_EQ(Listen(f), "0.0.0.0:4000 [::1]:4001");
    EXPECT_EQ(f.database, "host=db.lab dbname=impix password=secret");
    EXPECT_EQ(f.stateDir, "/srv/spool");
    EXPECT_EQ(f.limits.idleTimeoutS, 30);
    EXPECT_EQ(f.limits.maxReport, 1 << 20);
    EXPECT_EQ(f.limits.maxConnections, 100);
    EXPECT_TRUE(f.acceptUnknown);
    EXPECT_EQ(f.configFile, conf);

    Result<Invocation> over =
        ReadInvocation(Args(conf, {"--listen", ":5000", "--listen", "127.0.0.1:5001", "--state",
                                   "/tmp/s", "--max-report", "2048", "--database", "", "--check"}),
                       env);
    ASSERT_TRUE(over) << over.error().text.toStdString();
    EXPECT_EQ(over->command, Command::Check);
    EXPECT_EQ(Listen(over->settings), "*:5000 127.0.0.1:5001");
    EXPECT_EQ(over->settings.stateDir, "/tmp/s");
    EXPECT_EQ(over->settings.limits.maxReport, 2048);
    EXPECT_EQ(over->settings.database, "");
    EXPECT_EQ(over->settings.limits.idleTimeoutS, 30);

    Result<Invocation> add =
        ReadInvocation(Args("/dev/null", {"--add-logger", "lab-3", "10.0.0.0/24"}), env);
    ASSERT_TRUE(add);
    EXPECT_EQ(add->command, Command::AddLogger);
    EXPECT_EQ(add->loggerName, "lab-3");
    EXPECT_EQ(add->loggerAddress, "10.0.0.0/24");
}

TEST(CollectorSettings, DefaultsAndStateFolder) {
    const struct {
        QStringList env;
        QString state;
    } cases[] = {
        {{"HOME=/home/op"}, "/home/op/.local/state/impix-collector"},
        {{"HOME=/home/op", "XDG_STATE_HOME=/x/state"}, "/x/state/impix-collector"},
        {{"HOME=/home/op", "XDG_STATE_HOME=relative"}, "/home/op/.local/state/impix-collector"},
        {{"STATE_DIRECTORY=/var/lib/impix-collector", "HOME=/"}, "/var/lib/impix-collector"},
    };
    for (const auto& c : cases) {
        Result<Invocation> inv = ReadInvocation(Args("/dev/null", {}), c.env);
        ASSERT_TRUE(inv);
        EXPECT_EQ(inv->settings.stateDir, c.state) << c.env.join(' ').toStdString();
        EXPECT_EQ(Listen(inv->settings), "*:4000");
        EXPECT_EQ(inv->settings.limits.idleTimeoutS, 120);
        EXPECT_EQ(inv->settings.limits.maxReport, int64_t{64} << 20);
        EXPECT_EQ(inv->settings.limits.maxConnections, 4096);
        EXPECT_FALSE(inv->settings.acceptUnknown);
    }
}

TEST(CollectorSettings, MistakesRefusedInOneLine) {
    QTemporaryDir dir;
    auto file = [&](const QByteArray& text) {
        const QString path = dir.filePath(QString::number(qHash(text)));
        WriteAll(path, text);
        return path;
    };
    const struct {
        QStringList args;
        QString says;
    } cases[] = {
        {Args("/dev/null", {"--no-such-option"}), "no-such-option"},
        {Args("/dev/null", {"--listen", "4000"}), "ADDRESS:PORT"},
        {Args("/dev/null", {"--listen", "somewhere:4000"}), "not an IP address"},
        {Args("/dev/null", {"--max-report", "lots"}), "max-report"},
        {Args("/dev/null", {"--max-connections", "0"}), "max-connections"},
        {Args("/dev/null", {"--idle-timeout", "-1"}), "idle-timeout"},
        {Args("/dev/null", {"--add-logger", "lab-3"}), "NAME and ADDRESS"},
        {Args("/dev/null", {"--check", "--reparse"}), "go alone"},
        {Args("/dev/null", {"stray"}), "stray"},
        {Args(dir.filePath("missing.conf"), {}), "missing.conf"},
        {Args(file("colour = blue\n"), {}), ":1: unknown setting 'colour'"},
        {Args(file("# fine\nlisten\n"), {}), ":2: 'listen' is not 'key = value'"},
        {Args(file("accept-unknown = maybe\n"), {}), "neither yes nor no"},
    };
    for (const auto& c : cases) {
        Result<Invocation> inv = ReadInvocation(c.args, {"HOME=/home/op"});
        ASSERT_FALSE(inv) << c.args.join(' ').toStdString();
        EXPECT_TRUE(inv.error().text.contains(c.says)) << inv.error().text.toStdString();
        EXPECT_FALSE(inv.error().text.contains('\n')) << inv.error().text.toStdString();
    }
}
