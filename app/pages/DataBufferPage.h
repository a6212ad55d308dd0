#pragma once
class QWidget;

// Fills the page "Data Buffer" (BufSh): the group " Save buffer: " (GroupBox19), the item
// count, the archive's state (ArchiveTx) with its "History..." button (HistoryBtn), and the
// table BufGrid below them, which takes the rest of the page. The table is a
// read-only QTableView selecting whole rows; its model is the buffer's and is set by its owner.
void BuildDataBufferPage(QWidget* page);
