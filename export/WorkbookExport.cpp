#include "export/WorkbookExport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/ProgramVersion.h"
#include "export/Excels.h"
#include "export/MeasurementRow.h"
#include "export/TemplateCopy.h"
#include "export/WorkbookLock.h"
#include "protocol/DdeProtocol.h"

namespace {

constexpr int Channels = 16;
constexpr int Yes = 6;
// The table block of a channel sheet: seven columns, the timestamp last.
constexpr int BlockLastCol = 7;
// A block stays below what one transfer to the service carries; a sheet of a million rows
// (about 55 MB) is one block. Rows take about this many bytes.
constexpr qsizetype BlockBytes = dde::MaxMessageBytes - (1 << 16);
constexpr qsizetype TypicalRow = 64;
// The rows of "Desc" below its settings line.
constexpr int DescFirstRow = 3;
// A working copy whose status has not changed for this long is left over.
constexpr qint64 StaleWorkingCopySecs = 3600;
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

// The records of each channel sheet, by their place in the source, in source order: one pass
// over the source instead of one per sheet. Each update reads on to the source's end as it is
// then, so records that arrive while the export runs show up on the sheets filled after them.
class SheetSelection {
public:
    SheetSelection(const RecordStream& source, const ExportRequest& request)
        : source_(source), request_(request) {}
    // Refuses, after the whole pass, the channels that their sheets cannot hold, with the count
    // of each: a sheet's rows are kept up to its limit, the rest only counted.
    Result<void> Update(Pacer& pacer) {
        for (; read_ < source_.Count(); ++read_) {
            pacer.Step();
            const TMeasRecord rec = source_.At(read_);
            const int64_t sheet = int64_t(rec.Channel) + 1;
            if (sheet < 1 || sheet > Channels ||
                !SelectedForSheet(rec, request_.board, int(sheet), request_.skipVoid))
                continue;
            if (++counts_[size_t(sheet)] <= SheetRowLimit)
                rows_[size_t(sheet)].push_back(read_);
        }
        QStringList over;
        for (int n = 1; n <= Channels; ++n)
            if (counts_[size_t(n)] > SheetRowLimit)
                over << (over.isEmpty() ? QStringLiteral("Channel %1 has %2 measurements")
                                        : QStringLiteral("channel %1 has %2"))
                            .arg(n)
                            .arg(counts_[size_t(n)]);
        if (!over.isEmpty())
            return Fail(QStringLiteral("%1, more than the %2 rows a sheet holds below its header")
                            .arg(over.join(QStringLiteral(", ")))
                            .arg(SheetRowLimit));
        return {};
    }
    const std::vector<int64_t>& Rows(int sheet) const { return rows_[size_t(sheet)]; }

private:
    const RecordStream& source_;
    const ExportRequest& request_;
    int64_t read_ = 0;
    std::array<std::vector<int64_t>, Channels + 1> rows_;
    std::array<int64_t, Channels + 1> counts_{};
};

// The blocks of a channel sheet's rows, written in place: appending a million rows one by one
// to a byte array would cost more than making them. The bytes are kept from sheet to sheet.
class SheetBlock {
public:
    explicit SheetBlock(const FormatSettings& fs) : writer_(fs) {}
    // Starts the sheet's first block at row 2 with the header, for `rows` rows to follow.
    void Start(int64_t rows) {
        const qsizetype want = qsizetype(sizeof SheetHeaderRow) + 1 + qsizetype(rows) * TypicalRow;
        bytes_.resize(std::min(std::max(want, bytes_.size()), BlockBytes));
        used_ = 0;
        first_ = 2;
        count_ = 0;
        Put(SheetHeaderRow, sizeof SheetHeaderRow - 1);
        EndRow();
    }
    void Add(const TMeasRecord& rec) {
        Room(MaxMeasurementRowBytes + 2);
        used_ = writer_.Put(bytes_.data() + used_, rec) - bytes_.data();
        EndRow();
    }
    // A block more would not fit into one transfer.
    bool Full() const { return used_ > BlockBytes - MaxMeasurementRowBytes - 2; }
    // Pokes the rows so far, columns 1 to 7; the next block starts below them.
    Result<void> Send(TExcel& ex) {
        const qsizetype room = bytes_.size();
        bytes_.resize(used_);
        Result<void> poked = ex.PokeBlock(first_, 1, first_ + count_ - 1, BlockLastCol, bytes_);
        bytes_.resize(room);
        first_ += count_;
        count_ = 0;
        used_ = 0;
        return poked;
    }
    bool Empty() const { return count_ == 0; }

private:
    MeasurementRowWriter writer_;
    QByteArray bytes_;
    qsizetype used_ = 0;
    int first_ = 2;
    int count_ = 0;

