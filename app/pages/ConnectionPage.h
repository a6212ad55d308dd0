#pragma once
class QGroupBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QWidget;
class RadioGroup;

// The controls of the page "Connection" that the window works on, named as the controls are.
struct ConnectionPage {
    RadioGroup* ConGrp = nullptr;
    QStackedWidget* ConBook = nullptr;
    QWidget* pg_USB = nullptr;
    QWidget* pg_LAN = nullptr;
    QWidget* pg_GPRS = nullptr;
    QLabel* ComStatusLx = nullptr;
    QPushButton* ReconnectBtn = nullptr;
    QPushButton* ComSettingsBtn = nullptr;
    QGroupBox* ServerBox = nullptr;
    QLabel* SocketStateLabel = nullptr;
    QLabel* CntLabel = nullptr;
    QPushButton* RunServerBtn = nullptr;
    QPushButton* StopServerBtn = nullptr;
    QLabel* DroppedItemsTx = nullptr;
    QLabel* RefusedSendersTx = nullptr;
    QPushButton* FleetBtn = nullptr;
};

// Fills the page "Connection" (ConnSheet): the connection type ConGrp and the group
// GroupBox2 with the notebook ConBook of the pages "pg_USB", "pg_LAN" and "pg_GPRS"
// ("pg_USB" showing).
ConnectionPage BuildConnectionPage(QWidget* page);
