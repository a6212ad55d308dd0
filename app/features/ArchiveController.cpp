#include "app/features/ArchiveController.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "app/features/BufferController.h"
#include "app/features/DownloadController.h"
#include "app/features/SweepController.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/ShutdownSignals.h"
#include "base/ValueOrFailure.h"
#include "dialogs/HistoryDlg.h"
#include "dialogs/MessageBox.h"
#include "dialogs/ProgressWork.h"
#include "dialogs/StdDlg.h"
#include "link/ModBus.h"
#include "sweep/SweepRecorder.h"

namespace {
constexpr int StateIntervalMs = 500;
constexpr uint8_t QuestionType = 1; // the question mark
constexpr uint8_t YesNo = 2;
constexpr uint8_t English = 2;

QString LocalTime(const QDateTime& utc, const FormatSettings& fs) {
    return utc.toLocalTime().toString(fs.shortDateFormat + " " + fs.longTimeFormat);
}

QString LocalTime(const QString& utcIso, const FormatSettings& fs) {
    return LocalTime(QDateTime::fromString(utcIso, Qt::ISODateWithMs), fs);
}

QString SweepCount(int64_t n) {
    return n == 1 ? QStringLiteral("1 sweep") : QStringLiteral("%1 sweeps").arg(n);
}

QString SessionLine(const SessionSummary& s, const FormatSettings& fs) {
    QString end = s.running     ? QStringLiteral("running")
                  : s.cleanEnd  ? LocalTime(s.endedAt, fs)
                  : s.endSignal ? QStringLiteral("ended by ") + SignalName(s.endSignal)
                                : QStringLiteral("no clean end");
    QString line =
        QStringLiteral("%1 - %2: live %3, download %4, report %5, restored %6%7; %8")
            .arg(LocalTime(s.startedAt, fs), end)
            .arg(s.arrivals[int(ArrivalSource::Live)])
            .arg(s.arrivals[int(ArrivalSource::Download)])
            .arg(s.arrivals[int(ArrivalSource::Report)])
            .arg(s.arrivals[int(ArrivalSource::Restored)])
            .arg(s.arrivals[int(ArrivalSource::Fleet)] > 0
                     ? QStringLiteral(", fleet %1").arg(s.arrivals[int(ArrivalSource::Fleet)])
                     : QString())
            .arg(s.counting           ? QStringLiteral("counting...")
                 : s.measurements < 0 ? QStringLiteral("measurements counted when it ends")
                                      : QStringLiteral("%1 measurements").arg(s.measurements));
    if (s.sweeps > 0)
        line += QStringLiteral("; ") + SweepCount(s.sweeps);
    if (!s.port.isEmpty())
        line += QStringLiteral("; ") + s.port;
    if (!s.peer.isEmpty())
        line += QStringLiteral("; reports from ") + s.peer;
    return line;
}

QString RestoreQuestion(const UncleanSession& s, const FormatSettings& fs) {
    const QString how =
        s.endSignal != 0
            ? QStringLiteral("The console was ended by %1").arg(SignalName(s.endSignal))
            : QStringLiteral("The console was not closed properly");
    QString text = QStringLiteral("%1 (session started %2). Its buffer held %3 items")
                       .arg(how, LocalTime(s.startedAt, fs))
                       .arg(s.items);
    if (s.lastReceivedMs > 0)
        text += QStringLiteral(", the last one received %1")
                    .arg(LocalTime(QDateTime::fromMSecsSinceEpoch(s.lastReceivedMs, Qt::UTC), fs));
    if (s.sweeps > 0)
        text += QStringLiteral(" and %1").arg(SweepCount(s.sweeps));
    text += QStringLiteral(". Put them back into the buffer?");
    if (!s.file.isEmpty())
        text += QStringLiteral(" They are read from the damaged archive %1.").arg(s.file);
    return text;
}
} // namespace

ArchiveController::ArchiveController(const DataBufferPage& page, BufferController& buffer,
                                     DownloadController& downloads, SweepController& sweeps,
                                     TMB& link, const FormatSettings& format, QWidget* owner)
    : QObject(owner), owner_(owner), page_(page), buffer_(buffer), downloads_(downloads),
      sweeps_(sweeps), link_(link), format_(format) {
    connect(page_.HistoryBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { HistoryBtnClick(); }); });
    page_.HistoryBtn->setEnabled(false);
    stateTimer_ = new QTimer(this);
    stateTimer_->setInterval(StateIntervalMs);
    connect(stateTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { ShowArchiveState(); }); });
}

