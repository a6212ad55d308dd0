#pragma once
// The declarative control table of "COM Settings", in the order the dialog makes its controls.
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <tuple>

#include "dialogs/ComDlg.h"
#include "widgets/ControlRows.h"
#include "widgets/SpinEdit.h"

namespace comdlg {

using controls::NameRow;
using controls::TextRow;

inline constexpr const char* Name = "ComDlg";
inline constexpr const char* Title = "COM Settings";

// Right of the panel, top to bottom.
inline constexpr TextRow<TComDlg, QPushButton> Ok{&TComDlg::BitBtn3, "BitBtn3", "OK"};
inline constexpr TextRow<TComDlg, QPushButton> Cancel{&TComDlg::BitBtn2, "BitBtn2", "Cancel"};
inline constexpr TextRow<TComDlg, QPushButton> Details{&TComDlg::BitBtn1, "BitBtn1", "Details"};
// The panel with the number and the device it leads to.
inline constexpr NameRow<TComDlg, QFrame> Panel{&TComDlg::Panel1, "Panel1"};
inline constexpr TextRow<TComDlg, QLabel> ComCaption{&TComDlg::Label1, "Label1", "COM"};
inline constexpr NameRow<TComDlg, SpinEdit> Number{&TComDlg::ComEd, "ComEd"};
inline constexpr NameRow<TComDlg, QLabel> DevicePath{&TComDlg::DevicePathTx, "DevicePathTx"};
// Below: the serial devices present.
inline constexpr TextRow<TComDlg, QLabel> DeviceCaption{&TComDlg::DeviceLbl, "DeviceLbl",
                                                        "Serial devices present"};
inline constexpr NameRow<TComDlg, QListWidget> Devices{&TComDlg::DeviceLst, "DeviceLst"};

inline constexpr std::tuple All{Ok,     Cancel,     Details,       Panel,  ComCaption,
                                Number, DevicePath, DeviceCaption, Devices};

} // namespace comdlg
