#include "fleet/FleetConninfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "base/FileLocations.h"
#include "base/ReplacingFile.h"

namespace {

// The connection string as it may be kept on disk: every password= setting taken out (a
// password belongs in ~/.pgpass), URIs as well as key=value strings.
QString WithoutPassword(const QString& conninfo) {
    const QString trimmed = conninfo.trimmed();
    if (trimmed.startsWith("postgresql://") || trimmed.startsWith("postgres://")) {
        QUrl url(trimmed);
        url.setPassword({});
        QUrlQuery query(url);
        query.removeAllQueryItems("password");
        url.setQuery(query);
        return url.toString();
    }
    // key = value pairs; a value may be quoted with '' and hold \' and \\.
    static const QRegularExpression password(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'?|\S*))");
    return QString(trimmed).remove(password).simplified();
}

} // namespace

QString FleetConninfoPath() {
    return ImpixPath(Place::Config, QStringLiteral("fleet.conninfo"));
}

QString ReadFleetConninfo(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(64 * 1024)).section(u'\n', 0, 0).trimmed();
}

QString SaveFleetConninfo(const QString& path, const QString& conninfo) {
    const QString kept = WithoutPassword(conninfo);
    if (kept.isEmpty()) {
        QFile::remove(path);
        return {};
    }
    const Result<void> written = ReplacingFile::WriteWhole(path, kept.toUtf8() + '\n');
    return written ? QString() : written.error().text;
}
