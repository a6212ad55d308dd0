#include "tools/collector/CollectorSettings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace collector {

namespace {

const QStringList FileKeys = {"listen",     "database",        "state",         "idle-timeout",
                              "max-report", "max-connections", "accept-unknown"};

Result<int> WholeNumber(const QString& key, const QString& value, int min, int max) {
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok || v < min || v > max)
        return Fail(QString("%1: '%2' is not a whole number from %3 to %4")
                        .arg(key, value)
                        .arg(min)
                        .arg(max));
    return v;
}

Result<bool> YesNo(const QString& key, const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == "yes" || v == "true" || v == "1" || v == "on")
        return true;
    if (v == "no" || v == "false" || v == "0" || v == "off")
        return false;
    return Fail(QString("%1: '%2' is neither yes nor no").arg(key, value));
}

// One setting, from the file or the command line; "listen" is handled by the caller.
Result<void> Apply(const QString& key, const QString& value, CollectorSettings& s) {
    if (key == "database") {
        s.database = value;
    } else if (key == "state") {
        if (value.trimmed().isEmpty())
            return Fail(QStringLiteral("state: an empty folder name"));
        s.stateDir = value.trimmed();
    } else if (key == "idle-timeout") {
        Result<int> v = WholeNumber(key, value, 1, 86400);
        if (!v)
            return tl::unexpected(v.error());
        s.limits.idleTimeoutS = *v;
    } else if (key == "max-report") {
        Result<int64_t> v = ParseSize(value);
        if (!v || *v < 11 || *v > (int64_t{1} << 30))
            return Fail(QString("max-report: '%1' is not a size from 11 bytes to 1G").arg(value));
        s.limits.maxReport = *v;
    } else if (key == "max-connections") {
        Result<int> v = WholeNumber(key, value, 1, 1000000);
        if (!v)
            return tl::unexpected(v.error());
        s.limits.maxConnections = *v;
    } else if (key == "accept-unknown") {
        Result<bool> v = YesNo(key, value);
        if (!v)
            return tl::unexpected(v.error());
        s.acceptUnknown = *v;
    }
    return {};
}

Result<void> ReadFile(const QString& path, CollectorSettings& s, std::vector<QString>& listen) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return Fail(QString("%1: %2").arg(path, file.errorString()));
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        QString line = QString::fromUtf8(file.readLine());
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf('=');
        const QString key = line.left(eq).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        const QString where = QString("%1:%2: ").arg(path).arg(number);
        if (eq < 0)
            return Fail(where + QString("'%1' is not 'key = value'").arg(line));
        if (!FileKeys.contains(key))
            return Fail(where + QString("unknown setting '%1'").arg(key));
        if (key == "listen")
            listen.push_back(value);
        else if (Result<void> r = Apply(key, value, s); !r)
            return Fail(where + r.error().text);
    }
    return {};
}

QString Env(const QStringList& environment, const QString& name) {
    for (const QString& e : environment)
        if (e.startsWith(name + '='))
            return e.mid(name.size() + 1);
    return {};
}

QString DefaultState(const QStringList& environment) {
    // systemd's StateDirectory= (the service: /var/lib/impix-collector).
    const QString service = Env(environment, "STATE_DIRECTORY").section(':', 0, 0);
    if (!service.isEmpty())
        return service;
    QString base = Env(environment, "XDG_STATE_HOME");
    if (base.isEmpty() || QFileInfo(base).isRelative())
        base = Env(environment, "HOME") + "/.local/state";
    return base + "/impix-collector";
}

} // namespace

