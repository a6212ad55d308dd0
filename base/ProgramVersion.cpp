#include "base/ProgramVersion.h"

QString ProgramVersion() {
    return QStringLiteral(IMPIX_VERSION);
}

QString VersionLine(const QString& program) {
    return program + ' ' + ProgramVersion() + '\n';
}
