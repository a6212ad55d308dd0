#pragma once
class QWidget;

// Fills the page "Download" (TabSheet3): downloading stored items into the buffer, and the
// logger's data size with clearing its memory.
void BuildDownloadPage(QWidget* page);
