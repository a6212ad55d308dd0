#include "app/features/BufferController.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableView>
#include <QWidget>

#include "app/features/ArchiveController.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "base/Rounding.h"
#include "base/WorkProgress.h"
#include "buffer/BufferCellText.h"
#include "buffer/BufferTableModel.h"
#include "buffer/BufferTextFile.h"
#include "buffer/BufferWindowModel.h"
#include "dialogs/ProgressWork.h"
#include "dialogs/SaveDialog.h"
#include "dialogs/StdDlg.h"
#include "widgets/SpinEdit.h"

BufferController::BufferController(const DataBufferPage& page, const MeasurePage& measure,
                                   const FormatSettings& format, QWidget* owner)
    : QObject(owner), owner_(owner), page_(page), measure_(measure), format_(format) {
    // First to hear of the pool: the item count is shown before the table and the plots follow.
    ListenTo(&pool_);
    model_ = std::make_unique<BufferTableModel>(pool_);
    model_->SetFormatSettings(format_);
    window_ = std::make_unique<BufferWindowModel>(*model_);
    connect(model_.get(), &BufferTableModel::rowsAppended, this,
            [this] { Guarded([this] { FollowNewestRow(); }); });
    const auto onClick = [this](QAbstractButton* button, void (BufferController::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    onClick(page_.ClearBufBtn, &BufferController::ClearBufBtnClick);
    onClick(page_.SaveBufBtn, &BufferController::SaveBufBtnClick);
    onClick(page_.SaveBufAllBtn, &BufferController::SaveBufBtnAllClick);
}

BufferController::~BufferController() = default;

void BufferController::ShowTable() {
    QTableView* grid = page_.BufGrid;
    grid->setModel(window_.get());
    for (int c = 0; c < model_->columnCount(); ++c)
        grid->setColumnWidth(c, BufferColumnWidth(c));
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { Guarded([this, value] { ScrolledTo(value); }); });
    // Dragging the thumb reaches the whole buffer, not only the rows the grid holds: told before
    // the bar's new value scrolls the grid within them.
    connect(grid->verticalScrollBar(), &QScrollBar::sliderMoved, this,
            [this](int value) { Guarded([this, value] { DraggedTo(value); }); });
}

void BufferController::DraggedTo(int value) {
    const QScrollBar* bar = page_.BufGrid->verticalScrollBar();
    const int range = bar->maximum() - bar->minimum();
    if (range > 0)
        window_->MoveToFraction(static_cast<double>(value - bar->minimum()) / range);
}

void BufferController::ScrolledTo(int value) {
    QTableView* grid = page_.BufGrid;
    const QScrollBar* bar = grid->verticalScrollBar();
    // While the thumb is dragged, DraggedTo places the window.
    if (bar->isSliderDown())
        return;
    const int64_t step = window_->rowCount() / 2;
    int64_t moved = 0;
    if (value == bar->minimum())
        moved = window_->ShiftBy(-step);
    else if (value == bar->maximum())
        moved = window_->ShiftBy(step);
    if (moved == 0)
        return;
    // The rows in view stay where they were.
    const int top = grid->rowAt(0);
    if (top >= 0)
        grid->scrollTo(window_->index(static_cast<int>(top - moved), 0),
                       QAbstractItemView::PositionAtTop);
}

void BufferController::AddRecord(const TMeasRecord& rec, ArrivalSource source) {
    if (archive_->HoldsArrivals() || PuttingBack()) {
        archive_->Hold(rec, source);
        return;
    }
    archive_->Add(rec, source);
    // The pool tells the item count, the table and the plots.
    pool_.Append(rec);
}

void BufferController::AddRecords(std::span<const TMeasRecord> records, ArrivalSource source) {
    AddRecords(std::vector<TMeasRecord>(records.begin(), records.end()), source);
}

void BufferController::AddRecords(std::vector<TMeasRecord>&& records, ArrivalSource source) {
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
        archive_->ReleaseHeldArrivals();
    });
    // Ten million records told to the table, the plots and the trend windows at once held the
    // window for seconds: slices, and the event loop after each pass of PassMs. A slice costs
    // a trend window a few milliseconds; one of 32768 made a pass last twice PassMs.
    constexpr size_t Slice = 8192;
    constexpr int PassMs = 20;
    QElapsedTimer pass;
    pass.start();
    // "Clear" from the event loop empties putBack_: the rest is not put back.
    while (!putBack_.empty()) {
        PutBack& batch = putBack_.front();
        const size_t n = std::min(Slice, batch.records.size() - batch.next);
        const ArrivalSource from = batch.source;
        const int64_t first = pool_.Count();
        pool_.Append(std::span<const TMeasRecord>(batch.records).subspan(batch.next, n));
        batch.next += n;
        if (batch.next == batch.records.size())
            putBack_.pop_front();
        archive_->PutBack(first, from);
        if (pass.elapsed() >= PassMs) {
            QCoreApplication::processEvents();
            pass.restart();
        }
    }
}

