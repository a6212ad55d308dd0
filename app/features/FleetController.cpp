#include "app/features/FleetController.h"

#include <QAbstractButton>
#include <utility>

#include "app/features/FleetWindow.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "fleet/FleetConninfo.h"

FleetController::FleetController(QAbstractButton* fleetBtn, const QString& conninfo,
                                 RecordSink records, QWidget* owner)
    : QObject(owner), owner_(owner), conninfo_(conninfo), records_(std::move(records)) {
    connect(fleetBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { FleetBtnClick(); }); });
}

void FleetController::FleetBtnClick() {
    if (!fleetWindow_) {
        auto* window = new FleetWindow(
            conninfo_, records_,
            [this](const QString& conninfo) {
                conninfo_ = conninfo;
                if (const QString error = SaveFleetConninfo(FleetConninfoPath(), conninfo);
                    !error.isEmpty())
                    throw Failure("Cannot keep the fleet connection: " + error);
            },
            owner_);
        window->setAttribute(Qt::WA_DeleteOnClose);
        fleetWindow_ = window;
    }
    fleetWindow_->show();
    fleetWindow_->raise();
    fleetWindow_->activateWindow();
}
