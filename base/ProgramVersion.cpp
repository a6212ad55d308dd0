#include "base/ProgramVersion.h"

QString VersionLine(const QString& program) {
    return program + QStringLiteral(" " IMPIX_VERSION "\n");
}
