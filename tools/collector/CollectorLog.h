#pragma once
// The collector's log: one line per event on standard error ("impix-collector: ..."), where
// systemd's journal takes it. Lines from the listener and the two worker threads never mix.
#include <QString>

namespace collector {

void Log(const QString& line);

} // namespace collector