void ArchiveController::Start(MeasurementArchive* archive, bool opened) {
    SetArchive(archive);
    Guarded([this, opened] {
        NoteArchivePort();
        if (opened)
            OfferRestore();
    });
}

void ArchiveController::SetArchive(MeasurementArchive* archive) {
    archive_ = archive;
    page_.HistoryBtn->setEnabled(archive_ != nullptr);
    if (archive_)
        stateTimer_->start();
    else
        stateTimer_->stop();
    ShowArchiveState();
}

void ArchiveController::ShowArchiveState() {
    const QString text =
        archive_ ? ArchiveLabelText(archive_->State()) : QStringLiteral("Archive: off");
    if (page_.ArchiveTx->text() != text)
        page_.ArchiveTx->setText(text);
}

void ArchiveController::NoteArchivePort() {
    if (archive_)
        archive_->SetPort(link_.SerialPort().GetPortName());
}

void ArchiveController::Hook(ArchiveOptions& options) {
    // The writer's thread posts to this one; a window gone by then hears nothing.
    const QPointer<ArchiveController> self(this);
    options.onMessage = [self](const QString& text) {
        QMetaObject::invokeMethod(
            qApp,
            [self, text] {
                if (self)
                    Guarded([&] { ShowMessage(text); });
            },
            Qt::QueuedConnection);
    };
    options.onRestart = [self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (!self)
                    return;
                Guarded([&] { self->GiveArchiveTheBuffer(); });
                // A damaged file moved aside may hold a crashed session to offer.
                Guarded([&] { self->OfferRestore(); });
            },
            Qt::QueuedConnection);
    };
    // A file another program held locked at start-up is offered from once it opens.
    options.onOpened = [self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    Guarded([&] { self->OfferRestore(); });
            },
            Qt::QueuedConnection);
    };
}

void ArchiveController::GiveArchiveTheBuffer() {
    if (!archive_)
        return;
    const std::optional<DownloadState> download = downloads_.State();
    // The first slice starts anew; the rest follow as the writer takes them.
    const int64_t first = std::min(archive_->HandOverSlice(), buffer_.Pool().Count());
    std::vector<TMeasRecord> part;
    part.reserve(static_cast<size_t>(first));
    for (int64_t k = 0; k < first; ++k)
        part.push_back(buffer_.Pool().At(k));
    archive_->StartAnew(part, download);
    feedNext_ = feedEnd_ = 0;
    HandOverToArchive(first, ArrivalSource::Restored);
}

void ArchiveController::HandOverToArchive(int64_t from, ArrivalSource source) {
    if (!FeedingArchive()) {
        feedNext_ = from;
        feedRuns_.clear();
    }
    feedEnd_ = buffer_.Pool().Count();
    if (!feedRuns_.empty() && feedRuns_.back().second == source)
        feedRuns_.back().first = feedEnd_;
    else
        feedRuns_.emplace_back(feedEnd_, source);
    FeedArchive();
}

void ArchiveController::FeedArchive(bool writerStuck) {
    if (!archive_) {
        feedNext_ = feedEnd_ = 0;
        feedRuns_.clear();
    }
    // While a put-back reads into the buffer, the writer waits: the read and the window have
    // the processors, and the records wait in the buffer (FinishHandOver alone does not wait).
    if (readingBack_ > 0 && !ending_)
        return;
    // Slices while the writer keeps up (or cannot write at all: then the queue counts what it
    // cannot hold); while its queue is full, it is looked at again shortly, however long a
    // batch takes: the records wait in the buffer, nothing is lost by waiting. The writer
    // copies them from a snapshot of the buffer on its own thread.
    const RecordSnapshot stored = FeedingArchive() ? buffer_.Pool().Snapshot() : RecordSnapshot();
    while (FeedingArchive() && (writerStuck || !archive_->Full())) {
        const auto [runEnd, source] = feedRuns_.front();
        const int64_t to = std::min(runEnd, feedNext_ + archive_->HandOverSlice());
        archive_->Add(stored, feedNext_, to, source);
        feedNext_ = to;
        if (feedNext_ >= runEnd)
            feedRuns_.pop_front();
    }
    if (!FeedingArchive()) {
        ReleaseHeldArrivals();
        return;
    }
    if (feedQueued_)
        return;
    feedQueued_ = true;
    constexpr int BehindPauseMs = 20;
    QTimer::singleShot(BehindPauseMs, this, [this] {
        feedQueued_ = false;
        Guarded([this] { FeedArchive(); });
    });
}

