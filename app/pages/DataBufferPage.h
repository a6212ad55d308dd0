#pragma once
class QLabel;
class QPushButton;
class QTableView;
class QWidget;
class SpinEdit;

// The controls of the page "Data Buffer" that the window works on, named as the controls are.
struct DataBufferPage {
    SpinEdit* SaveBufFromEd = nullptr;
    SpinEdit* SaveBufTillEd = nullptr;
    QPushButton* SaveBufBtn = nullptr;
    QPushButton* SaveBufAllBtn = nullptr;
    QPushButton* ClearBufBtn = nullptr;
    QLabel* PoolItemsTx = nullptr;
    QLabel* ArchiveTx = nullptr;
    QPushButton* HistoryBtn = nullptr;
    QTableView* BufGrid = nullptr;
};

// Fills the page "Data Buffer" (BufSh): the group " Save buffer: " (GroupBox19), the item
// count, the archive's state (ArchiveTx) with its "History..." button (HistoryBtn), and the
// table BufGrid below them, which takes the rest of the page. The table is a
// read-only QTableView selecting whole rows; its model is the buffer's and is set by its owner.
DataBufferPage BuildDataBufferPage(QWidget* page);
