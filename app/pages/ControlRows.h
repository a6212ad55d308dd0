#pragma once
// Rows of a page's declarative control table: what a control is called, what it says and, for a
// spin edit, its range and default, with the struct member that holds it. A page builder makes
// its controls from its table, and the page test checks the built page against the same table,
// so each fact about a control is written once.
#include <QGridLayout>
#include <span>
#include <type_traits>

#include "app/pages/PageParts.h"
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

// Makes the spin rows on the grid from row 0 on, in the grid's owner, keeping each in its
// member of `c`; returns the next free row.
template <class Page>
int AddSpinRows(QGridLayout* grid, Page& c,
                std::span<const SpinRow<std::type_identity_t<Page>>> rows) {
    int row = 0;
    for (const SpinRow<Page>& s : rows) {
        c.*s.control = MakeSpin(grid->parentWidget(), s.name, s.rules, s.value);
        AddRow(grid, row++, c.*s.control, s.caption, s.unit);
    }
    return row;
}

} // namespace pages
