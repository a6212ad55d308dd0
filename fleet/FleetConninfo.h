#pragma once
// The fleet database's connection string as the operator chose it in the window, kept in the
// user's configuration folder for the next start. Never with a password: that belongs in libpq's
// ~/.pgpass (or a service file), where it is kept with the care libpq asks for.
#include <QString>

// fleet.conninfo in the configuration folder (base/FileLocations decides where that is).
QString FleetConninfoPath();
// The kept string; empty when there is none (no fleet: nothing is connected).
QString ReadFleetConninfo(const QString& path);
// Keeps `conninfo` without its password (empty: forgets it); the failure's text, empty when kept.
QString SaveFleetConninfo(const QString& path, const QString& conninfo);
