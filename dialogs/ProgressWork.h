#pragma once
// Runs long work on a thread of its own while the event loop goes on, and returns when the work
// has ended: the caller, and a script's next line (which waits for a command to return), see the
// outcome at once. Past about a second a progress dialog shows `label`, how much of `total` is
// done, and "Cancel". The dialog is not modal: the window stays in use meanwhile, so the work
// must read only what cannot change under it (a snapshot).
#include <QString>
#include <cstdint>
#include <functional>

#include "base/WorkProgress.h"

class QWidget;

// `work` returns false when it stopped on the cancel request; what it throws is rethrown here.
// Returns what `work` returned. Work that cannot stop midway shows no "Cancel" (`cancellable`).
bool RunWithProgress(QWidget* parent, const QString& label, int64_t total,
                     const std::function<bool(WorkProgress&)>& work, bool cancellable = true);
