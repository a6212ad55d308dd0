#pragma once
#include <QString>

// A file whose permission bits let no one write it. Files the console replaces by a rename are
// checked with this first, so that a read-only file is refused as it would be when opened for
// writing, also for the superuser.
bool IsReadOnlyFile(const QString& path);
