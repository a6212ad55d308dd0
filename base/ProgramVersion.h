#pragma once
// The version of the Impix II programs, set by the build from the project's version.
#include <QString>

// What --version prints: "<program> <version>" and a line end.
QString VersionLine(const QString& program);
