#pragma once
// The macro commands of an execute: "[NAME(args)]" back to back, each argument a double-quoted
// text (a doubled quote inside stands for one quote) or a bare number.
#include <QString>
#include <QStringList>
#include <vector>

namespace sheets {

struct Macro {
    QString name; // upper case
    QStringList args;
};

struct MacroList {
    std::vector<Macro> macros;
    QString error; // why the text is not a list of macros; empty when it is
};

MacroList ParseMacros(QStringView text);

} // namespace sheets
