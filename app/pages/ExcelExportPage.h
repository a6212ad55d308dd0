#pragma once
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;
class FileNameEdit;
class RadioGroup;
class SpinEdit;

// The filter of SrcFileEd's browse dialog, as the console's description gives it.
inline const QString kSrcFileFilter =
    QStringLiteral("All files (*.*)|*.*|Text files (*.txt)|*.txt|Binary files (*.dat)|*.dat");

// The filter of ExFileNameEd's browse dialog: workbooks are Office Open XML, named .xlsx; a
// name ending in .xls is written the same way.
inline const QString kWorkbookFilter = QStringLiteral(
    "Workbooks (*.xlsx)|*.xlsx|Workbooks named .xls (*.xls)|*.xls|All files (*.*)|*.*");

// The controls of the page "Excel export" that the window works on, named as the controls are.
struct ExcelExportPage {
    FileNameEdit* ExFileNameEd = nullptr;
    SpinEdit* ExBrdEd = nullptr;
    QCheckBox* SkipVoidChck = nullptr;
    RadioGroup* SourceRg = nullptr;
    FileNameEdit* SrcFileEd = nullptr;
    QPushButton* ExExpBtn = nullptr;
    QLabel* ExStatusTx = nullptr;
    QPushButton* ExOpenBtn = nullptr;
};

// Fills the page "Excel export" (TabSheet4): the workbook to create, the board to extract,
// the source of the measurements and "Fill Table". The two file names are set by the main
// window when it is first shown.
ExcelExportPage BuildExcelExportPage(QWidget* page);
