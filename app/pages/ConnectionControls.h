#pragma once
// The declarative control table of the page "Connection": its groups' titles and the rows of
// the labels and buttons on its notebook's pages, in their order on the page.
#include "app/pages/ConnectionPage.h"
#include "app/pages/ControlRows.h"

namespace pages::connection {

inline constexpr const char* StatusTitle = " Status && settings: ";
inline constexpr const char* ServerTitle = " Server ";

inline const RadioRow<ConnectionPage> TypeRadio{
    &ConnectionPage::ConGrp, "ConGrp", " Connection Type: ", {"USB", "LAN", "GPRS"}, 0};

// Below the connection type, around the notebook ConBook.
inline constexpr GroupRow<ConnectionPage> StatusGroup{"GroupBox2", StatusTitle};
// On "pg_GPRS".
inline constexpr GroupRow<ConnectionPage> ServerGroup{"ServerBox", ServerTitle,
                                                      &ConnectionPage::ServerBox};

// On "pg_USB", below its caption "USB Port Status" (Label5).
inline const LabelRow<ConnectionPage> UsbLabels[] = {
    {&ConnectionPage::ComStatusLx, "ComStatusLx", "connected"},
};

inline const ButtonRow<ConnectionPage> UsbButtons[] = {
    {&ConnectionPage::ReconnectBtn, "ReconnectBtn", "Connect"},
    {&ConnectionPage::ComSettingsBtn, "ComSettingsBtn", "Settings"},
};

// On "pg_GPRS", in the server group, after their captions "Status:" (Label29) and "Received:"
// (Label33).
inline const LabelRow<ConnectionPage> ServerLabels[] = {
    {&ConnectionPage::SocketStateLabel, "SocketStateLabel", "listen"},
    {&ConnectionPage::CntLabel, "CntLabel", "0"},
};

inline const ButtonRow<ConnectionPage> ServerButtons[] = {
    {&ConnectionPage::RunServerBtn, "RunServerBtn", "Run"},
    {&ConnectionPage::StopServerBtn, "StopServerBtn", "Stop"},
};

// Below the server's buttons, our own counts: report items dropped (a date that cannot exist, a
// board or channel the logger lacks) and senders refused (outside --report-allow).
inline const ShownRow<ConnectionPage> ServerCountRows[] = {
    {&ConnectionPage::DroppedItemsTx, "DroppedItemsTx", "Dropped items:", "DroppedCaptionTx", "0"},
    {&ConnectionPage::RefusedSendersTx, "RefusedSendersTx", "Refused senders:", "RefusedCaptionTx",
     "0"},
};

// On "pg_GPRS", below the server group: opens the window "Fleet" on the collector's database.
inline const ButtonRow<ConnectionPage> GprsButtons[] = {
    {&ConnectionPage::FleetBtn, "FleetBtn", "Fleet..."},
};

} // namespace pages::connection
