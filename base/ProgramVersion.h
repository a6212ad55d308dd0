#pragma once
// The version of the Impix II programs, set by the build from the project's version.
#include <QString>

// The version alone, e.g. "3.2.0".
QString ProgramVersion();
// What --version prints: "<program> <version>" and a line end.
QString VersionLine(const QString& program);
