#pragma once
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QTabWidget;
class QWidget;

// The main window's own controls around its pages, named as the controls are: the menu, the
// client area with the page control and its eight pages (in tab order), and the row below the
// pages.
struct WindowFrame {
    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;
    QWidget* ClientArea = nullptr;
    QTabWidget* PageCtrl = nullptr;
    QWidget* ConnSheet = nullptr;
    QWidget* MeasureSh = nullptr;
    QWidget* TabSheet5 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* BufSh = nullptr;
    QWidget* PrewSh = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* ComStatusTx = nullptr;
    QLabel* LinkHealthTx = nullptr;
    QPushButton* CloseBtn = nullptr;
};

// Names the window FImpixMain and makes its frame: the menu, the client area of fixed size and
// the page control with its pages, left empty for the page builders.
WindowFrame BuildWindowFrame(QMainWindow* window);
// Makes the row below the pages: "CMD Status" (Label4), the command status (ComStatusTx), the
// link health (LinkHealthTx) and "Close" (CloseBtn). Made after the pages' controls, so that it
// comes last in tab order.
void BuildStatusRow(WindowFrame& frame);
