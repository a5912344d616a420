// Parameter names as the host sees them (the editor has its own captions).
#include "Parameters.h"

namespace tamblin {

namespace {

// Indices without an entry here have no host name. "Enveleope" is the name hosts have always seen.
constexpr const char* kNames[kNumParams] = {
    "Volume", "Port", "Osc 1..2 Attack", "Osc 1..2 Release", "Osc 1..2 Sustain", "Osc 1..2 Decay",
    "Wave Type 1", "Wave Type 2", "Tune 1", "Tune 2", "Tune 3", "Tune 4", "", "",
    "Osc 1..2/3..4 Mix", "Osc 3..4 Attack", "Osc 3..4 Release", "Osc 3..4 Sustain", "Osc 3..4 Decay", "",
    "Unison Amount", "Unison Spread", "Unison Speed", "Unison Phase", "Tremolo Amount", "Tremolo Speed",
    "Filter Mod Amount", "Filter Mod Speed", "Vibrato Amount", "Vibrato Speed", "Filter Type",
    "Filter Frequency", "Filter Q", "Filter Enveleope", "Filter Release", "Filter Attack", "Stereo Amount",
    "Stereo Width", "Stereo Speed", "", "Osc 1..2 PWM Amount", "Osc 1..2 PWM Speed", "Osc 3..4 PWM Amount",
    "Osc 3..4 PWM Speed",
    // 44..56
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "Pan Amount", "Pan Speed",
    // 59..93
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "",
    "Gate > Vol", "Gate > Filter", "", "Gate Smooth", "", ""};

}  // namespace

const char* parameterName(int index) { return index >= 0 && index < kNumParams ? kNames[index] : ""; }

}  // namespace tamblin
