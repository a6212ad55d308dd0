// The measurement archive beside the buffer: its state in ArchiveTx, the restore question after
// an unclean end, and "History..." that loads an archived session into the buffer.
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/ImpixMain.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "data/MeasurementArchive.h"
#include "dialogs/HistoryDlg.h"
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
    QString end = s.running    ? QStringLiteral("running")
                  : s.cleanEnd ? LocalTime(s.endedAt, fs)
                               : QStringLiteral("no clean end");
    QString line =
        QStringLiteral("%1 - %2: live %3, download %4, report %5, restored %6; %7")
            .arg(LocalTime(s.startedAt, fs), end)
            .arg(s.arrivals[int(ArrivalSource::Live)])
            .arg(s.arrivals[int(ArrivalSource::Download)])
            .arg(s.arrivals[int(ArrivalSource::Report)])
            .arg(s.arrivals[int(ArrivalSource::Restored)])
            .arg(s.measurements < 0 ? QStringLiteral("measurements counted when it ends")
                                    : QStringLiteral("%1 measurements").arg(s.measurements));
    if (!s.port.isEmpty())
        line += QStringLiteral("; ") + s.port;
    if (!s.peer.isEmpty())
        line += QStringLiteral("; reports from ") + s.peer;
    return line;
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

void TFImpixMain::OfferRestore() {
    if (!archive_)
        return;
    std::optional<UncleanSession> previous;
    try {
        previous = archive_->PreviousUncleanSession();
    } catch (const Failure&) {
        return; // the archive cannot be read: ArchiveTx says why
    }
    if (!previous)
        return;
    const QString text =
        QStringLiteral("The console was not closed properly last time. Its buffer held %1 "
                       "items, the last one received %2 (session started %3). Put them back "
                       "into the buffer?")
            .arg(previous->items)
            .arg(LocalTime(QDateTime::fromMSecsSinceEpoch(previous->lastReceivedMs, Qt::UTC),
                           format_))
            .arg(LocalTime(previous->startedAt, format_));
    const int answer = ShowStdDlg(text, QuestionType, YesNo, stddlg::kResultYes,
                                  QStringLiteral("Restore measurements"), English, 0, -1, -1);
    archive_->MarkRestoreAsked(previous->id);
    if (answer == stddlg::kResultYes)
        AddRecords(archive_->LoadSession(previous->id, true), ArrivalSource::Restored);
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
