// The GPRS report server on the "pg_GPRS" page and the data preview plot.
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "app/ImpixMain.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "data/MeasurementArchive.h"
#include "data/ReportServer.h"
#include "link/ModBus.h"
#include "widgets/PreviewPlot.h"
#include "widgets/SpinEdit.h"

void TFImpixMain::SetReportPort(quint16 port) {
    server_->SetPort(port);
}

void TFImpixMain::ConnectServerHandlers() {
    ReportServer::Hooks hooks;
    hooks.reportItem = [this](ReportServer::Item item) { MB->ReportItem(item); };
    hooks.reportItemCount = [this] { return static_cast<int64_t>(ReportItemCount); };
    hooks.stateText = [this](const QString& text) { SetText("SocketStateLabel", text); };
    hooks.countText = [this](const QString& text) { SetText("CntLabel", text); };
    hooks.peerConnected = [this](const QString& peer) {
        if (archive_)
            archive_->SetPeer(peer);
    };
    // A report that comes faster than the archive can write waits in the connection instead of
    // leaving measurements out of the archive.
    hooks.holdBack = [this] { return archive_ && archive_->Behind(); };
    server_ = new ReportServer(std::move(hooks), this);
    OnClick("RunServerBtn", [this] { server_->Run(); });
    OnClick("StopServerBtn", [this] { server_->Stop(); });

    // Report items whose date cannot exist are dropped; the operator sees how many.
    auto* box = C<QGroupBox>("ServerBox");
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        auto* caption = new QLabel("Dropped items:", box);
        caption->setObjectName("DroppedCaptionTx");
        auto* count = new QLabel("0", box);
        count->setObjectName("DroppedItemsTx");
        const int row = grid->rowCount();
        grid->addWidget(caption, row, 0);
        grid->addWidget(count, row, 1);
        controls_.insert(caption->objectName(), caption);
        controls_.insert(count->objectName(), count);
    }

    plot_->SetPool(&Pool);
    plot_->SetTextOutputs([this](const QString& t) { SetText("ChannelDwTx", t); },
                          [this](const QString& t) { SetText("BoardDwTx", t); });
    connect(C<SpinEdit>("PwBrdEd"), &SpinEdit::changed, this,
            [this] { Guarded([this] { PwBrdEdChange(); }); });
}

void TFImpixMain::CountReportItem() {
    ++ReportItemCount;
}

void TFImpixMain::CountDroppedReportItem() {
    ++DroppedReportItems;
    SetText("DroppedItemsTx", QString::number(DroppedReportItems));
}

void TFImpixMain::PwBrdEdChange() {
    plot_->SetBoard(static_cast<int>(Round(Value("PwBrdEd"))));
}
