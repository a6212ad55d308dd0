#include "app/features/ConnectionController.h"

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <utility>

#include "app/pages/Looks.h"
#include "base/EventGuard.h"
#include "dialogs/ComDlg.h"
#include "link/ModBus.h"
#include "widgets/RadioGroup.h"

ConnectionController::ConnectionController(const ConnectionPage& page,
                                           QAbstractButton* versionInfoBtn, TMB& link,
                                           std::function<void()> portReopened, QObject* owner)
    : QObject(owner), page_(page), link_(link), portReopened_(std::move(portReopened)) {
    const auto onClick = [this](QAbstractButton* button, void (ConnectionController::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    onClick(page_.ReconnectBtn, &ConnectionController::ReconnectBtnClick);
    onClick(page_.ComSettingsBtn, &ConnectionController::ComSettingsBtnClick);
    onClick(versionInfoBtn, &ConnectionController::VersionInfoBtnClick);
    connect(page_.ConGrp, &RadioGroup::clicked, this,
            [this](int) { Guarded([this] { ConGrpClick(); }); });
}

void ConnectionController::ConGrpClick() {
    QWidget* const book[] = {page_.pg_USB, page_.pg_LAN, page_.pg_GPRS};
    const int i = page_.ConGrp->ItemIndex();
    if (i >= 0 && i < 3)
        page_.ConBook->setCurrentWidget(book[i]);
}

void ConnectionController::ShowState(bool connected) {
    QLabel* label = page_.ComStatusLx;
    label->setText(connected ? "Connected" : "Disconnected");
    looks::SetTextColor(label, connected ? QColor(0, 128, 0) : QColor(255, 0, 0));
}

void ConnectionController::ReconnectBtnClick() {
    link_.ReopenPort();
    portReopened_();
}

void ConnectionController::VersionInfoBtnClick() {
    link_.SendShortRequest(Request::GetVersion);
}

void ConnectionController::ComSettingsBtnClick() {
    ShowSettings(link_.SerialPort());
}
