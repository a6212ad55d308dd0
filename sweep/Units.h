#pragma once
// Names and units of the quantities the console draws and writes where the logger's own labels
// do not fix them: one name per quantity, and one unit prefix per axis or column.
#include <QString>

enum class Quantity {
    Frequency,  // f, Hz
    Resistance, // R, ohms
    Reactance,  // X, ohms
    Magnitude,  // |Z|, ohms
    Phase,      // phase, degrees
};

enum class Unit { Ohm, Hertz, Degree };

QString QuantityName(Quantity q);
Unit QuantityUnit(Quantity q);

// Values are shown divided by `divisor`, followed by `symbol` ("kΩ").
struct UnitScale {
    double divisor = 1;
    QString symbol;
};
// The one prefix for every value from lo to hi: the largest magnitude among them shows below
// 1000 where the unit has a prefix for it (Ω, kΩ, MΩ; Hz, kHz; ° has none).
UnitScale ScaleFor(Unit unit, double lo, double hi);
// The unit without prefix.
UnitScale BaseScale(Unit unit);

// "12.35 kΩ"; "?" for a value that is not finite.
QString WithUnit(double value, const UnitScale& scale, int decimals);
// "R (kΩ)": an axis title or a column header.
QString QuantityTitle(Quantity q, const UnitScale& scale);