void BufferController::RecordsAppended(int64_t, int64_t) {
    ShowPoolCount(); // many at once (a restore, a session from the history): shown at once
}

void BufferController::RecordAppended(const TMeasRecord&) {
    // Once per pass of the event loop: a report brings a million items a second, and the
    // operator sees the window only as it is painted between passes anyway.
    if (countQueued_)
        return;
    countQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { ShowPoolCount(); }); }, Qt::QueuedConnection);
}

void BufferController::StreamCleared() {
    ShowPoolCount();
}

void BufferController::ShowPoolCount() {
    countQueued_ = false;
    page_.PoolItemsTx->setText(QString::number(pool_.Count()));
}

void BufferController::FollowNewestRow() {
    const int64_t n = model_->ShownItems();
    if (n == 0)
        return;
    QTableView* grid = page_.BufGrid;
    const QModelIndex last = window_->Show(n - 1);
    grid->setCurrentIndex(last);
    grid->scrollTo(last);
}

void BufferController::ClearBufBtnClick() {
    // What was still to be put back is no longer wanted; what arrived meanwhile was there
    // before the buffer was emptied.
    putBack_.clear();
    archive_->BufferCleared();
    // The pool tells the item count, the table and the plots.
    pool_.Clear();
}

void BufferController::SaveBufBtnAllClick() {
    SavePoolRange(0, pool_.Count());
}

void BufferController::SaveBufBtnClick() {
    const int64_t from = Round(page_.SaveBufFromEd->Value());
    const int64_t to = Round(page_.SaveBufTillEd->Value());
    if (!CheckSaveBounds(from, to, pool_.Count())) {
        ErrorDlg("Items bounds out of range");
        return;
    }
    SavePoolRange(from, to);
}

void BufferController::SavePoolRange(int64_t from, int64_t to) {
    const std::optional<QString> path = AskSaveFileName(owner_, ImpixPath(Place::Documents),
                                                        ImpixPath(Place::Documents, "Data.txt"));
    if (!path)
        return;
    const QString settings = SettingsLine(measure_.FreqEd->Value(), measure_.VoltageEd->Value(),
                                          measure_.PerHourEd->Value(), measure_.PerMinEd->Value(),
                                          measure_.RepEd->Value(), format_);
    // Written from a snapshot on a thread of its own: ten million lines take seconds, during
    // which records keep arriving, and the operator may even clear the buffer.
    const RecordSnapshot records = pool_.Snapshot();
    const QDateTime now = QDateTime::currentDateTime();
    const FormatSettings fs = format_;
    const int64_t items = std::max<int64_t>(0, std::min(to, records.Count()) - from);
    RunWithProgress(owner_, QStringLiteral("Saving %1 items...").arg(items), items,
                    [&](WorkProgress& progress) {
                        return WriteBufferTextFile(*path, records, from, to, settings, now, fs,
                                                   &progress);
                    });
}
