// The fleet view: "Fleet..." on the GPRS page opens the window "Fleet" on the collector's
// database; what it loads joins the buffer as arrivals of their own.
#include <QPushButton>

#include "app/ImpixMain.h"
#include "app/features/FleetWindow.h"
#include "base/Failure.h"
#include "fleet/FleetConninfo.h"

void TFImpixMain::ConnectFleetHandlers() {
    OnClick(connection_.FleetBtn, [this] { FleetBtnClick(); });
}

void TFImpixMain::FleetBtnClick() {
    if (!fleetWindow_) {
        auto* window = new FleetWindow(
            fleetConninfo_,
            [this](std::span<const TMeasRecord> records) {
                AddRecords(records, ArrivalSource::Fleet);
            },
            [this](const QString& conninfo) {
                fleetConninfo_ = conninfo;
                if (const QString error = SaveFleetConninfo(FleetConninfoPath(), conninfo);
                    !error.isEmpty())
                    throw Failure("Cannot keep the fleet connection: " + error);
            },
            this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        fleetWindow_ = window;
    }
    fleetWindow_->show();
    fleetWindow_->raise();
    fleetWindow_->activateWindow();
}
