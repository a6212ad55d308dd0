#pragma once
// The link's connection on the page "Connection", owned by its controller rather than the main
// window: the connection type choosing its page of the notebook, "Reconnect" and the port's
// settings, the connection state shown in ComStatusLx, and "Version info" of the page
// "Measure", which asks the logger over the same link.
#include <QObject>
#include <functional>

#include "app/pages/ConnectionPage.h"

class QAbstractButton;
class TMB;

class ConnectionController : public QObject {
public:
    // Follows the page's ConGrp, ReconnectBtn and ComSettingsBtn, and `versionInfoBtn`, over
    // `link`; `portReopened` runs after "Reconnect" opened the port anew. `owner`, the main
    // window, owns the controller.
    ConnectionController(const ConnectionPage& page, QAbstractButton* versionInfoBtn, TMB& link,
                         std::function<void()> portReopened, QObject* owner);

    // "Connected" in green, or "Disconnected" in red.
    void ShowState(bool connected);

private:
    void ConGrpClick();
    void ReconnectBtnClick();
    void VersionInfoBtnClick();
    void ComSettingsBtnClick();

    ConnectionPage page_;
    TMB& link_;
    std::function<void()> portReopened_;
};
