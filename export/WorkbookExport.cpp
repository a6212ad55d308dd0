#include "export/WorkbookExport.h"

#include <QFileInfo>
#include <QStringList>
#include <exception>

#include "export/Excels.h"
#include "export/MeasurementRow.h"
#include "export/TemplateCopy.h"

namespace {

constexpr int Channels = 16;
constexpr int Yes = 6;
// The table block of a channel sheet spans one column more than its six cells.
constexpr int BlockLastCol = 7;

QString Quoted(const QString& text) {
    return '"' + text + '"';
}

bool ContainsName(const QStringList& list, const QString& name) {
    return list.contains(name, Qt::CaseInsensitive);
}

// Fills the batch's rows with the header and the rows of the records selected for the sheet,
// read from the start of the source to its current end.
int64_t AppendSheetRows(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                        int sheet, const FormatSettings& fs) {
    ex.Rows.append(QString::fromLatin1(SheetHeaderRow));
    int64_t rows = 0;
    for (int64_t k = 0; k < source.Count(); ++k) {
        const TMeasRecord rec = source.At(k);
        if (!SelectedForSheet(rec, request.board, sheet, request.skipVoid))
            continue;
        ex.Rows.append(MeasurementRow(rec, fs));
        ++rows;
    }
    return rows;
}

} // namespace

ExportResult ExportWorkbook(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                            const FormatSettings& fs, ExportFeedback& feedback) {
    ex.Connect();
    ex.WaitReady();

    QStringList workbooks;
    QStringList sheets;
    const QString& target = request.target;
    const QString name = QFileInfo(target).fileName();
    ExportResult result;
    bool targetOpened = false;

    std::exception_ptr failure;
    try {
        [&] {
            ex.GetWorkbooks(workbooks);
            workbooks.sort();
            if (ContainsName(workbooks, name)) {
                feedback.ErrorDlg("File named >" + target + "< already open");
                result.outcome = ExportResult::Outcome::AlreadyOpen;
                return;
            }
            const QFileInfo targetInfo(target);
            if (targetInfo.exists() && !targetInfo.isDir() &&
                feedback.ConfirmDlg("File >" + target + "< Exists. Owerwrite??") != Yes) {
                result.outcome = ExportResult::Outcome::Declined;
                return;
            }
            CopyTemplate(request.templatePath, target);

            // The service resolves paths on its own; it gets the full one.
            ex.ExecMacro("[OPEN(" + Quoted(targetInfo.absoluteFilePath()) + ")]");
            targetOpened = true;
            ex.WaitReady();
            ex.WaitReady();

            ex.GetSheets(name, sheets);
            sheets.sort();
            ex.ExecMacro(QStringLiteral("[WORKBOOK.SELECT(\"Desc\")]"));
            ex.WaitReady();
            ex.PutText(1, 1, request.settingsLine);

            for (int n = 1; n <= Channels; ++n) {
                feedback.ExportProgress(n, Channels);
                const QString sheet = QStringLiteral("Channel_%1").arg(n);
                if (!ContainsName(sheets, sheet)) {
                    feedback.ErrorDlg("Table >" + target + "<   does not contains sheet >" + sheet +
                                      "< ");
                    result.outcome = ExportResult::Outcome::MissingSheet;
                    result.missingSheet = sheet;
                    return;
                }
                ex.ExecMacro("[WORKBOOK.SELECT(" + Quoted(sheet) + ")]");
                ex.WaitReady();
                ex.PutText(1, 1, QStringLiteral("Board %1").arg(request.board));
                ex.BeginBatch(2, 1);
                ex.BatchLastCol = BlockLastCol;
                result.rows += AppendSheetRows(ex, source, request, n, fs);
                ex.EndBatch();
            }
        }();
    } catch (...) {
        failure = std::current_exception();
    }

    // The closing sequence. A failure in it ends it and is the one reported, but the
    // conversation is ended in every case, so that the service closes what this export opened
    // and the next export does not find it "already open".
    try {
        ex.DropBatch();
        if (targetOpened) {
            ex.ExecMacro(QStringLiteral("[SAVE]"));
            ex.WaitReady();
            ex.ExecMacro(QStringLiteral("[SELECT(\"R21C2\")]"));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    ex.Disconnect();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}
