#include "base/ProgramVersion.h"

QString ProgramVersion() {
    return QStringLiteral(IMPIX_VERSION);
}

int ProgramMajorVersion() {
    return IMPIX_VERSION_MAJOR;
}

int ProgramMinorVersion() {
    return IMPIX_VERSION_MINOR;
}

QString ProgramShortVersion() {
    return QStringLiteral("%1.%2").arg(ProgramMajorVersion()).arg(ProgramMinorVersion());
}

QString VersionLine(const QString& program) {
    return program + ' ' + ProgramVersion() + '\n';
}
