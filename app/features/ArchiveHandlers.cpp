// The measurement archive beside the buffer: its state in ArchiveTx, its messages, the restore
// question after an unclean end, and "History..." that loads an archived session into the
// buffer.
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/ImpixMain.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/ShutdownSignals.h"
#include "dialogs/HistoryDlg.h"
#include "dialogs/MessageBox.h"
#include "dialogs/StdDlg.h"
#include "link/ModBus.h"

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
            .arg(s.measurements < 0 ? QStringLiteral("measurements counted when it ends")
                                    : QStringLiteral("%1 measurements").arg(s.measurements));
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
    text += QStringLiteral(". Put them back into the buffer?");
    if (!s.file.isEmpty())
        text += QStringLiteral(" They are read from the damaged archive %1.").arg(s.file);
    return text;
}
} // namespace

void TFImpixMain::ConnectArchiveHandlers() {
    OnClick("HistoryBtn", [this] { HistoryBtnClick(); });
    C<QPushButton>("HistoryBtn")->setEnabled(false);
    archiveTimer_ = new QTimer(this);
    archiveTimer_->setInterval(StateIntervalMs);
    connect(archiveTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { ShowArchiveState(); }); });
}

void TFImpixMain::SetArchive(MeasurementArchive* archive) {
    archive_ = archive;
    C<QPushButton>("HistoryBtn")->setEnabled(archive_ != nullptr);
    if (archive_)
        archiveTimer_->start();
    else
        archiveTimer_->stop();
    ShowArchiveState();
}

void TFImpixMain::ShowArchiveState() {
    const QString text =
        archive_ ? ArchiveLabelText(archive_->State()) : QStringLiteral("Archive: off");
    if (Text("ArchiveTx") != text)
        SetText("ArchiveTx", text);
}

void TFImpixMain::NoteArchivePort() {
    if (archive_ && MB)
        archive_->SetPort(MB->RS232.GetPortName());
}

void TFImpixMain::HookArchive(ArchiveOptions& options) {
    // The writer's thread posts to this one; a window gone by then hears nothing.
    const QPointer<TFImpixMain> self(this);
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
}

void TFImpixMain::GiveArchiveTheBuffer() {
    if (!archive_)
        return;
    std::optional<DownloadState> download;
    if (Download.Active())
        download = DownloadState{Download.First(), Download.Requested(), Download.Arrived()};
    // In blocks, the first starting anew: the pool may hold millions.
    constexpr int64_t Block = 65536;
    std::vector<TMeasRecord> part;
    for (int64_t from = 0; from == 0 || from < Pool.Count(); from += Block) {
        part.clear();
        for (int64_t k = from; k < std::min(from + Block, Pool.Count()); ++k)
            part.push_back(Pool.At(k));
        if (from == 0)
            archive_->StartAnew(part, download);
        else
            archive_->Add(part, ArrivalSource::Restored);
    }
}

void TFImpixMain::OfferRestore() {
    // Not inside itself: a question already open asks about every session it found.
    if (!archive_ || holdArrivals_)
        return;
    std::vector<UncleanSession> sessions;
    try {
        sessions = archive_->UncleanSessions();
    } catch (const Failure&) {
        return; // the archive cannot be read: ArchiveTx says why
    }
    // What the archive had to say while it opened (a damaged file moved aside) comes first.
    QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
    holdArrivals_ = true;
    const auto release = qScopeGuard([this] {
        holdArrivals_ = false;
        for (const auto& [rec, source] : std::exchange(heldArrivals_, {})) {
            if (source == ArrivalSource::Download)
                AddDownloadedRecord(rec);
            else
                AddRecord(rec, source);
        }
    });
    for (const UncleanSession& s : sessions) {
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
        const RestoredSession restored = archive_->Restore(s);
        AddRecords(restored.records, ArrivalSource::Restored);
        if (restored.download) {
            const DownloadState& d = *restored.download;
            Download.Restore(d.first, d.amount, d.arrived, downloadClock_.elapsed());
            NoteArchiveDownload();
            ShowDownloadState();
            downloadTimer_->start();
        }
    }
}

void TFImpixMain::HistoryBtnClick() {
    if (!archive_)
        return;
    const std::vector<SessionSummary> sessions = archive_->Sessions();
    QStringList lines;
    for (const SessionSummary& s : sessions)
        lines << SessionLine(s, format_);
    const std::optional<int> chosen = AskHistorySession(this, lines);
    if (chosen)
        AddRecords(archive_->LoadSession(sessions[static_cast<size_t>(*chosen)].id, false),
                   ArrivalSource::Restored);
}
