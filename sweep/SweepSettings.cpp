#include "sweep/SweepSettings.h"

#include <cmath>

#include "base/Rounding.h"
#include "link/Encodings.h"
#include "records/MeasDecode.h"

std::optional<SweepSettings> SweepSettingsFromWire(std::span<const uint8_t> bytes) {
    if (bytes.size() < FreqParamsSize)
        return std::nullopt;
    return ReadFreqParamsCodes(bytes.data());
}

std::vector<uint32_t> SweepFrequencyCodes(const SweepSettings& s) {
    constexpr double LargestCode = 0xFFFFFF;
    const double multiplier = enc::MultiplierFromCode(s.multiplier);
    std::vector<uint32_t> codes;
    for (int k = 0; k < MaxSweepPoints; ++k) {
        const double exact = s.begin * std::pow(multiplier, k);
        if (exact > s.end || exact > LargestCode)
            break;
        const auto code = static_cast<uint32_t>(Round(exact));
        if (!codes.empty() && code <= codes.back())
            break;
        codes.push_back(code);
    }
    return codes;
}

QString SweepSettingsText(const SweepSettings& s) {
    const auto number = [](double v) { return QString::number(v, 'g', 10); };
    return QString("begin %1 Hz, end %2 Hz, multiplier %3, voltage %4 V, board %5, channel %6, "
                   "repeat %7, two electrode system: %8")
        .arg(SweepFrequencyHz(static_cast<int32_t>(s.begin)))
        .arg(SweepFrequencyHz(static_cast<int32_t>(s.end)))
        .arg(number(enc::MultiplierFromCode(s.multiplier)), number(enc::VoltageFromCode(s.voltage)))
        .arg(s.board + 1)
        .arg(s.channel + 1)
        .arg(s.repeat)
        .arg(enc::ElectrodeSystemFromCode(s.electrodeSystem) ? "yes" : "no");
}
