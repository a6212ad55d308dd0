#pragma once
// The declarative control table of "History", in the order the dialog makes its controls.
#include <QListWidget>
#include <QPushButton>
#include <tuple>

#include "dialogs/HistoryDlg.h"
#include "widgets/ControlRows.h"

namespace historydlg {

inline constexpr const char* Name = "HistoryDlg";
inline constexpr const char* Title = "History";

inline constexpr controls::NameRow<HistoryDlg, QListWidget> Sessions{&HistoryDlg::SessionLst,
                                                                     "SessionLst"};
inline constexpr controls::TextRow<HistoryDlg, QPushButton> Load{&HistoryDlg::LoadBtn, "LoadBtn",
                                                                 "Load"};
inline constexpr controls::TextRow<HistoryDlg, QPushButton> Cancel{&HistoryDlg::CancelBtn,
                                                                   "CancelBtn", "Cancel"};

inline constexpr std::tuple All{Sessions, Load, Cancel};

} // namespace historydlg
