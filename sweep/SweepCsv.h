#pragma once
// Chosen sweeps as a CSV file: one row per point, a header naming the columns with their units,
// each sweep's settings (and its fit, when it has one) in comment lines starting with '#'. The
// numbers are written with '.' and as many digits as read back to the same double; a void
// point leaves its values empty (a gap). UTF-8, for the unit symbols.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

#include "base/Result.h"
#include "sweep/Sweep.h"

// What the comment lines say of a sweep, one text each: when it ran and how it ended, its
// settings, its fit (when it has one). A workbook puts the same above each sweep's rows.
QStringList SweepDescription(const Sweep& sweep);
// The column titles of the point rows after "sweep", with their units.
QStringList SweepColumnTitles();

// The file's text. Sweeps are numbered from 1 in the order given (column "sweep").
QByteArray SweepsCsv(const std::vector<const Sweep*>& sweeps);
// Writes that text to path, replacing an earlier file only once the new one is complete.
// Returns the number of point rows written.
Result<qsizetype> WriteSweepsCsv(const QString& path, const std::vector<const Sweep*>& sweeps);
