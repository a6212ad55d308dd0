#pragma once
// The GPRS report server of the "pg_GPRS" page, owned by its controller rather than the main
// window: the server itself, what the command line sets of it, "Run" and "Stop", and its counts in
// the server group: report items dropped (a date that cannot exist, a board or channel the logger
// lacks) and senders refused (outside --report-allow).
#include <QObject>

#include "app/ConsoleOptions.h"
#include "base/FormatSettings.h"
#include "net/ReportServer.h"

struct ConnectionPage;
class QLabel;

class ServerController : public QObject {
public:
    // The page's server buttons (RunServerBtn, StopServerBtn) and its counts (DroppedItemsTx,
    // RefusedSendersTx); `hooks` as the server needs them of the window and the link, but for
    // peerRefused, which the controller shows itself, and reportItemCount, which it keeps.
    // `owner`, the main window, owns the controller.
    ServerController(const ConnectionPage& page, ReportServer::Hooks hooks,
                     const ConsoleOptions& options, const FormatSettings& format, QObject* owner);

    // A report item was completed (ReportItemCount + 1), or dropped (DroppedItemsTx shows how
    // many).
    void CountReportItem() { ++reportItemCount_; }
    void CountDroppedReportItem();
    // Report items completed, for the server's count line.
    int ReportItemCount() const { return reportItemCount_; }

private:
    // RefusedSendersTx and its tooltip.
    void ShowRefusedSenders();

    FormatSettings format_;
    ReportServer* server_ = nullptr;
    QLabel* droppedItemsTx_ = nullptr;
    QLabel* refusedSendersTx_ = nullptr;
    int reportItemCount_ = 0;
    int droppedReportItems_ = 0;
};
