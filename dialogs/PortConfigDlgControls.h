#pragma once
// The declarative control table of the port configuration dialog, in the order the dialog makes
// its controls.
#include <QPushButton>
#include <tuple>

#include "dialogs/PortConfigDlg.h"
#include "widgets/ControlRows.h"
#include "widgets/SpinEdit.h"

namespace portconfigdlg {

using controls::RadioRow;
using controls::TextRow;

inline constexpr const char* Name = "PortConfigDlg";

inline constexpr controls::NameRow<TPortConfigDlg, SpinEdit> Baud{&TPortConfigDlg::BaudEd,
                                                                  "BaudEd"};
// The items in the order of their codes (data bits from 5 on).
inline const RadioRow<TPortConfigDlg> DataBits{
    &TPortConfigDlg::DataBitsGrp, "DataBitsGrp", " Data bits: ", {"5", "6", "7", "8"}};
inline const RadioRow<TPortConfigDlg> Parity{
    &TPortConfigDlg::ParityGrp, "ParityGrp", " Parity: ", {"None", "Odd", "Even", "Mark", "Space"}};
inline const RadioRow<TPortConfigDlg> StopBits{
    &TPortConfigDlg::StopBitsGrp, "StopBitsGrp", " Stop bits: ", {"1", "1.5", "2"}};
// In the order of TPortConfigDlg::Flow.
inline const RadioRow<TPortConfigDlg> Flow{
    &TPortConfigDlg::FlowGrp, "FlowGrp", " Flow control: ", {"None", "Hardware", "Xon / Xoff"}};
inline constexpr TextRow<TPortConfigDlg, QPushButton> Ok{&TPortConfigDlg::OKBtn, "OKBtn", "OK"};
inline constexpr TextRow<TPortConfigDlg, QPushButton> Cancel{&TPortConfigDlg::CancelBtn,
                                                             "CancelBtn", "Cancel"};
inline constexpr TextRow<TPortConfigDlg, QPushButton> Defaults{&TPortConfigDlg::DefaultsBtn,
                                                               "DefaultsBtn", "Restore Defaults"};

inline const std::tuple All{Baud, DataBits, Parity, StopBits, Flow, Ok, Cancel, Defaults};

} // namespace portconfigdlg
