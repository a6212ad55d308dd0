#include "fleet/FleetConninfo.h"

#include <QFile>

#include "base/FileLocations.h"
#include "base/ReplacingFile.h"
#include "fleet/PgHandle.h"

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
    const QString kept = fleet::WithoutPassword(conninfo);
    if (kept.isEmpty()) {
        QFile::remove(path);
        return {};
    }
    ReplacingFile file(path);
    if (file.Open() && file.Write(kept.toUtf8() + '\n') && file.Commit())
        return {};
    return file.ErrorString();
}
