#include "app/features/ServerController.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <chrono>
#include <stdexcept>
#include <utility>

#include "base/EventGuard.h"

ServerController::ServerController(QGroupBox* serverBox, QAbstractButton* runBtn,
                                   QAbstractButton* stopBtn, ReportServer::Hooks hooks,
                                   const ConsoleOptions& options, const FormatSettings& format,
                                   QObject* owner)
    : QObject(owner), format_(format) {
    hooks.peerRefused = [this] { ShowRefusedSenders(); };
    hooks.reportItemCount = [this] { return static_cast<int64_t>(reportItemCount_); };
    server_ = new ReportServer(std::move(hooks), this);
    connect(runBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { server_->Run(); }); });
    connect(stopBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { server_->Stop(); }); });
    AddRows(serverBox);

    // What the command line sets (tests, labs).
    if (options.reportPort != 0)
        server_->SetPort(options.reportPort);
    if (!options.reportListen.isNull())
        server_->SetListenAddress(options.reportListen);
    server_->SetAllowedPeers(options.reportAllow);
    if (options.reportIdleSeconds > 0)
        server_->SetIdleTimeout(std::chrono::seconds(options.reportIdleSeconds));
}

void ServerController::AddRows(QGroupBox* box) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid)
        throw std::logic_error("ServerBox is not laid out in a grid");
    const auto addRow = [&](const char* captionName, const char* caption, const char* name) {
        auto* captionLabel = new QLabel(caption, box);
        captionLabel->setObjectName(captionName);
        auto* value = new QLabel("0", box);
        value->setObjectName(name);
        const int row = grid->rowCount();
        grid->addWidget(captionLabel, row, 0);
        grid->addWidget(value, row, 1);
        return value;
    };
    droppedItemsTx_ = addRow("DroppedCaptionTx", "Dropped items:", "DroppedItemsTx");
    refusedSendersTx_ = addRow("RefusedCaptionTx", "Refused senders:", "RefusedSendersTx");
}

void ServerController::ShowRefusedSenders() {
    refusedSendersTx_->setText(QString::number(server_->RefusedPeers()));
    refusedSendersTx_->setToolTip(server_->RefusedHint(format_));
}

void ServerController::CountDroppedReportItem() {
    ++droppedReportItems_;
    droppedItemsTx_->setText(QString::number(droppedReportItems_));
}
