#pragma once
// The runtime's input/output failure texts for a system error number ("File not found", ...),
// shown when a file of the operator's choice cannot be read.
#include <QString>

QString RuntimeIoText(int error);
