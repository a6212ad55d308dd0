#pragma once
// Checks a built window against its declarative control table: every row's control is found
// below the window by its name, is the member the row names and shows the row's text.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>
#include <tuple>

#include "widgets/ControlRows.h"

namespace controlcheck {

inline QString TextOf(const QLabel* w) {
    return w->text();
}
inline QString TextOf(const QAbstractButton* w) {
    return w->text();
}
inline QString TextOf(const QGroupBox* w) {
    return w->title();
}

template <class Owner, class Widget>
void ExpectRow(const QWidget* root, const Owner& owner, const controls::NameRow<Owner, Widget>& r) {
    SCOPED_TRACE(r.name);
    EXPECT_NE(owner.*r.control, nullptr);
    EXPECT_EQ(root->findChild<QWidget*>(r.name), owner.*r.control);
}

template <class Owner, class Widget>
void ExpectRow(const QWidget* root, const Owner& owner, const controls::TextRow<Owner, Widget>& r) {
    ExpectRow(root, owner, controls::NameRow<Owner, Widget>{r.control, r.name});
    if (owner.*r.control != nullptr) {
        EXPECT_EQ(TextOf(owner.*r.control), QString(r.text)) << r.name;
    }
}

// The caption and the items; the choice is the window's to show.
template <class Owner>
void ExpectRow(const QWidget* root, const Owner& owner, const controls::RadioRow<Owner>& r) {
    ExpectRow(root, owner, controls::NameRow<Owner, RadioGroup>{r.control, r.name});
    if (const RadioGroup* g = owner.*r.control) {
        EXPECT_EQ(g->title(), QString(r.caption)) << r.name;
        EXPECT_EQ(g->Items(), r.items) << r.name;
        EXPECT_EQ(g->Columns(), r.columns) << r.name;
    }
}

// Every row of a table given as a tuple of rows.
template <class Owner, class... Rows>
void ExpectRows(const QWidget* root, const Owner& owner, const std::tuple<Rows...>& rows) {
    std::apply([&](const auto&... r) { (ExpectRow(root, owner, r), ...); }, rows);
}

} // namespace controlcheck
