#pragma once
// The version of the Impix II programs, set by the build from the project's version (the one
// place it is written).
#include <QString>

// The version alone, e.g. "3.2.0".
QString ProgramVersion();
// Its major and minor numbers, e.g. 3 and 2, as the window's caption shows them.
int ProgramMajorVersion();
int ProgramMinorVersion();
// The two together, e.g. "3.2", as each archive session records the console's version.
QString ProgramShortVersion();
// What --version prints: "<program> <version>" and a line end.
QString VersionLine(const QString& program);