    void Room(qsizetype n) {
        if (bytes_.size() - used_ < n)
            bytes_.resize(std::max(bytes_.size() * 2, used_ + n));
    }
    void Put(const char* text, qsizetype n) {
        Room(n);
        std::memcpy(bytes_.data() + used_, text, size_t(n));
        used_ += n;
    }
    void EndRow() {
        Put("\r\n", 2);
        ++count_;
    }
};

// The header and the rows of a channel sheet, rows 2 onward, columns 1 to 7: one block, or
// more when the rows are more than one transfer carries.
Result<void> PokeSheet(TExcel& ex, SheetBlock& block, const RecordStream& source,
                       const std::vector<int64_t>& rows, Pacer& pacer) {
    block.Start(int64_t(rows.size()));
    for (const int64_t k : rows) {
        pacer.Step();
        block.Add(source.At(k));
        if (block.Full())
            if (Result<void> sent = block.Send(ex); !sent)
                return sent;
    }
    if (!block.Empty())
        return block.Send(ex);
    return {};
}

// Rows 3 onward of "Desc", below the settings line: labels in column 1, values beside them.
// `rows[n]` is what sheet n got, for the sheets filled.
Result<void> DescribeExport(TExcel& ex, const ExportRequest& request, const QList<int64_t>& rows) {
    // A name may hold what would cut the block into other cells.
    QString source = request.source;
    source.replace('\t', ' ').replace('\r', ' ').replace('\n', ' ');
    const QDateTime at =
        request.exportedAt.isValid() ? request.exportedAt : QDateTime::currentDateTime();
    QString counts = QStringLiteral("Rows per channel");
    for (const int64_t n : rows)
        counts += '\t' + QString::number(n);
    const QStringList lines{
        "Source\t" + source,
        QStringLiteral("Board\t%1").arg(request.board),
        "Exported at\t" + at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
        "Console version\t" + ProgramVersion(),
        counts,
    };
    return ex.ExecMacro(QStringLiteral("[WORKBOOK.SELECT(\"Desc\")]"))
        .and_then([&] { return ex.WaitReady(); })
        .and_then([&] {
            return ex.PokeBlock(DescFirstRow, 1, DescFirstRow + int(lines.size()) - 1, 1 + Channels,
                                lines);
        });
}

// Steps 4 to 11: the target checked, the template copied into `copy`, the copy opened and
// filled. An early end before the copy returns its outcome with `copy` empty.
Result<ExportResult> FillWorkbook(TExcel& ex, SheetSelection& selection, const RecordStream& source,
                                  const ExportRequest& request, const FormatSettings& fs,
                                  ExportFeedback& feedback, std::unique_ptr<ReplacingFile>& copy) {
    ExportResult result;
    const QString& target = request.target;
    const QFileInfo targetInfo(target);
    QStringList workbooks;
    if (Result<void> listed = ex.GetWorkbooks(workbooks); !listed)
        return tl::unexpected(listed.error());
    workbooks.sort();
    if (ContainsName(workbooks, targetInfo.fileName())) {
        feedback.ErrorDlg("File named >" + target + "< already open");
        result.outcome = ExportResult::Outcome::AlreadyOpen;
        return result;
    }
    if (targetInfo.exists()) {
        // Nothing but a workbook is replaced, and a pipe would hold the export up.
        if (!targetInfo.isFile())
            return Fail(QStringLiteral("Cannot create file %1").arg(target));
        // Neither program's unsaved work goes over the other's.
        if (const std::optional<WorkbookHolder> holder = WorkbookHeldBy(target)) {
            feedback.ErrorDlg(HeldMessage(target, *holder));
            result.outcome = ExportResult::Outcome::HeldOpen;
            result.heldBy = holder->program;
            if (!holder->user.isEmpty())
                result.heldBy += QStringLiteral(" by ") + holder->user;
            return result;
        }
        if (feedback.ConfirmDlg("File >" + target + "< Exists. Owerwrite??") != Yes) {
            result.outcome = ExportResult::Outcome::Declined;
            return result;
        }
    }
    // Nobody owns these any more: an export that lives is never idle for so long.
    if (!target.isEmpty())
        ReplacingFile::RemoveStaleWorkingCopies(
            target, QDateTime::currentDateTime().addSecs(-StaleWorkingCopySecs));
    // The service works on a copy beside the target, which replaces the target only once it is
    // saved; until then the target stays as it is, whatever fails.
    Result<std::unique_ptr<ReplacingFile>> copied = CopyTemplate(request.templatePath, target);
    if (!copied)
        return tl::unexpected(copied.error());
    copy = std::move(*copied);
    const QString book = QFileInfo(copy->KeptPath()).fileName();
    QStringList sheets;
    if (Result<void> opened = ex.ExecMacro("[OPEN(" + Quoted(copy->KeptPath()) + ")]")
                                  .and_then([&] { return ex.WaitReady(); })
                                  .and_then([&] { return ex.WaitReady(); })
                                  .and_then([&] { return ex.GetSheets(book, sheets); });
        !opened)
        return tl::unexpected(opened.error());
    sheets.sort();
    if (Result<void> described =
            ex.ExecMacro(QStringLiteral("[WORKBOOK.SELECT(\"Desc\")]"))
                .and_then([&] { return ex.WaitReady(); })
                .and_then([&] { return ex.PutText(1, 1, request.settingsLine); });
        !described)
        return tl::unexpected(described.error());

    QList<int64_t> filled;
    Pacer pacer(ex);
    SheetBlock block(fs);
    for (int n = 1; n <= Channels; ++n) {
        feedback.ExportProgress(n, Channels);
        const QString sheet = QStringLiteral("Channel_%1").arg(n);
        if (!ContainsName(sheets, sheet)) {
            if (Result<void> described = DescribeExport(ex, request, filled); !described)
                return tl::unexpected(described.error());
            feedback.ErrorDlg("Table >" + target + "<   does not contains sheet >" + sheet + "< ");
            result.outcome = ExportResult::Outcome::MissingSheet;
            result.missingSheet = sheet;
            return result;
        }
        if (Result<void> poked =
                ex.ExecMacro("[WORKBOOK.SELECT(" + Quoted(sheet) + ")]")
                    .and_then([&] { return ex.WaitReady(); })
                    .and_then([&] {
                        return ex.PutText(1, 1, QStringLiteral("Board %1").arg(request.board));
                    })
                    .and_then([&] { return selection.Update(pacer); })
                    .and_then(
                        [&] { return PokeSheet(ex, block, source, selection.Rows(n), pacer); });
            !poked)
            return tl::unexpected(poked.error());
        filled << int64_t(selection.Rows(n).size());
        result.rows += filled.back();
    }
    if (Result<void> described = DescribeExport(ex, request, filled); !described)
        return tl::unexpected(described.error());
    return result;
}

// The whole export, up to the conversation's end.
Result<ExportResult> RunExport(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                               const FormatSettings& fs, ExportFeedback& feedback) {
    // Which records go where, and a refusal of a channel its sheet cannot hold, before anything
    // is copied or sent.
    SheetSelection selection(source, request);
    {
        Pacer pacer(ex);
        if (Result<void> selected = selection.Update(pacer); !selected)
            return tl::unexpected(selected.error());
    }
    if (Result<void> connected = ex.Connect().and_then([&] { return ex.WaitReady(); }); !connected)
        return tl::unexpected(connected.error());

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
    const Result<ExportResult> result =
        FillWorkbook(ex, selection, source, request, fs, feedback, copy);
    if (!result)
        return result;

    // The closing sequence. A failure in it ends it and is the one reported.
    ex.DropBatch();
    if (copy)
        if (Result<void> saved =
                ex.ExecMacro(QStringLiteral("[SAVE]"))
                    .and_then([&] { return ex.WaitReady(); })
                    .and_then([&] { return ex.ExecMacro(QStringLiteral("[SELECT(\"R21C2\")]")); });
            !saved)
            return tl::unexpected(saved.error());
    ex.Disconnect();
    endConversation.dismiss();
    // Saved and let go by the service: the new workbook takes the target's place.
    if (copy && !copy->Replace())
        return Fail(QStringLiteral("Cannot create file %1").arg(request.target));
    return result;
}

} // namespace

Result<ExportResult> ExportWorkbook(TExcel& ex, const RecordStream& source,
                                    const ExportRequest& request, const FormatSettings& fs,
                                    ExportFeedback& feedback) {
    // A failure is returned once the conversation has ended and the working copy is gone.
    return RunExport(ex, source, request, fs, feedback);
}
