#pragma once
// The window "Fleet" (FFleet): the collector's database as the operator reads it. The loggers
// (FleetLst: name, address, last report, its items, measurements in all, state; late rows in red,
// sortable, filtered by FleetFilterEd) with the count of late ones (FleetLateTx, and in the
// title), the unknown peers' reports (FleetUnknownLst) on a second tab, the connection (FleetDbEd,
// FleetConnectBtn, FleetStateTx), and the load of the chosen logger's measurements in a span
// (FleetSpanGrp, FleetFromEd, FleetToEd, FleetLoadBtn, FleetLoadBar, FleetCancelBtn).
#include <QWidget>
#include <functional>
#include <memory>
#include <span>

#include "app/pages/FleetWindowPage.h"
#include "fleet/FleetClient.h"
#include "fleet/MeasurementLoad.h"

class FleetLoggerList;
class QStandardItemModel;

class FleetWindow : public QWidget {
    Q_OBJECT
public:
    // Where loaded records go, slice by slice, in logger-time order.
    using RecordSink = std::function<void(std::span<const TMeasRecord>)>;
    // Where a connection string the operator chose is kept.
    using ConninfoSink = std::function<void(const QString&)>;

    // A window of its own above parent, closed with it; connects at once unless `conninfo` is
    // empty.
    FleetWindow(const QString& conninfo, RecordSink records, ConninfoSink keep,
                QWidget* parent = nullptr);

    // "2 of 140 late"
    static QString LateText(int late, int all);

private:
    void Connect(const QString& conninfo);
    void ShowFleet();
    void ShowLoggers();
    void UpdateLoggers(const std::vector<fleet::LoggerRow>& rows);
    void ShowUnknown();
    void ShowLate();
    void ShowState();
    void LoadClick();
    fleet::LoadSpan Span() const;
    qint64 ChosenLogger() const;

    RecordSink records_;
    ConninfoSink keep_;
    std::unique_ptr<fleet::FleetClient> client_;
    fleet::MeasurementLoad load_;
    FleetLoggerList* loggers_ = nullptr;
    QStandardItemModel* unknown_ = nullptr;
    FleetWindowPage view_;
};
