#pragma once
// The collector's one-shot commands, each returning the program's exit status (0 done, 1 failed,
// with the reason in one line on standard error):
//   --check       prints the settings, reaches the database, says what is wrong
//   --add-logger  registers a logger and files the reports kept from its address
//   --reparse     parses every kept report again, adding what is missing
#include "tools/collector/CollectorSettings.h"

namespace collector {

int RunCheck(const CollectorSettings& settings);
int RunAddLogger(const CollectorSettings& settings, const QString& name, const QString& address);
int RunReparse(const CollectorSettings& settings);

} // namespace collector
