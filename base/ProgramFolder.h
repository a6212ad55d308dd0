#pragma once
#include <QString>

// The folder that holds the running program, always ending in a path separator.
QString ProgramFolder();
