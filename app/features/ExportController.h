#pragma once
// The workbook export, owned by its controller rather than the main window: "Fill Table" on the
// "Excel export" page from the buffer or from a saved text file, its status line, and "Open" for
// the filled workbook. It holds the spreadsheet link and the records of the converted file.
#include <QObject>
#include <QString>

#include "app/pages/ExcelExportPage.h"
#include "app/pages/MeasurePage.h"
#include "base/FormatSettings.h"
#include "buffer/RecordStream.h"
#include "export/Excels.h"
#include "export/WorkbookExport.h"

class QWidget;

class ExportController : public QObject {
public:
    // Works on the page's controls; the settings line of a workbook comes from the "Measure
    // Config" page's. `pool` is the buffer, which `owner`, the main window, keeps as long as this
    // controller, its child.
    ExportController(const ExcelExportPage& page, const MeasurePage& measure,
                     const RecordStream& pool, const FormatSettings& fs, QWidget* owner);

private:
    void ExExpBtnClick();
    // Refills the file pool from the text file and writes BinConv.dat; a failure says where in
    // the status line and is thrown.
    void ConvertDataFile(const QString& fileName);
    // Fills the workbook named in ExFileNameEd from the source, showing progress in ExStatusTx.
    // `sourceName`: "buffer", or the converted file's path, for the workbook's description.
    ExportResult ExportWorkbook(const RecordStream& source, const QString& sourceName);
    void ExOpenBtnClick();

    ExcelExportPage page_;
    MeasurePage measure_;
    const RecordStream& pool_;
    FormatSettings fs_;
    // The spreadsheet link of the workbook export.
    TExcel ex_;
    // The records of the last converted text file.
    RecordStream filePool_;
    QString exportedWorkbook_; // what "Open" opens
};
