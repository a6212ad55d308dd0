#pragma once
class QAbstractItemModel;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QString;
class QTabWidget;
class QTableView;
class QWidget;
class RadioGroup;

// The controls of the window "Fleet" (FFleet), named as the controls are: the connection, the
// loggers with their filter and the count of late ones, the unknown peers' reports on a second
// tab, and the load of one logger's measurements in a span.
struct FleetWindowPage {
    QLineEdit* FleetDbEd = nullptr;
    QPushButton* FleetConnectBtn = nullptr;
    QLabel* FleetStateTx = nullptr;
    QLabel* FleetLateTx = nullptr;
    QTableView* FleetLst = nullptr;
    QLineEdit* FleetFilterEd = nullptr;
    QTableView* FleetUnknownLst = nullptr;
    QTabWidget* FleetTabs = nullptr;
    RadioGroup* FleetSpanGrp = nullptr;
    QDateTimeEdit* FleetFromEd = nullptr;
    QDateTimeEdit* FleetToEd = nullptr;
    QPushButton* FleetLoadBtn = nullptr;
    QPushButton* FleetCancelBtn = nullptr;
    QProgressBar* FleetLoadBar = nullptr;
};

// Names the window FFleet, titles it "Fleet" and lays out its controls, the connection string
// `conninfo` in FleetDbEd; the two lists show `loggers` (sorted by name) and `unknown` (newest
// first).
FleetWindowPage BuildFleetWindowPage(QWidget* window, const QString& conninfo,
                                     QAbstractItemModel* loggers, QAbstractItemModel* unknown);
