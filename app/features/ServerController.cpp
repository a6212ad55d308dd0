#include "app/features/ServerController.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <utility>

#include "app/pages/ConnectionPage.h"
#include "base/EventGuard.h"

ServerController::ServerController(const ConnectionPage& page, ReportServer::Hooks hooks,
                                   const ConsoleOptions& options, const FormatSettings& format,
                                   QObject* owner)
    : QObject(owner), format_(format), droppedItemsTx_(page.DroppedItemsTx),
      refusedSendersTx_(page.RefusedSendersTx) {
    hooks.peerRefused = [this] { ShowRefusedSenders(); };
    hooks.reportItemCount = [this] { return static_cast<int64_t>(reportItemCount_); };
    server_ = new ReportServer(std::move(hooks), this);
    connect(page.RunServerBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { server_->Run(); }); });
    connect(page.StopServerBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { server_->Stop(); }); });

    // What the command line sets (tests, labs).
    if (options.reportPort != 0)
        server_->SetPort(options.reportPort);
    if (!options.reportListen.isNull())
        server_->SetListenAddress(options.reportListen);
    server_->SetAllowedPeers(options.reportAllow);
    if (options.reportIdleSeconds > 0)
        server_->SetIdleTimeout(std::chrono::seconds(options.reportIdleSeconds));
}

void ServerController::ShowRefusedSenders() {
    refusedSendersTx_->setText(QString::number(server_->RefusedPeers()));
    refusedSendersTx_->setToolTip(server_->RefusedHint(format_));
}

void ServerController::CountDroppedReportItem() {
    ++droppedReportItems_;
    droppedItemsTx_->setText(QString::number(droppedReportItems_));
}
