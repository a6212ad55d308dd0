#pragma once
// Rows of a declarative control table: the member of a window's struct or class that holds a
// control, the control name it goes by (scripts and tests find controls by it) and, for a
// control that shows a fixed text, that text. The code that builds a window makes each control
// from its row, and the window's test checks the built window against the same rows, so each
// fact about a control is written once. Dialogs, widgets and the main window's pages share
// these kinds.
#include <QString>
#include <QStringList>
#include <utility>

#include "widgets/RadioGroup.h"

namespace controls {

// A control known by its name; its builder gives it the rest.
template <class Owner, class Widget> struct NameRow {
    Widget* Owner::*control;
    const char* name;
};

// A control that shows a fixed text: a label, a button, a check box, a menu item, a page's tab.
template <class Owner, class Widget> struct TextRow {
    Widget* Owner::*control;
    const char* name;
    const char* text;
};

// A radio group: its caption, its items and the item chosen at first (-1 none), laid out in
// `columns` columns.
template <class Owner> struct RadioRow {
    RadioGroup* Owner::*control;
    const char* name;
    const char* caption;
    QStringList items;
    int itemIndex = -1;
    int columns = 1;
};

// Makes the row's control from the widget's other constructor arguments (the parent last),
// names it and keeps it in its member of `owner`.
template <class Owner, class Widget, class... Args>
Widget* Make(Owner& owner, const NameRow<Owner, Widget>& row, Args&&... args) {
    auto* w = new Widget(std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(row.name));
    return owner.*row.control = w;
}

// The same for a control with a text, which its constructor takes first.
template <class Owner, class Widget, class... Args>
Widget* Make(Owner& owner, const TextRow<Owner, Widget>& row, Args&&... args) {
    auto* w = new Widget(QString::fromUtf8(row.text), std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(row.name));
    return owner.*row.control = w;
}

template <class Owner> RadioGroup* Make(Owner& owner, const RadioRow<Owner>& row, QWidget* parent) {
    auto* w = new RadioGroup(QString::fromUtf8(row.caption), row.items, parent);
    w->setObjectName(QString::fromLatin1(row.name));
    w->SetColumns(row.columns);
    w->SetItemIndex(row.itemIndex);
    return owner.*row.control = w;
}

} // namespace controls
