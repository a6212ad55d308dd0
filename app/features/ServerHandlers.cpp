// The GPRS report server on the "pg_GPRS" page and the data preview plot.
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/ImpixMain.h"
#include "archive/MeasurementArchive.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "link/ModBus.h"
#include "net/ReportServer.h"
#include "widgets/PreviewPlot.h"
#include "widgets/SpinEdit.h"

void TFImpixMain::SetReportPort(quint16 port) {
    server_->SetPort(port);
}

void TFImpixMain::ConnectServerHandlers() {
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
    hooks.peerRefused = [this] { ShowRefusedSenders(); };
    server_ = new ReportServer(std::move(hooks), this);
    OnClick(connection_.RunServerBtn, [this] { server_->Run(); });
    OnClick(connection_.StopServerBtn, [this] { server_->Stop(); });

    // Rows of their own below the specified ones: report items dropped (a date that cannot
    // exist, a board or channel the logger lacks) and senders refused (outside --report-allow).
    QGroupBox* box = connection_.ServerBox;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        const auto addRow = [&](const char* captionName, const char* caption, const char* name,
                                QLabel*& shown) {
            auto* captionLabel = new QLabel(caption, box);
            captionLabel->setObjectName(captionName);
            auto* value = new QLabel("0", box);
            value->setObjectName(name);
            const int row = grid->rowCount();
            grid->addWidget(captionLabel, row, 0);
            grid->addWidget(value, row, 1);
            shown = value;
        };
        addRow("DroppedCaptionTx", "Dropped items:", "DroppedItemsTx", droppedItemsTx_);
        addRow("RefusedCaptionTx", "Refused senders:", "RefusedSendersTx", refusedSendersTx_);
    }

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
    droppedItemsTx_->setText(QString::number(DroppedReportItems));
}

void TFImpixMain::ShowRefusedSenders() {
    QLabel* label = refusedSendersTx_;
    label->setText(QString::number(server_->RefusedPeers()));
    label->setToolTip(server_->RefusedHint(format_));
}

void TFImpixMain::PwBrdEdChange() {
    plot_->SetBoard(static_cast<int>(Round(dataPreview_.PwBrdEd->Value())));
}