void ArchiveController::FinishHandOver() {
    // The console is ending: a writer that has not written what waits within this is not
    // waited for, and what the queue cannot hold is counted as not archived.
    constexpr int WriterWaitMs = 5000;
    ending_ = true;
    while (FeedingArchive())
        FeedArchive(!archive_->Flush(WriterWaitMs));
}

void ArchiveController::ReleaseHeldArrivals() {
    if (HoldsArrivals() || buffer_.PuttingBack())
        return;
    for (const auto& held : std::exchange(heldArrivals_, {})) {
        if (held.uncounted)
            AddDownloadedRecord(held.rec);
        else
            buffer_.AddRecord(held.rec, held.source);
    }
}

void ArchiveController::Hold(const TMeasRecord& rec, ArrivalSource source) {
    heldArrivals_.push_back({rec, source, false});
}

void ArchiveController::AddDownloadedRecord(const TMeasRecord& rec) {
    // During the restore question it waits, to be counted in the download restored.
    if (HoldsArrivals()) {
        heldArrivals_.push_back({rec, ArrivalSource::Download, true});
        return;
    }
    if (downloads_.Arrived(rec.Counter))
        buffer_.AddRecord(rec, ArrivalSource::Download);
}

void ArchiveController::Add(const TMeasRecord& rec, ArrivalSource source) {
    if (archive_)
        archive_->Add(rec, source);
}

void ArchiveController::PutBack(int64_t from, ArrivalSource source) {
    if (archive_)
        HandOverToArchive(from, source);
}

void ArchiveController::BufferCleared() {
    feedNext_ = feedEnd_ = 0;
    feedRuns_.clear();
    ReleaseHeldArrivals();
    if (archive_)
        archive_->BufferCleared();
}

bool ArchiveController::ReportsWait() const {
    return archive_ && (archive_->Behind() || FeedingArchive());
}

void ArchiveController::OfferRestore() {
    // Not inside itself: a question already open asks about every session it found.
    if (!archive_ || holdArrivals_)
        return;
    holdArrivals_ = true;
    const auto release = qScopeGuard([this] {
        holdArrivals_ = false;
        ReleaseHeldArrivals();
    });
    // Read on a thread of its own while the window goes on, as the restore is.
    Result<std::vector<UncleanSession>> sessions;
    RunWithProgress(
        owner_, QStringLiteral("Reading the archive..."), 0,
        [&](WorkProgress&) {
            sessions = archive_->UncleanSessions();
            return true;
        },
        false);
    if (!sessions || ShutdownSignals::Received() != 0)
        return; // the archive cannot be read (ArchiveTx says why), or the console is ending
    // What the archive had to say while it opened (a damaged file moved aside) comes first;
    // the offer posted when it opened finds this one under way.
    QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
    for (const UncleanSession& s : *sessions) {
        const int answer =
            ShowStdDlg(RestoreQuestion(s, format_), QuestionType, YesNo, stddlg::kResultYes,
                       QStringLiteral("Restore measurements"), English, 0, -1, -1);
        // A signal ended the question, not the operator: it is asked next time.
        if (ShutdownSignals::Received() != 0)
            return;
        if (answer != stddlg::kResultYes) {
            archive_->MarkRestoreAsked(s);
            continue;
        }
        // Read on a connection of its own while the window goes on (the writer goes on
        // writing). "Cancel" keeps what was put back, as "Load" does; the rest stays in the
        // archive for History.
        RestoredSession restored;
        PutBackAsRead(QStringLiteral("Restoring %1 items...").arg(s.items), s.items, true,
                      [&](WorkProgress& progress, const RecordSlices& slices) {
                          restored = ValueOrFailure(archive_->Restore(s, slices, &progress));
                          return !progress.cancel;
                      });
        sweeps_.Recorder().Restore(restored.sweeps);
        if (restored.download)
            downloads_.Restore(*restored.download);
    }
}

