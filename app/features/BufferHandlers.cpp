// The measurement buffer: appending records, the table, clearing, and saving as a text file.
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>

#include "app/ImpixMain.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/Rounding.h"
#include "base/WorkProgress.h"
#include "buffer/BufferTableModel.h"
#include "buffer/BufferTextFile.h"
#include "dialogs/ProgressWork.h"
#include "dialogs/SaveDialog.h"
#include "widgets/SpinEdit.h"

void TFImpixMain::ConnectBufferHandlers() {
    OnClick(dataBuffer_.ClearBufBtn, [this] { ClearBufBtnClick(); });
    OnClick(dataBuffer_.SaveBufBtn, [this] { SaveBufBtnClick(); });
    OnClick(dataBuffer_.SaveBufAllBtn, [this] { SaveBufBtnAllClick(); });
}

void TFImpixMain::AddRecord(const TMeasRecord& rec) {
    AddRecord(rec, ArrivalSource::Live);
}

void TFImpixMain::AddReportedRecord(const TMeasRecord& rec) {
    AddRecord(rec, ArrivalSource::Report);
}

void TFImpixMain::AddRecord(const TMeasRecord& rec, ArrivalSource source) {
    if (holdArrivals_ || FeedingArchive() || !putBack_.empty()) {
        heldArrivals_.emplace_back(rec, source);
        return;
    }
    if (archive_)
        archive_->Add(rec, source);
    // The pool tells the item count, the table and the plots.
    Pool.Append(rec);
}

void TFImpixMain::AddRecords(std::span<const TMeasRecord> records, ArrivalSource source) {
    AddRecords(std::vector<TMeasRecord>(records.begin(), records.end()), source);
}

void TFImpixMain::AddRecords(std::vector<TMeasRecord>&& records, ArrivalSource source) {
    if (records.empty())
        return;
    putBack_.push_back({std::move(records), 0, source});
    // Called from the event loop run below (a fleet slice, a second load): the records follow
    // those under way.
    if (puttingBack_)
        return;
    puttingBack_ = true;
    const LongWorkUnderWay underWay;
    const auto ended = qScopeGuard([this] {
        puttingBack_ = false;
        ReleaseHeldArrivals();
    });
    // Ten million records told to the table, the plots and the trend windows at once held the
    // window for seconds: slices, and the event loop after each pass of PassMs.
    constexpr size_t Slice = 32768;
    constexpr int PassMs = 20;
    QElapsedTimer pass;
    pass.start();
    // "Clear" from the event loop empties putBack_: the rest is not put back.
    while (!putBack_.empty()) {
        PutBack& batch = putBack_.front();
        const size_t n = std::min(Slice, batch.records.size() - batch.next);
        const ArrivalSource from = batch.source;
        const int64_t first = Pool.Count();
        Pool.Append(std::span<const TMeasRecord>(batch.records).subspan(batch.next, n));
        batch.next += n;
        if (batch.next == batch.records.size())
            putBack_.pop_front();
        if (archive_)
            HandOverToArchive(first, from);
        if (pass.elapsed() >= PassMs) {
            QCoreApplication::processEvents();
            pass.restart();
        }
    }
}

void TFImpixMain::RecordsAppended(int64_t, int64_t) {
    ShowPoolCount(); // many at once (a restore, a session from the history): shown at once
}

void TFImpixMain::RecordAppended(const TMeasRecord&) {
    // Once per pass of the event loop: a report brings a million items a second, and the
    // operator sees the window only as it is painted between passes anyway.
    if (countQueued_)
        return;
    countQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { ShowPoolCount(); }); }, Qt::QueuedConnection);
}

void TFImpixMain::StreamCleared() {
    ShowPoolCount();
}

void TFImpixMain::ShowPoolCount() {
    countQueued_ = false;
    poolItemsTx_->setText(QString::number(Pool.Count()));
}

void TFImpixMain::FollowNewestRow() {
    const int64_t n = bufferModel_->ShownItems();
    if (n == 0)
        return;
    QTableView* grid = dataBuffer_.BufGrid;
    const QModelIndex last = bufferModel_->index(static_cast<int>(n - 1), 0);
    grid->setCurrentIndex(last);
    grid->scrollTo(last);
}

void TFImpixMain::ClearBufBtnClick() {
    // What was still to go to the archive is no longer in the buffer; what arrived meanwhile
    // was there before the buffer was emptied.
    feedNext_ = feedEnd_ = 0;
    feedRuns_.clear();
    putBack_.clear();
    ReleaseHeldArrivals();
    if (archive_)
        archive_->BufferCleared();
    // The pool tells the item count, the table and the plots.
    Pool.Clear();
}

void TFImpixMain::SaveBufBtnAllClick() {
    SavePoolRange(0, Pool.Count());
}

void TFImpixMain::SaveBufBtnClick() {
    const int64_t from = Round(dataBuffer_.SaveBufFromEd->Value());
    const int64_t to = Round(dataBuffer_.SaveBufTillEd->Value());
    if (!CheckSaveBounds(from, to, Pool.Count())) {
        ErrorDlg("Items bounds out of range");
        return;
    }
    SavePoolRange(from, to);
}

void TFImpixMain::SavePoolRange(int64_t from, int64_t to) {
    const std::optional<QString> path =
        AskSaveFileName(this, ImpixPath(Place::Documents), ImpixPath(Place::Documents, "Data.txt"));
    if (!path)
        return;
    const QString settings = SettingsLine(measure_.FreqEd->Value(), measure_.VoltageEd->Value(),
                                          measure_.PerHourEd->Value(), measure_.PerMinEd->Value(),
                                          measure_.RepEd->Value(), format_);
    // Written from a snapshot on a thread of its own: ten million lines take seconds, during
    // which records keep arriving, and the operator may even clear the buffer.
    const RecordSnapshot records = Pool.Snapshot();
    const QDateTime now = QDateTime::currentDateTime();
    const FormatSettings fs = format_;
    const int64_t items = std::max<int64_t>(0, std::min(to, records.Count()) - from);
    RunWithProgress(
        this, QStringLiteral("Saving %1 items...").arg(items), items, [&](WorkProgress& progress) {
            return WriteBufferTextFile(*path, records, from, to, settings, now, fs, &progress);
        });
}
