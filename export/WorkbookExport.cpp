#include "export/WorkbookExport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <array>

#include "base/Failure.h"
#include "export/Excels.h"
#include "export/MeasurementRow.h"
#include "export/TemplateCopy.h"

namespace {

constexpr int Channels = 16;
constexpr int Yes = 6;
// The table block of a channel sheet spans one column more than its six cells.
constexpr int BlockLastCol = 7;
// Long loops over the source let the event queue run this often.
constexpr qint64 PumpEveryMs = 10;

QString Quoted(const QString& text) {
    return '"' + text + '"';
}

bool ContainsName(const QStringList& list, const QString& name) {
    return list.contains(name, Qt::CaseInsensitive);
}

// Lets the event queue run through the link every few milliseconds of a long loop, so that the
// window and the links are served while a million records are read.
class Pacer {
public:
    explicit Pacer(TExcel& ex) : ex_(ex) { clock_.start(); }
    void Step() {
        if (++steps_ % 4096 == 0 && clock_.elapsed() >= PumpEveryMs) {
            ex_.PumpMessages();
            clock_.restart();
        }
    }

private:
    TExcel& ex_;
    QElapsedTimer clock_;
    int steps_ = 0;
};

[[noreturn]] void TooManyRows(int sheet, int64_t rows) {
    throw Failure(QStringLiteral("Channel %1 has %2 measurements, more than the %3 rows a sheet "
                                 "holds below its header")
                      .arg(sheet)
                      .arg(rows)
                      .arg(SheetRowLimit));
}

// Refuses a source with a channel that its sheet cannot hold, before anything is copied or sent.
void CheckRowLimit(TExcel& ex, const RecordStream& source, const ExportRequest& request) {
    std::array<int64_t, Channels + 1> rows{};
    Pacer pacer(ex);
    for (int64_t k = 0; k < source.Count(); ++k) {
        const TMeasRecord rec = source.At(k);
        const int sheet = rec.Channel + 1;
        if (sheet >= 1 && sheet <= Channels &&
            SelectedForSheet(rec, request.board, sheet, request.skipVoid) &&
            ++rows[sheet] > SheetRowLimit)
            TooManyRows(sheet, rows[sheet]);
        pacer.Step();
    }
}

// Fills the batch's rows with the header and the rows of the records selected for the sheet,
// read from the start of the source to its current end.
int64_t AppendSheetRows(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                        int sheet, const FormatSettings& fs) {
    ex.Rows.append(QString::fromLatin1(SheetHeaderRow));
    int64_t rows = 0;
    Pacer pacer(ex);
    for (int64_t k = 0; k < source.Count(); ++k) {
        pacer.Step();
        const TMeasRecord rec = source.At(k);
        if (!SelectedForSheet(rec, request.board, sheet, request.skipVoid))
            continue;
        // Records that came in while the export ran may not fit any more.
        if (++rows > SheetRowLimit)
            TooManyRows(sheet, rows);
        ex.Rows.append(MeasurementRow(rec, fs));
    }
    return rows;
}

// Steps 4 to 11: the target checked, the template copied into `copy`, the copy opened and
// filled. An early end before the copy returns its outcome with `copy` empty.
ExportResult FillWorkbook(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                          const FormatSettings& fs, ExportFeedback& feedback,
                          std::unique_ptr<ReplacingFile>& copy) {
    ExportResult result;
    const QString& target = request.target;
    const QFileInfo targetInfo(target);
    QStringList workbooks;
    ex.GetWorkbooks(workbooks);
    workbooks.sort();
    if (ContainsName(workbooks, targetInfo.fileName())) {
        feedback.ErrorDlg("File named >" + target + "< already open");
        result.outcome = ExportResult::Outcome::AlreadyOpen;
        return result;
    }
    if (targetInfo.exists() && !targetInfo.isDir() &&
        feedback.ConfirmDlg("File >" + target + "< Exists. Owerwrite??") != Yes) {
        result.outcome = ExportResult::Outcome::Declined;
        return result;
    }
    // The service works on a copy beside the target, which replaces the target only once it is
    // saved; until then the target stays as it is, whatever fails.
    copy = CopyTemplate(request.templatePath, target);
    const QString book = QFileInfo(copy->KeptPath()).fileName();
    ex.ExecMacro("[OPEN(" + Quoted(copy->KeptPath()) + ")]");
    ex.WaitReady();
    ex.WaitReady();

    QStringList sheets;
    ex.GetSheets(book, sheets);
    sheets.sort();
    ex.ExecMacro(QStringLiteral("[WORKBOOK.SELECT(\"Desc\")]"));
    ex.WaitReady();
    ex.PutText(1, 1, request.settingsLine);

    for (int n = 1; n <= Channels; ++n) {
        feedback.ExportProgress(n, Channels);
        const QString sheet = QStringLiteral("Channel_%1").arg(n);
        if (!ContainsName(sheets, sheet)) {
            feedback.ErrorDlg("Table >" + target + "<   does not contains sheet >" + sheet + "< ");
            result.outcome = ExportResult::Outcome::MissingSheet;
            result.missingSheet = sheet;
            return result;
        }
        ex.ExecMacro("[WORKBOOK.SELECT(" + Quoted(sheet) + ")]");
        ex.WaitReady();
        ex.PutText(1, 1, QStringLiteral("Board %1").arg(request.board));
        ex.BeginBatch(2, 1);
        ex.BatchLastCol = BlockLastCol;
        result.rows += AppendSheetRows(ex, source, request, n, fs);
        ex.EndBatch();
    }
    return result;
}

} // namespace

ExportResult ExportWorkbook(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                            const FormatSettings& fs, ExportFeedback& feedback) {
    CheckRowLimit(ex, source, request);
    ex.Connect();
    ex.WaitReady();

    // Declared before the guard, so that after a failure the conversation ends first (the
    // service lets go of the working copy) and the working copy is removed after it.
    std::unique_ptr<ReplacingFile> copy;
    // However the export ends, the conversation ends with it, so that the service closes what
    // this export opened and the next export does not find it "already open". After a failure
    // the working copy is not saved: it is thrown away.
    auto endConversation = qScopeGuard([&ex] {
        ex.DropBatch();
        ex.Disconnect();
    });
    const ExportResult result = FillWorkbook(ex, source, request, fs, feedback, copy);

    // The closing sequence. A failure in it ends it and is the one reported.
    ex.DropBatch();
    if (copy) {
        ex.ExecMacro(QStringLiteral("[SAVE]"));
        ex.WaitReady();
        ex.ExecMacro(QStringLiteral("[SELECT(\"R21C2\")]"));
    }
    ex.Disconnect();
    endConversation.dismiss();
    // Saved and let go by the service: the new workbook takes the target's place.
    if (copy && !copy->Replace())
        throw Failure(QStringLiteral("Cannot create file %1").arg(request.target));
    return result;
}
