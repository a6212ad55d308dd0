#pragma once
// The declarative control table of the standard message dialog, in the order the dialog makes
// its controls.
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <tuple>

#include "dialogs/StdDlg.h"
#include "widgets/ControlRows.h"

namespace stddlgcontrols {

using controls::NameRow;

inline constexpr const char* Name = "DForm";

// The notebook and its message page, which holds the rest.
inline constexpr NameRow<TDForm, QStackedWidget> Book{&TDForm::NBook, "NBook"};
inline constexpr NameRow<TDForm, QWidget> Page{&TDForm::StdDlg, "StdDlg"};

// The icons of the message types, one of them shown.
struct IconRow {
    NameRow<TDForm, QLabel> row;
    QStyle::StandardPixmap pixmap;
};
inline constexpr IconRow Icons[] = {
    {{&TDForm::imI, "imI"}, QStyle::SP_MessageBoxInformation},
    {{&TDForm::imQ, "imQ"}, QStyle::SP_MessageBoxQuestion},
    {{&TDForm::imW, "imW"}, QStyle::SP_MessageBoxWarning},
    {{&TDForm::imE, "imE"}, QStyle::SP_MessageBoxCritical},
};

inline constexpr NameRow<TDForm, QLabel> Info{&TDForm::lInfo, "lInfo"};
// Left to right as the layout places the visible ones.
inline constexpr NameRow<TDForm, QPushButton> Buttons[] = {
    {&TDForm::bt1, "bt1"},
    {&TDForm::bt2, "bt2"},
    {&TDForm::bt3, "bt3"},
};

inline constexpr std::tuple All{Book,         Page, Icons[0].row, Icons[1].row, Icons[2].row,
                                Icons[3].row, Info, Buttons[0],   Buttons[1],   Buttons[2]};

} // namespace stddlgcontrols
