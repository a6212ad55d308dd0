// The GPRS report server on the "pg_GPRS" page (its controller and what it needs of the
// window and the link), its item counts, and the data preview plot.
#include <QLabel>
#include <QPushButton>

#include "app/ImpixMain.h"
#include "app/features/ServerController.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "link/ModBus.h"
#include "net/ReportServer.h"
#include "widgets/PreviewPlot.h"
#include "widgets/SpinEdit.h"

void TFImpixMain::ConnectServerHandlers(const ConsoleOptions& options) {
    ReportServer::Hooks hooks;
    hooks.reportItem = [this](ReportServer::Item item) { MB->ReportItem(item); };
    hooks.reportItemCount = [this] { return static_cast<int64_t>(ReportItemCount); };
    hooks.stateText = [this](const QString& text) { connection_.SocketStateLabel->setText(text); };
    hooks.countText = [this](const QString& text) { connection_.CntLabel->setText(text); };
    hooks.peerConnected = [this](const QString& peer) {
        if (archive_)
            archive_->SetPeer(peer);
    };
    // A report that comes faster than the archive can write waits in the connection instead of
    // leaving measurements out of the archive, and while restored items go to it.
    hooks.holdBack = [this] { return archive_ && (archive_->Behind() || FeedingArchive()); };
    new ServerController(connection_, std::move(hooks), options, format_, this);
}

void TFImpixMain::ConnectPreviewHandlers() {
    plot_->SetPool(&Pool);
    plot_->SetTextOutputs([this](const QString& t) { dataPreview_.ChannelDwTx->setText(t); },
                          [this](const QString& t) { dataPreview_.BoardDwTx->setText(t); });
    connect(dataPreview_.PwBrdEd, &SpinEdit::changed, this,
            [this] { Guarded([this] { PwBrdEdChange(); }); });
}

void TFImpixMain::CountReportItem() {
    ++ReportItemCount;
}

void TFImpixMain::CountDroppedReportItem() {
    ++DroppedReportItems;
    connection_.DroppedItemsTx->setText(QString::number(DroppedReportItems));
}

void TFImpixMain::PwBrdEdChange() {
    plot_->SetBoard(static_cast<int>(Round(dataPreview_.PwBrdEd->Value())));
}
