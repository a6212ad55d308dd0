#include "tools/logger/LoggerOptions.h"

#include <cmath>
#include <random>

#include <QCommandLineParser>
#include <QTimeZone>

#include "base/Failure.h"

namespace logger {

namespace {

double NumberOption(const QCommandLineParser& p, const QString& name, double min, double max) {
    bool ok = false;
    double v = p.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < min || v > max)
        throw Failure(QString("--%1: '%2' is not a number from %3 to %4")
                          .arg(name, p.value(name))
                          .arg(min)
                          .arg(max));
    return v;
}

int IntOption(const QCommandLineParser& p, const QString& name, int min, int max) {
    bool ok = false;
    int v = p.value(name).toInt(&ok);
    if (!ok || v < min || v > max)
        throw Failure(QString("--%1: '%2' is not a whole number from %3 to %4")
                          .arg(name, p.value(name))
                          .arg(min)
                          .arg(max));
    return v;
}

void ReadFleetOptions(const QCommandLineParser& p, FleetOptions& f) {
    const char* fleetOnly[] = {"fleet-address",      "items",   "reports",
                               "report-interval-ms", "retries", "clock-start"};
    if (!p.isSet("fleet")) {
        for (const char* name : fleetOnly)
            if (p.isSet(name))
                throw Failure(QString("--%1 needs --fleet").arg(name));
        return;
    }
    const char* terminalOnly[] = {"link",      "speed",    "period-ms",         "noise",
                                  "noise-any", "pause-ms", "bad-checksum-every"};
    for (const char* name : terminalOnly)
        if (p.isSet(name))
            throw Failure(QString("--%1 is for a logger on a terminal, not a fleet").arg(name));
    f.loggers = IntOption(p, "fleet", 1, 65535);
    if (p.isSet("fleet-address")) {
        f.firstAddress = QHostAddress(p.value("fleet-address"));
        if (f.firstAddress.protocol() != QAbstractSocket::IPv4Protocol)
            throw Failure(QString("--fleet-address: '%1' is not an IPv4 address")
                              .arg(p.value("fleet-address")));
    }
    if (uint64_t{f.firstAddress.toIPv4Address()} + static_cast<uint64_t>(f.loggers) > 0xFFFFFFFFu)
        throw Failure(QStringLiteral("--fleet: the addresses run past 255.255.255.255"));
    if (p.isSet("items"))
        f.items = IntOption(p, "items", 0, 1 << 20);
    if (p.isSet("reports"))
        f.reports = IntOption(p, "reports", 1, 1000000);
    if (p.isSet("report-interval-ms"))
        f.intervalMs = IntOption(p, "report-interval-ms", 0, 86400000);
    if (p.isSet("retries"))
        f.retries = IntOption(p, "retries", 0, 1000000);
    if (p.isSet("clock-start")) {
        f.clockStart = QDateTime::fromString(p.value("clock-start"), Qt::ISODate);
        f.clockStart.setTimeZone(QTimeZone::utc());
        if (!f.clockStart.isValid())
            throw Failure(QString("--clock-start: '%1' is not a time yyyy-MM-ddTHH:mm:ss")
                              .arg(p.value("clock-start")));
    }
}

} // namespace

LoggerOptions ParseOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(
        "Impix II logger emulator: a logger on a pseudo-terminal, for demos, training and tests.\n"
        "An unknown option, a missing or bad value is refused with one line on standard error\n"
        "and exit status 2.");
    p.addHelpOption();
    p.addOption({"version", "Print the version and exit."});
    p.addOptions({
        {"link", "Point the symbolic link PATH at the terminal (made on start, removed on exit).",
         "PATH"},
        {"speed", "Run the logger's clock F times faster than real time (default 1).", "F"},
        {"period-ms", "Measure every N real milliseconds instead of every measuring period.", "N"},
        {"report-host", "Send GPRS reports to host H instead of the configured server address.",
         "H"},
        {"report-port", "TCP port of the report server (default 4000).", "P"},
        {"report-all", "Send every stored item in each report, not only the ones not yet sent."},
        {"retry-delay-ms", "Pause before retrying a failed report (default 3000).", "MS"},
        {"noise", "Send N random bytes before each answer (never 0x5A unless --noise-any).", "N"},
        {"noise-any", "Let noise bytes include 0x5A, the answers' start byte."},
        {"bad-checksum-every", "Give every N-th answer a wrong checksum.", "N"},
        {"pause-ms", "Pause MS milliseconds after the first half of each answer.", "MS"},
        {"seed", "Seed of the synthetic measurements and the noise (default random).", "S"},
        {"verbose", "Log requests, link errors and reports on standard error."},
        {"dump-items",
         "Write the stored items to FILE as the console's text file lines, on SIGUSR1 and on "
         "exit.",
         "FILE"},
        {"fleet",
         "Run N emulated loggers that report over TCP, each from its own local address, instead "
         "of a logger on a terminal.",
         "N"},
        {"fleet-address",
         "Fleet: the first logger's local address; logger k uses it plus k "
         "(default 127.1.0.1).",
         "A"},
        {"items", "Fleet: new measurements each logger sends in a report (default 2000).", "N"},
        {"reports", "Fleet: reports each logger sends (default 1).", "N"},
        {"report-interval-ms", "Fleet: pause between a logger's reports (default 1000).", "MS"},
        {"retries", "Fleet: retries of a failed report (default 3).", "N"},
        {"clock-start",
         "Fleet: the loggers' first measurement, yyyy-MM-ddTHH:mm:ss (default now); two fleets "
         "with the same seed and start send the same measurements.",
         "TIME"},
    });
    if (!p.parse(arguments))
        throw Failure(p.errorText());
    if (!p.positionalArguments().isEmpty())
        throw Failure(QString("unexpected argument '%1'").arg(p.positionalArguments().first()));

    LoggerOptions o;
    if (p.isSet("help") || p.isSet("help-all")) {
        o.help = true;
        o.helpText = p.helpText();
        return o;
    }
    if (p.isSet("version")) {
        o.version = true;
        return o;
    }
    o.linkPath = p.value("link");
    if (p.isSet("speed"))
        o.speed = NumberOption(p, "speed", 1e-3, 1e6);
    if (p.isSet("period-ms"))
        o.periodMs = IntOption(p, "period-ms", 1, 86400000);
    o.reportHost = p.value("report-host");
    if (p.isSet("report-port"))
        o.reportPort = static_cast<quint16>(IntOption(p, "report-port", 1, 65535));
    o.reportAll = p.isSet("report-all");
    if (p.isSet("retry-delay-ms"))
        o.retryDelayMs = IntOption(p, "retry-delay-ms", 0, 3600000);
    if (p.isSet("noise"))
        o.faults.noiseBytes = IntOption(p, "noise", 0, 10000);
    o.faults.noiseMayStartFrame = p.isSet("noise-any");
    if (p.isSet("bad-checksum-every"))
        o.faults.badChecksumEvery = IntOption(p, "bad-checksum-every", 0, 1000000000);
    if (p.isSet("pause-ms"))
        o.faults.pauseMs = IntOption(p, "pause-ms", 0, 600000);
    if (p.isSet("seed")) {
        bool ok = false;
        o.seed = p.value("seed").toULongLong(&ok);
        if (!ok)
            throw Failure(QString("--seed: '%1' is not a whole number").arg(p.value("seed")));
    } else {
        std::random_device device;
        o.seed = (uint64_t{device()} << 32) | device();
    }
    o.verbose = p.isSet("verbose");
    o.dumpItemsPath = p.value("dump-items");
    ReadFleetOptions(p, o.fleet);
    return o;
}

} // namespace logger
