#pragma once
// Rows of a page's declarative control table: what a control is called, what it says and, for a
// spin edit, its range and default, with the struct member that holds it. A page builder makes
// its controls from its table, and the page test checks the built page against the same table,
// so each fact about a control is written once.
#include "base/SpinValue.h"

class QLabel;
class SpinEdit;

namespace pages {

// A spin edit on a grid row, with its caption label ("<name>Caption") and, where `unit` is not
// empty, its unit label ("<name>Unit").
template <class Page> struct SpinRow {
    SpinEdit* Page::*control;
    const char* name;
    const char* caption;
    const char* unit;
    SpinValue rules;
    double value;
};

// A label that shows a value ("X" until one arrives), with its caption label ("<name>Caption").
template <class Page> struct ShownRow {
    QLabel* Page::*control;
    const char* name;
    const char* caption;
};

} // namespace pages
