#pragma once
// Rows of a page's declarative control table: what a control is called, what it says and, for a
// spin edit, its range and default, with the struct member that holds it. A page builder makes
// its controls from its table, and the page test checks the built page against the same table,
// so each fact about a control is written once. The kinds dialogs share with the pages are in
// widgets/ControlRows.h.
#include <QGridLayout>
#include <QString>
#include <span>
#include <type_traits>

#include "app/pages/PageParts.h"
#include "base/SpinValue.h"
#include "widgets/ControlRows.h"

class FileNameEdit;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SpinEdit;

namespace pages {

// A spin edit on a grid row, with its caption label ("<name>Caption") and unit label
// ("<name>Unit"); an empty text makes no label. A builder that places a row itself may give
// its caption label another name (`captionName`).
template <class Page> struct SpinRow {
    SpinEdit* Page::*control;
    const char* name;
    const char* caption;
    const char* unit;
    SpinValue rules;
    double value;
    const char* captionName = nullptr;
};

// A label that shows a value (`shown` until one arrives), with its caption label, named
// "<name>Caption" unless `captionName` names it.
template <class Page> struct ShownRow {
    QLabel* Page::*control;
    const char* name;
    const char* caption;
    const char* captionName = nullptr;
    const char* shown = "X";
};

// A line edit on a grid row with its default text and its caption label ("<name>Caption").
template <class Page> struct EditRow {
    QLineEdit* Page::*control;
    const char* name;
    const char* text;
    const char* caption;
};

// A control that shows a fixed text: a label, a button, a check box (made unchecked).
template <class Page, class Widget> using TextRow = controls::TextRow<Page, Widget>;
template <class Page> using LabelRow = TextRow<Page, QLabel>;
template <class Page> using ButtonRow = TextRow<Page, QPushButton>;
template <class Page> using CheckRow = TextRow<Page, QCheckBox>;

// A group box with its title ("&&" shows as one "&"), kept in the page struct's member
// `control` where the row names one.
template <class Page> struct GroupRow {
    const char* name;
    const char* title;
    QGroupBox* Page::*control = nullptr;
};

template <class Page> using RadioRow = controls::RadioRow<Page>;

// A file-name edit whose browse button saves (or opens, when `save` is false) with the filter.
template <class Page> struct FileRow {
    FileNameEdit* Page::*control;
    const char* name;
    bool save;
    QString filter;
};

template <class Page> QGroupBox* MakeGroup(QWidget* parent, Page& c, const GroupRow<Page>& g) {
    QGroupBox* w = MakeGroup(parent, g.name, g.title);
    if (g.control != nullptr)
        c.*g.control = w;
    return w;
}

template <class Page> RadioGroup* MakeRadio(QWidget* parent, Page& c, const RadioRow<Page>& r) {
    return controls::Make(c, r, parent);
}

template <class Page> FileNameEdit* MakeFileName(QWidget* parent, Page& c, const FileRow<Page>& f) {
    return c.*f.control = MakeFileName(parent, f.name, f.save, f.filter);
}

inline void MakeControl(QWidget* owner, QLabel*& w, const char* name, const char* text) {
    w = MakeLabel(owner, name, text);
}
inline void MakeControl(QWidget* owner, QPushButton*& w, const char* name, const char* text) {
    w = MakeButton(owner, name, text);
}
inline void MakeControl(QWidget* owner, QCheckBox*& w, const char* name, const char* text) {
    w = MakeCheck(owner, name, text);
}

// Makes the controls of the text rows in `owner`, in the table's order, keeping each in its
// member of `c`; the builder places them.
template <class Page, class Rows> void MakeTextRows(QWidget* owner, Page& c, const Rows& rows) {
    for (const auto& r : rows)
        MakeControl(owner, c.*r.control, r.name, r.text);
}

// Makes the edit rows on the grid from row `row` on, in the grid's owner, keeping each in its
// member of `c`; returns the next free row.
template <class Page>
int AddEditRows(QGridLayout* grid, Page& c,
                std::span<const EditRow<std::type_identity_t<Page>>> rows, int row = 0) {
    for (const EditRow<Page>& e : rows) {
        c.*e.control = MakeEdit(grid->parentWidget(), e.name, e.text);
        AddRow(grid, row++, c.*e.control, e.caption);
    }
    return row;
}

template <class Page> QString CaptionName(const ShownRow<Page>& s) {
    return s.captionName != nullptr ? QString(s.captionName) : QString(s.name) + "Caption";
}

// Makes the shown rows on the grid from row `row` on, in the grid's owner: the caption label in
// column 0, the value beside it; keeps each value in its member of `c` and returns the next free
// row.
template <class Page>
int AddShownRows(QGridLayout* grid, Page& c,
                 std::span<const ShownRow<std::type_identity_t<Page>>> rows, int row) {
    QWidget* owner = grid->parentWidget();
    for (const ShownRow<Page>& s : rows) {
        grid->addWidget(MakeLabel(owner, CaptionName(s), s.caption), row, 0);
        grid->addWidget(c.*s.control = MakeLabel(owner, s.name, s.shown), row++, 1);
    }
    return row;
}

// Makes the spin edits of the rows in `owner`, in the table's order, keeping each in its member
// of `c`; for rows without caption or unit, which the builder places.
template <class Page, class Rows> void MakeSpins(QWidget* owner, Page& c, const Rows& rows) {
    for (const auto& s : rows)
        c.*s.control = MakeSpin(owner, s.name, s.rules, s.value);
}

// Makes the spin rows on the grid from row `row` on, in the grid's owner, keeping each in its
// member of `c`; returns the next free row.
template <class Page>
int AddSpinRows(QGridLayout* grid, Page& c,
                std::span<const SpinRow<std::type_identity_t<Page>>> rows, int row = 0) {
    for (const SpinRow<Page>& s : rows) {
        c.*s.control = MakeSpin(grid->parentWidget(), s.name, s.rules, s.value);
        AddRow(grid, row++, c.*s.control, s.caption, s.unit);
    }
    return row;
}

} // namespace pages
