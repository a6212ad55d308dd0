#pragma once
// A client's text as the service quotes it in a reason or a log line: cut short, so that a long
// name or item is never echoed back whole.
#include <QString>
#include <QStringView>

namespace sheets {

// At most 200 characters of it, and how long it was when it was longer.
QString Shown(QStringView text);

} // namespace sheets
