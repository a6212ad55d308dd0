#pragma once
// The GPRS report server of the "pg_GPRS" page, owned by its controller rather than the main
// window: the server itself, what the command line sets of it, "Run" and "Stop", and the count of
// senders refused (outside --report-allow) in the server group.
#include <QObject>

#include "app/ConsoleOptions.h"
#include "base/FormatSettings.h"
#include "net/ReportServer.h"

struct ConnectionPage;
class QLabel;

class ServerController : public QObject {
public:
    // The page's server buttons (RunServerBtn, StopServerBtn) and its count of refused senders
    // (RefusedSendersTx); `hooks` as the server needs them of the window and the link, but for
    // peerRefused, which the controller shows itself. `owner`, the main window, owns the
    // controller.
    ServerController(const ConnectionPage& page, ReportServer::Hooks hooks,
                     const ConsoleOptions& options, const FormatSettings& format, QObject* owner);

private:
    // RefusedSendersTx and its tooltip.
    void ShowRefusedSenders();

    FormatSettings format_;
    ReportServer* server_ = nullptr;
    QLabel* refusedSendersTx_ = nullptr;
};
