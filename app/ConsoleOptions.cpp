#include "app/ConsoleOptions.h"

#include <QCommandLineParser>

namespace {
// A day: a longer silence is no report in progress.
constexpr uint MaxIdleSeconds = 86400;
} // namespace

const char kConsoleUsage[] =
    "Usage: impix [--script FILE] [--report-port PORT] [--report-listen ADDR]\n"
    "             [--report-allow CIDR[,CIDR...]] [--report-idle-timeout SEC]\n"
    "             [--archive FILE | --no-archive] [--fleet CONNINFO]\n"
    "The operator console of the Impix II impedance data logger.\n"
    "\n"
    "  --script FILE       drive the console by control name, one command a line\n"
    "                      (click, set, page, print, grab, wait, answer, quit)\n"
    "  --report-port PORT  listen for GPRS reports on PORT instead of 4000\n"
    "  --report-listen ADDR\n"
    "                      listen on the one numeric IPv4 or IPv6 address ADDR\n"
    "                      instead of every IPv4 address (:: takes IPv4 and IPv6)\n"
    "  --report-allow CIDR[,CIDR...]\n"
    "                      take reports only from these senders (10.0.0.0/8,\n"
    "                      2001:db8::/32; a bare address is that one sender);\n"
    "                      others are closed unread and counted\n"
    "  --report-idle-timeout SEC\n"
    "                      close a report sender that sends nothing for SEC\n"
    "                      seconds, 1 to 86400 (default 120)\n"
    "  --archive FILE      keep the measurement archive in FILE instead of\n"
    "                      $XDG_DATA_HOME/impix/archive.sqlite\n"
    "  --no-archive        keep no measurement archive\n"
    "  --fleet CONNINFO    read the fleet collector's PostgreSQL database (a libpq\n"
    "                      connection string) in the window \"Fleet...\"\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Qt's own options (such as -platform offscreen) are taken too. An unknown option,\n"
    "a missing or bad value is refused before anything starts, with one line on\n"
    "standard error and exit status 2. See impix(1).\n";

ConsoleOptions ParseConsoleOptions(const QStringList& arguments) {
    QCommandLineParser p;
    // "-script x" is the long option, not -s -c -r...
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions({
        {"script", "", "FILE"},
        {"report-port", "", "PORT"},
        {"report-listen", "", "ADDR"},
        {"report-allow", "", "CIDR"},
        {"report-idle-timeout", "", "SEC"},
        {"archive", "", "FILE"},
        {"no-archive", ""},
        {"fleet", "", "CONNINFO"},
    });
    ConsoleOptions o;
    if (!p.parse(arguments)) {
        o.error = p.errorText();
        return o;
    }
    if (!p.positionalArguments().isEmpty()) {
        o.error = QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first());
        return o;
    }
    o.scriptPath = p.value("script");
    if (p.isSet("script") && o.scriptPath.isEmpty())
        o.error = QStringLiteral("--script needs a file");
    if (p.isSet("report-port")) {
        bool ok = false;
        const uint port = p.value("report-port").toUInt(&ok);
        if (!ok || port < 1 || port > 65535)
            o.error = QStringLiteral("--report-port needs a port number from 1 to 65535, not '%1'")
                          .arg(p.value("report-port"));
        else
            o.reportPort = static_cast<quint16>(port);
    }
    if (p.isSet("report-listen")) {
        o.reportListen = ParseNumericAddress(p.value("report-listen"));
        if (o.reportListen.isNull())
            o.error =
                QStringLiteral("--report-listen needs a numeric IPv4 or IPv6 address, not '%1'")
                    .arg(p.value("report-listen"));
    }
    if (p.isSet("report-allow")) {
        const QString list = p.values("report-allow").join(u',');
        const std::optional<AllowedPeers> allow = AllowedPeers::Parse(list);
        if (allow)
            o.reportAllow = *allow;
        else
            o.error = QStringLiteral("--report-allow needs addresses or ranges such as 10.0.0.0/8 "
                                     "or 2001:db8::/32, separated by commas, not '%1'")
                          .arg(list);
    }
    if (p.isSet("report-idle-timeout")) {
        bool ok = false;
        const uint seconds = p.value("report-idle-timeout").toUInt(&ok);
        if (!ok || seconds < 1 || seconds > MaxIdleSeconds)
            o.error = QStringLiteral("--report-idle-timeout needs seconds from 1 to %1, not '%2'")
                          .arg(MaxIdleSeconds)
                          .arg(p.value("report-idle-timeout"));
        else
            o.reportIdleSeconds = static_cast<int>(seconds);
    }
    o.archivePath = p.value("archive");
    o.noArchive = p.isSet("no-archive");
    if (p.isSet("archive") && o.archivePath.isEmpty())
        o.error = QStringLiteral("--archive needs a file");
    if (p.isSet("archive") && o.noArchive)
        o.error = QStringLiteral("--archive and --no-archive exclude each other");
    o.fleetGiven = p.isSet("fleet");
    o.fleet = p.value("fleet").trimmed();
    return o;
}
