// Who the plug-in is to a VST 3 host: its class ids (fixed for good: hosts store them in projects),
// names, and the ids of the parameters beyond the hundred the instrument has.
#pragma once

#include "abi/Controller.h"

namespace tamblin::vst3 {

using ::vst3::ParamID;

// Never change these two: a host finds the plug-in of a saved project by them.
inline constexpr ::vst3::Uid kComponentUid = ::vst3::makeUid(0x891D8A65, 0xB9F2C57A, 0x49508F58, 0x8DECA3BE);
inline constexpr ::vst3::Uid kControllerUid = ::vst3::makeUid(0xD472F56B, 0x457D4935, 0x98B85E39, 0x3091443E);

constexpr char kVendor[] = "Brightmoor";
constexpr char kName[] = "Tamblin";
constexpr char kSubCategories[] = "Instrument|Synth";
constexpr char kVersion[] = "1.0.0";
constexpr char kSdkVersion[] = "VST 3.7.9";

// Parameter ids: 0..99 are the instrument's parameters at their VST 2 indices. The program selector
// and the hidden parameters that carry MIDI controllers and pitch bend follow.
constexpr ParamID kProgramParamId = 1000;
constexpr ParamID kControllerParamBase = 2000;  // + control change number 0..127
constexpr ParamID kPitchBendParamId = 2128;
constexpr ::vst3::ProgramListID kProgramListId = 1;

}  // namespace tamblin::vst3
