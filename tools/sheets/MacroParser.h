#pragma once
// The macro commands of an execute: "[NAME(args)]" back to back, each argument a double-quoted
// text (a doubled quote inside stands for one quote) or a bare number.
#include <QString>
#include <QStringList>
#include <vector>

#include "base/Result.h"

namespace sheets {

struct Macro {
    QString name; // upper case
    QStringList args;
};

// The macros in order; why not when the text is not a list of them.
Result<std::vector<Macro>> ParseMacros(QStringView text);

} // namespace sheets
