#pragma once
class QLabel;
class QPushButton;
class QWidget;
class SpinEdit;

// The controls of the page "Download" that the window works on, named as the controls are.
struct DownloadPage {
    SpinEdit* FromValEd = nullptr;
    SpinEdit* AmountValEd = nullptr;
    QLabel* AmountTx = nullptr;
    QPushButton* DwnBtn = nullptr;
    QLabel* DwnProgressTx = nullptr;
    QLabel* DwnMissingTx = nullptr;
    QPushButton* DwnMissingBtn = nullptr;
    QLabel* SizeTx = nullptr;
    QPushButton* GetSizeBtn = nullptr;
    QPushButton* FormatBtn = nullptr;
};

// Fills the page "Download" (TabSheet3): downloading stored items into the buffer, and the
// logger's data size with clearing its memory.
DownloadPage BuildDownloadPage(QWidget* page);