void ArchiveController::HistoryBtnClick() {
    if (!archive_)
        return;
    // The list is read on the archive's thread for quick reads: the window shows at once, takes
    // its lines when they come, and each count still being made takes its line when it comes.
    HistoryDlg dialog(owner_);
    struct Read {
        std::vector<SessionSummary> sessions;
        std::optional<QString> error;
    };
    const auto read = std::make_shared<Read>();
    const QPointer<HistoryDlg> shown(&dialog);
    MeasurementArchive* archive = archive_;
    const auto fill = [shown, read, archive, fs = format_](Result<std::vector<SessionSummary>> r) {
        if (!shown)
            return;
        if (!r) {
            read->error = r.error().text;
            shown->reject();
            return;
        }
        read->sessions = std::move(*r);
        QStringList lines;
        for (const SessionSummary& s : read->sessions)
            lines << SessionLine(s, fs);
        shown->SetSessions(lines);
        for (size_t row = 0; row < read->sessions.size(); ++row) {
            if (!read->sessions[row].counting)
                continue;
            archive->CountMeasurements(
                read->sessions[row], [shown, row, s = read->sessions[row], fs](int64_t n) mutable {
                    s.counting = false;
                    s.measurements = n;
                    QMetaObject::invokeMethod(
                        qApp,
                        [shown, row, line = SessionLine(s, fs)] {
                            if (shown && shown->SessionLst->item(static_cast<int>(row)))
                                shown->SessionLst->item(static_cast<int>(row))->setText(line);
                        },
                        Qt::QueuedConnection);
                });
        }
    };
    archive->PostRead([archive, fill] {
        QMetaObject::invokeMethod(
            qApp, [fill, r = archive->Sessions()] { Guarded([&] { fill(r); }); },
            Qt::QueuedConnection);
    });
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (read->error)
        throw Failure(*read->error);
    if (!accepted || dialog.SessionLst->currentRow() < 0)
        return;
    const SessionSummary& chosen =
        read->sessions[static_cast<size_t>(dialog.SessionLst->currentRow())];
    // Read on a thread of its own while the window goes on; what arrives meanwhile is held and
    // follows the session's records, as during a restore.
    holdArrivals_ = true;
    const auto release = qScopeGuard([this] {
        holdArrivals_ = false;
        ReleaseHeldArrivals();
    });
    int64_t arrivals = 0;
    for (const int64_t n : chosen.arrivals)
        arrivals += n;
    // "Cancel" stops the read: what already arrived stays, as with the fleet's "Load" (it is in
    // the archive as restored arrivals too), and the sweeps are not loaded.
    Result<std::vector<Sweep>> sweeps;
    const bool loaded = PutBackAsRead(
        QStringLiteral("Loading session %1...").arg(chosen.id), arrivals, true,
        [&](WorkProgress& progress, const RecordSlices& slices) {
            ValueOrFailure(archive_->LoadSession(chosen.id, false, &progress, slices));
            if (!progress.cancel)
                sweeps = archive_->LoadSweeps(chosen.id);
            return !progress.cancel;
        });
    if (loaded)
        sweeps_.Recorder().Restore(ValueOrFailure(std::move(sweeps)));
}

bool ArchiveController::PutBackAsRead(
    const QString& label, int64_t total, bool cancellable,
    const std::function<bool(WorkProgress&, const RecordSlices&)>& read) {
    // The reader hands its slices over here, and wakes the window's thread only when none
    // were waiting: the event loop puts them into the buffer one at a time while the rest is
    // read, so no session is held in memory whole, and runs between them. A slice posted as an
    // event of its own ran back to back with the next one waiting, ahead of every timer (the
    // serial link's polls too: the event loop runs timers only when no event waits) for as
    // long as the reader kept ahead, a tenth of a second and more.
    struct Handed {
        std::mutex m;
        std::deque<std::vector<TMeasRecord>> slices;
        bool woken = false;
    } handed;
    const auto putIn = [this, &handed] {
        for (;;) {
            std::vector<TMeasRecord> slice;
            {
                std::lock_guard l(handed.m);
                if (handed.slices.empty()) {
                    handed.woken = false; // the next slice wakes the window again
                    return;
                }
                slice = std::move(handed.slices.front());
                handed.slices.pop_front();
            }
            Guarded([&] { buffer_.AddRecords(std::move(slice), ArrivalSource::Restored); });
            QCoreApplication::processEvents();
        }
    };
    QObject wake;
    const RecordSlices toBuffer = [&handed, &wake, &putIn](std::vector<TMeasRecord>&& r) {
        {
            std::lock_guard l(handed.m);
            handed.slices.push_back(std::move(r));
            if (std::exchange(handed.woken, true))
                return;
        }
        QMetaObject::invokeMethod(&wake, putIn, Qt::QueuedConnection);
    };
    // The archive's writer and counts wait meanwhile, and follow. The slices the event loop
    // has not taken yet go in before anything that follows them, also when the read failed
    // midway.
    ++readingBack_;
    if (archive_)
        archive_->StepBack(true);
    const auto taken = qScopeGuard([this, &putIn] {
        putIn();
        if (--readingBack_ > 0)
            return;
        if (archive_)
            archive_->StepBack(false);
        FeedArchive();
    });
    return RunWithProgress(
        owner_, label, total, [&](WorkProgress& progress) { return read(progress, toBuffer); },
        cancellable);
}
