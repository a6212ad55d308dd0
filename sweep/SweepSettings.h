#pragma once
// The settings of a frequency sweep as the logger holds them: the codes of SetFreqParams and of
// its answer (247), which share one layout.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <QString>

#include "link/AnswerDecode.h"

using SweepSettings = FreqParamsCodes;

// The settings in the thirteen bytes of a SetFreqParams payload or of answer 247's data; none
// for fewer bytes.
std::optional<SweepSettings> SweepSettingsFromWire(std::span<const uint8_t> bytes);

// Most points one sweep of the logger has.
constexpr int MaxSweepPoints = 256;
// The frequency codes the logger steps through: the begin code times a power of the multiplier,
// rounded, up to the end code and the 24 bits of the field; a step that does not raise the code
// (a multiplier of 1 or less) ends the sweep. Empty when the begin lies above the end.
std::vector<uint32_t> SweepFrequencyCodes(const SweepSettings& s);

// One line for people: "begin 100 Hz, end 20000 Hz, multiplier 2, voltage 0.09765625 V,
// board 1, channel 1, repeat 1, two electrode system: no".
QString SweepSettingsText(const SweepSettings& s);