Result<int64_t> ParseSize(const QString& text) {
    static const QRegularExpression form(R"(^\s*(\d+)\s*([KMG]?)(?:i?B)?\s*$)",
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    bool ok = false;
    const int64_t n = m.hasMatch() ? m.captured(1).toLongLong(&ok) : 0;
    if (!ok || n > (int64_t{1} << 40))
        return Fail(QString("'%1' is not a size").arg(text));
    const QString unit = m.captured(2).toUpper();
    const int shift = unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : 0;
    return n << shift;
}

Result<ListenAddress> ParseListenAddress(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype colon = t.lastIndexOf(':');
    bool ok = false;
    const int port = colon < 0 ? 0 : t.mid(colon + 1).toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        return Fail(QString("listen: '%1' is not ADDRESS:PORT").arg(text));
    QString host = t.left(colon);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    ListenAddress a;
    a.port = static_cast<quint16>(port);
    if (host.isEmpty() || host == "*")
        return a;
    a.address = QHostAddress(host);
    if (a.address.isNull())
        return Fail(QString("listen: '%1' is not an IP address").arg(host));
    return a;
}

QString ListenAddressText(const ListenAddress& a) {
    if (a.address == QHostAddress::Any)
        return QString("*:%1").arg(a.port);
    if (a.address.protocol() == QAbstractSocket::IPv6Protocol)
        return QString("[%1]:%2").arg(a.address.toString()).arg(a.port);
    return QString("%1:%2").arg(a.address.toString()).arg(a.port);
}

Result<Invocation> ReadInvocation(const QStringList& arguments, const QStringList& environment) {
    QCommandLineParser p;
    p.setApplicationDescription(
        "Impix II fleet collector: takes the GPRS reports of many loggers over TCP and stores "
        "them in PostgreSQL, spooling them on disk first.\n\n"
        "  impix-collector [OPTION...]                 run the collector\n"
        "  impix-collector --check                     show the settings, try the database\n"
        "  impix-collector --add-logger NAME ADDRESS   register a logger (IP or CIDR range)\n"
        "  impix-collector --reparse                   parse every kept report again\n"
        "An unknown option or setting, a missing or bad value is refused with one line on\n"
        "standard error and exit status 2.");
    p.addHelpOption();
    p.addOption({"version", "Print the version and exit."});
    p.addOptions({
        {"listen",
         "Take reports on ADDRESS:PORT (default *:4000, every address); may be given "
         "several times.",
         "ADDRESS:PORT"},
        {"database",
         "libpq connection string or URI (default: libpq's environment, PGHOST, "
         "PGDATABASE, ..., and its service file).",
         "CONNINFO"},
        {"state",
         "The spool's folder (default $STATE_DIRECTORY, /var/lib/impix-collector for "
         "the service, else $XDG_STATE_HOME/impix-collector).",
         "DIR"},
        {"config",
         QString("Read the settings from FILE (default %1, when it exists).")
             .arg(DefaultConfigFile),
         "FILE"},
        {"idle-timeout", "Close a connection that sent nothing for SECONDS (default 120).",
         "SECONDS"},
        {"max-report", "Cut a report at SIZE bytes (default 64M).", "SIZE"},
        {"max-connections", "Take at most N connections at once (default 4096).", "N"},
        {"accept-unknown", "Register a peer that no logger matches on its first report, named "
                           "after its address."},
        {"check", "Print the settings, reach the database and say in one line what is wrong."},
        {"add-logger", "Register the logger NAME at ADDRESS (an IP address or a CIDR range) and "
                       "file the reports kept from it."},
        {"reparse", "Parse every kept report again, adding the measurements that are missing."},
    });
    if (!p.parse(arguments))
        return Fail(p.errorText());

    Invocation inv;
    if (p.isSet("help")) {
        inv.command = Command::Help;
        inv.helpText = p.helpText();
        return inv;
    }
    if (p.isSet("version")) {
        inv.command = Command::Version;
        return inv;
    }
    const int commands =
        int{p.isSet("check")} + int{p.isSet("add-logger")} + int{p.isSet("reparse")};
    if (commands > 1)
        return Fail(QStringLiteral("--check, --add-logger and --reparse go alone"));
    const QStringList positional = p.positionalArguments();
    if (p.isSet("add-logger")) {
        if (positional.size() != 2)
            return Fail(QStringLiteral("--add-logger needs NAME and ADDRESS"));
        inv.command = Command::AddLogger;
        inv.loggerName = positional[0];
        inv.loggerAddress = positional[1];
    } else if (!positional.isEmpty()) {
        return Fail(QString("unexpected argument '%1'").arg(positional.first()));
    }
    if (p.isSet("check"))
        inv.command = Command::Check;
    if (p.isSet("reparse"))
        inv.command = Command::Reparse;

    CollectorSettings& s = inv.settings;
    s.stateDir = DefaultState(environment);
    std::vector<QString> listen;
    const QString config = p.isSet("config") ? p.value("config") : QString(DefaultConfigFile);
    if (p.isSet("config") || QFileInfo::exists(config)) {
        if (Result<void> r = ReadFile(config, s, listen); !r)
            return tl::unexpected(r.error());
        s.configFile = config;
    }
    for (const QString& key : FileKeys) {
        if (!p.isSet(key))
            continue;
        if (key == "listen") {
            const QStringList values = p.values(key);
            listen.assign(values.begin(), values.end());
        } else if (Result<void> r = Apply(key, key == "accept-unknown" ? "yes" : p.value(key), s);
                   !r)
            return Fail("--" + r.error().text);
    }
    if (!listen.empty()) {
        s.listen.clear();
        for (const QString& text : listen) {
            Result<ListenAddress> a = ParseListenAddress(text);
            if (!a)
                return tl::unexpected(a.error());
            s.listen.push_back(*a);
        }
    }
    return inv;
}

} // namespace collector
