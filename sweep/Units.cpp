#include "sweep/Units.h"

#include <cmath>

namespace {

struct Prefix {
    double divisor;
    const char* symbol;
};

} // namespace

QString QuantityName(Quantity q) {
    switch (q) {
    case Quantity::Frequency:
        return QStringLiteral("f");
    case Quantity::Resistance:
        return QStringLiteral("R");
    case Quantity::Reactance:
        return QStringLiteral("X");
    case Quantity::Magnitude:
        return QStringLiteral("|Z|");
    case Quantity::Phase:
        return QStringLiteral("phase");
    }
    return {};
}

Unit QuantityUnit(Quantity q) {
    switch (q) {
    case Quantity::Frequency:
        return Unit::Hertz;
    case Quantity::Phase:
        return Unit::Degree;
    default:
        return Unit::Ohm;
    }
}

UnitScale BaseScale(Unit unit) {
    return ScaleFor(unit, 0, 0);
}

UnitScale ScaleFor(Unit unit, double lo, double hi) {
    static constexpr Prefix Ohms[] = {{1e6, "MΩ"}, {1e3, "kΩ"}, {1, "Ω"}};
    static constexpr Prefix Hertz[] = {{1e3, "kHz"}, {1, "Hz"}};
    static constexpr Prefix Degrees[] = {{1, "°"}};
    const auto pick = [&](const auto& prefixes) {
        double largest = std::fmax(std::fabs(lo), std::fabs(hi));
        if (!std::isfinite(largest))
            largest = 0;
        for (const Prefix& p : prefixes)
            if (largest >= p.divisor)
                return UnitScale{p.divisor, QString::fromUtf8(p.symbol)};
        const Prefix& base = prefixes[std::size(prefixes) - 1];
        return UnitScale{base.divisor, QString::fromUtf8(base.symbol)};
    };
    switch (unit) {
    case Unit::Ohm:
        return pick(Ohms);
    case Unit::Hertz:
        return pick(Hertz);
    case Unit::Degree:
        return pick(Degrees);
    }
    return {};
}

QString WithUnit(double value, const UnitScale& scale, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("?");
    const QString number = QString::number(value / scale.divisor, 'f', decimals);
    // No blank before the degree sign: 45°.
    return scale.symbol == QStringLiteral("°") ? number + scale.symbol
                                               : number + ' ' + scale.symbol;
}

QString QuantityTitle(Quantity q, const UnitScale& scale) {
    return QString("%1 (%2)").arg(QuantityName(q), scale.symbol);
}
