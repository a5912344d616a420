// The LV2 plug-in's identity and port numbers, shared by the DSP and UI libraries, the Turtle
// generator and the tests.
#pragma once

#include "ParameterTable.h"

namespace tamblin::lv2 {

inline constexpr const char* kPluginUri = "urn:brightmoor:tamblin";
inline constexpr const char* kUiUri = "urn:brightmoor:tamblin#ui";
inline constexpr const char* kPresetUriPrefix = "urn:brightmoor:tamblin#program";  // + two digits

// Ports 0..99 are the parameters, each port number equal to its parameter index, so that the UI
// and the DSP translate nothing.
constexpr int kFirstParameterPort = 0;
constexpr int kEventsPort = kNumParams;        // atom sequence in: MIDI and time:Position
constexpr int kLeftOutPort = kNumParams + 1;   // audio out
constexpr int kRightOutPort = kNumParams + 2;  // audio out
constexpr int kGateLampPort = kNumParams + 3;  // control out: the gate step playing, 0 <= p < 16
constexpr int kNotifyPort = kNumParams + 4;    // atom sequence out: patch:Set of controller changes
constexpr int kPortCount = kNumParams + 5;

// The property a parameter's patch:Set names: kParameterUriPrefix + its port symbol.
inline constexpr const char* kParameterUriPrefix = "urn:brightmoor:tamblin#parameter_";

constexpr float kGateLampMaximum = 16.0f;

}  // namespace tamblin::lv2
