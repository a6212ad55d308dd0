#pragma once
// Chosen sweeps as a workbook (.xlsx): one sheet per sweep, "Sweep 1", "Sweep 2", ..., with the
// lines the CSV puts in comments above the point rows (the same columns), a Bode chart (|Z|
// against the frequency, both on log axes) and a Nyquist chart (X against R, X downward so that
// a capacitive arc rises). Written straight to the file, without the spreadsheet program.
#include <QString>
#include <vector>

#include "base/Result.h"
#include "sweep/Sweep.h"

// Writes the workbook to path, replacing an earlier file only once the new one is complete.
// Returns the number of point rows written.
Result<qsizetype> WriteSweepsWorkbook(const QString& path, const std::vector<const Sweep*>& sweeps);
