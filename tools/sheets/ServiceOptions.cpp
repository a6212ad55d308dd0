#include "ServiceOptions.h"

namespace sheets {

const char* const ServiceUsage =
    "usage: impix-sheets [--letters XY] [--idle-exit-ms N] [--session-idle-ms N]\n"
    "                    [--cell-limit-mib N] [--verbose]\n"
    "  The spreadsheet service \"Excel\" of the Impix II console.\n"
    "  --letters XY        answer with X for rows and Y for columns (default RC)\n"
    "  --idle-exit-ms N    exit after N ms without a session (default 60000)\n"
    "  --session-idle-ms N close a session whose client is silent N ms (default 600000)\n"
    "  --cell-limit-mib N  keep at most N MiB of cells in all open workbooks (default 192)\n"
    "  --verbose           log sessions, conversations and commands on standard error\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n"
    "  An unknown option, a missing or bad value is refused with one line on standard\n"
    "  error and exit status 2.\n";

Result<ServiceOptions> ParseServiceOptions(const QStringList& args) {
    ServiceOptions out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool takesValue =
            a == QLatin1String("--letters") || a == QLatin1String("--idle-exit-ms") ||
            a == QLatin1String("--session-idle-ms") || a == QLatin1String("--cell-limit-mib");
        if (takesValue && i + 1 >= args.size()) {
            return Fail(QStringLiteral("%1 needs a value").arg(a));
        }
        if (a == QLatin1String("--verbose")) {
            out.verbose = true;
        } else if (a == QLatin1String("--letters")) {
            const QString v = args[++i];
            if (v.size() != 2 || !v[0].isLetter() || !v[1].isLetter() ||
                v[0].toUpper() == v[1].toUpper()) {
                return Fail(QStringLiteral("--letters takes two different letters, not %1").arg(v));
            }
            out.letters = {v[0].toUpper(), v[1].toUpper()};
        } else if (a == QLatin1String("--idle-exit-ms")) {
            bool ok = false;
            out.idleExitMs = args[++i].toInt(&ok);
            if (!ok || out.idleExitMs < 0) {
                return Fail(QStringLiteral("--idle-exit-ms takes a count of milliseconds"));
            }
        } else if (a == QLatin1String("--session-idle-ms")) {
            bool ok = false;
            out.sessionIdleMs = args[++i].toInt(&ok);
            if (!ok || out.sessionIdleMs <= 0) {
                return Fail(QStringLiteral("--session-idle-ms takes a count of milliseconds"));
            }
        } else if (a == QLatin1String("--cell-limit-mib")) {
            bool ok = false;
            const uint v = args[++i].toUInt(&ok);
            if (!ok || v == 0 || v > 4096) {
                return Fail(QStringLiteral("--cell-limit-mib takes a count of MiB from 1 to 4096"));
            }
            out.cellBytes = uint64_t(v) << 20;
        } else {
            return Fail(QStringLiteral("unknown option %1").arg(a));
        }
    }
    return out;
}

} // namespace sheets
