#pragma once
// The fleet view's handlers, the window's no more: "Fleet..." on the GPRS page opens the one
// window "Fleet" on the collector's database (--fleet, or the string saved from its window;
// none: nothing is connected), and what it loads joins the buffer as arrivals of their own.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <span>

#include "records/MeasRecord.h"

class QAbstractButton;
class QWidget;

class FleetController : public QObject {
public:
    // Where loaded records go, slice by slice: the buffer.
    using RecordSink = std::function<void(std::span<const TMeasRecord>)>;

    // Follows `fleetBtn` ("Fleet..."); the window "Fleet" opens above `owner`, the main window,
    // which owns this controller too.
    FleetController(QAbstractButton* fleetBtn, const QString& conninfo, RecordSink records,
                    QWidget* owner);

private:
    void FleetBtnClick();

    QWidget* owner_;
    QString conninfo_;
    RecordSink records_;
    QPointer<QWidget> fleetWindow_;
};
