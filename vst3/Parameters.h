// The plug-in's parameters as a VST 3 host sees them: the instrument's hundred (ids 0..99, read from
// the parameter table), the program selector, and hidden parameters that carry the MIDI controllers
// the engine reacts to and pitch bend, which hosts send as parameter changes.
#pragma once

#include <string>
#include <string_view>

#include "Engine.h"
#include "Identity.h"

namespace tamblin::vst3 {

enum class ParamKind { Instrument, Program, Controller, PitchBend, Unknown };
ParamKind kindOf(ParamID id);

// Every parameter in the host's order: 0..99, the program selector, the controllers, pitch bend.
int parameterCount();
bool describeParameter(int index, ::vst3::ParameterInfo& info);

// The control changes the engine reacts to: those the table maps to a parameter, all sound off and all
// notes off.
bool isReactiveController(int number);

// The MIDI message a controller or pitch-bend parameter value stands for, on frame 0: a control change
// of value round(v x 127), or a bend of round(v x 16383). Values outside 0..1 are held to it, NaN is 0.
MidiMessage messageFor(ParamID id, double value);

// The program a selector value picks (the host's list rule: floor(v x 16), at most 15) and back.
int programOf(double normalized);
double normalizedProgram(int program);

// The value factory program 0 gives parameter 0..99: what a new instance starts with.
float defaultValue(int index);

// Value texts of the instrument's parameters and the hidden ones (not the selector, whose texts are
// the program names) and the value a text names; false for texts that name none.
std::string valueString(ParamID id, double value);
bool valueOfString(ParamID id, std::string_view text, double& value);

// Plain values: the choice number of a choice parameter, the program number, else the value itself.
double plainOf(ParamID id, double normalized);
double normalizedOf(ParamID id, double plain);

}  // namespace tamblin::vst3
