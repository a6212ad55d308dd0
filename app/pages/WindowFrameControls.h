#pragma once
// The declarative control table of the main window's frame: the menu's item, the page
// control's pages in tab order with their captions, and the row below the pages.
#include <QAction>

#include "app/pages/ControlRows.h"
#include "app/pages/WindowFrame.h"

namespace pages::frame {

// The menu "XXX" (File1) holds a separator (N1) and this item.
inline constexpr const char* MenuTitle = "XXX";
inline const TextRow<WindowFrame, QAction> MenuItems[] = {
    {&WindowFrame::Exit1, "Exit1", "Exit"},
};

// The page control's pages, with their tab captions.
inline const TextRow<WindowFrame, QWidget> Pages[] = {
    {&WindowFrame::ConnSheet, "ConnSheet", "Connection"},
    {&WindowFrame::MeasureSh, "MeasureSh", "Measure Config"},
    {&WindowFrame::TabSheet5, "TabSheet5", "Freq Range"},
    {&WindowFrame::TabSheet1, "TabSheet1", "System Config"},
    {&WindowFrame::TabSheet3, "TabSheet3", "Download"},
    {&WindowFrame::TabSheet4, "TabSheet4", "Excel export"},
    {&WindowFrame::BufSh, "BufSh", "Data Buffer"},
    {&WindowFrame::PrewSh, "PrewSh", "Data Preview"},
};

// Below the pages, from the left; "Close" sits at the right end.
inline const LabelRow<WindowFrame> StatusLabels[] = {
    {&WindowFrame::Label4, "Label4", "CMD Status"},
    {&WindowFrame::ComStatusTx, "ComStatusTx", "send"},
};
inline const ButtonRow<WindowFrame> StatusButtons[] = {
    {&WindowFrame::CloseBtn, "CloseBtn", "Close"},
};
// Our own indicator beside the command status: answers dropped and requests unanswered.
inline const LabelRow<WindowFrame> HealthLabels[] = {
    {&WindowFrame::LinkHealthTx, "LinkHealthTx", "no link errors"},
};

} // namespace pages::frame
