#include "app/ConsoleOptions.h"

#include <QCommandLineParser>

const char kConsoleUsage[] =
    "Usage: impix [--script FILE] [--report-port PORT] [--archive FILE | --no-archive]\n"
    "The operator console of the Impix II impedance data logger.\n"
    "\n"
    "  --script FILE       drive the console by control name, one command a line\n"
    "                      (click, set, page, print, grab, wait, answer, quit)\n"
    "  --report-port PORT  listen for GPRS reports on PORT instead of 4000\n"
    "  --archive FILE      keep the measurement archive in FILE instead of\n"
    "                      $XDG_DATA_HOME/impix/archive.sqlite\n"
    "  --no-archive        keep no measurement archive\n"
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
        {"archive", "", "FILE"},
        {"no-archive", ""},
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
    o.archivePath = p.value("archive");
    o.noArchive = p.isSet("no-archive");
    if (p.isSet("archive") && o.archivePath.isEmpty())
        o.error = QStringLiteral("--archive needs a file");
    if (p.isSet("archive") && o.noArchive)
        o.error = QStringLiteral("--archive and --no-archive exclude each other");
    return o;
}
