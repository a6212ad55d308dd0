// The measurement buffer: appending records, the table, clearing, and saving as a text file.
#include <QDateTime>
#include <QTableView>
#include <QTimer>

#include "app/ImpixMain.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/Rounding.h"
#include "data/BufferTableModel.h"
#include "data/BufferTextFile.h"
#include "data/MeasurementArchive.h"
#include "dialogs/SaveDialog.h"

void TFImpixMain::ConnectBufferHandlers() {
    OnClick("ClearBufBtn", [this] { ClearBufBtnClick(); });
    OnClick("SaveBufBtn", [this] { SaveBufBtnClick(); });
    OnClick("SaveBufAllBtn", [this] { SaveBufBtnAllClick(); });
}

void TFImpixMain::AddRecord(const TMeasRecord& rec) {
    AddRecord(rec, ArrivalSource::Live);
}

void TFImpixMain::AddReportedRecord(const TMeasRecord& rec) {
    AddRecord(rec, ArrivalSource::Report);
}

void TFImpixMain::AddRecord(const TMeasRecord& rec, ArrivalSource source) {
    if (archive_)
        archive_->Add(rec, source);
    // The pool tells the item count, the table and the plots.
    Pool.Append(rec);
}

void TFImpixMain::AddRecords(std::span<const TMeasRecord> records, ArrivalSource source) {
    if (archive_)
        archive_->Add(records, source);
    Pool.Append(records);
}

void TFImpixMain::RecordsAppended(int64_t, int64_t) {
    RecordAppended(Pool.At(Pool.Count() - 1)); // the count and the newest row, once
}

void TFImpixMain::RecordAppended(const TMeasRecord&) {
    SetText("PoolItemsTx", QString::number(Pool.Count()));
    // The newest row is selected and scrolled into view once per pass of the event loop: with
    // millions of rows each selection costs milliseconds, and a burst of answers would
    // otherwise stall the window.
    if (!followPending_) {
        followPending_ = true;
        QTimer::singleShot(0, this, [this] { Guarded([this] { FollowNewestRow(); }); });
    }
}

void TFImpixMain::StreamCleared() {
    SetText("PoolItemsTx", "0");
}

void TFImpixMain::FollowNewestRow() {
    followPending_ = false;
    const int64_t n = Pool.Count();
    if (n == 0)
        return;
    auto* grid = C<QTableView>("BufGrid");
    const QModelIndex last = bufferModel_->index(static_cast<int>(n - 1), 0);
    grid->setCurrentIndex(last);
    grid->scrollTo(last);
}

void TFImpixMain::ClearBufBtnClick() {
    if (archive_)
        archive_->BufferCleared();
    // The pool tells the item count, the table and the plots.
    Pool.Clear();
}

void TFImpixMain::SaveBufBtnAllClick() {
    SavePoolRange(0, Pool.Count());
}

void TFImpixMain::SaveBufBtnClick() {
    const int64_t from = Round(Value("SaveBufFromEd"));
    const int64_t to = Round(Value("SaveBufTillEd"));
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
    const QString settings = SettingsLine(Value("FreqEd"), Value("VoltageEd"), Value("PerHourEd"),
                                          Value("PerMinEd"), Value("RepEd"), format_);
    WriteBufferTextFile(*path, Pool, from, to, settings, QDateTime::currentDateTime(), format_);
}
