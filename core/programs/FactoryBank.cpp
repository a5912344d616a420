// The factory bank: the sixteen programs every new instance starts from.
#include "FactoryBank.h"

namespace tamblin {

namespace {

constexpr FactoryValue kProgram0[] = {
    {kVolume, 0.75f}, {kOsc12Attack, 0.38f}, {kOsc12Release, 0.72f}, {kOsc12Sustain, 1.0f}, {kTune1, 0.5f},
    {kTune2, 0.5f}, {kTune3, 0.5f}, {kTune4, 0.5f}, {kOscMix, 0.5f}, {kOsc34Attack, 0.38f},
    {kOsc34Release, 0.72f}, {kOsc34Sustain, 1.0f}, {kUnisonAmount, 0.22950001f}, {kUnisonSpread, 0.485f},
    {kUnisonSpeed, 0.4197f}, {kUnisonPhase, 0.6303f}, {kFilterFrequency, 1.0f}, {kSpare55, 1.0f}};
constexpr FactoryValue kProgram1[] = {
    {kVolume, 0.75f}, {kOsc12Attack, 0.38f}, {kOsc12Release, 0.72f}, {kOsc12Sustain, 1.0f}, {kTune1, 0.33f},
    {kTune2, 0.33f}, {kTune3, 0.5f}, {kTune4, 0.66f}, {kOscMix, 0.5f}, {kOsc34Attack, 0.38f},
    {kOsc34Release, 0.72f}, {kOsc34Sustain, 1.0f}, {kUnisonAmount, 0.22950001f}, {kUnisonSpread, 0.485f},
    {kUnisonSpeed, 0.4197f}, {kUnisonPhase, 0.6303f}, {kVibratoAmount, 0.335f}, {kVibratoSpeed, 0.8204f},
    {kFilterType, 0.13648772f}, {kFilterFrequency, 0.7261f}, {kFilterQ, 0.6942f}, {kFilterEnvelope, 0.5945f},
    {kFilterRelease, 0.8096f}, {kFilterAttack, 0.7544f}, {kStereoAmount, 0.9543f}, {kStereoWidth, 0.18f},
    {kStereoSpeed, 0.33530003f}};
constexpr FactoryValue kProgram2[] = {
    {kVolume, 0.75f}, {kOsc12Release, 0.43f}, {kOsc12Sustain, 0.98f}, {kWaveType1, 0.15015015f},
    {kWaveType2, 0.15015015f}, {kTune1, 0.34f}, {kTune2, 0.5f}, {kTune3, 0.5f}, {kTune4, 0.5f}, {kOscMix, 0.5f},
    {kOsc34Release, 0.41f}, {kOsc34Sustain, 1.0f}, {kUnisonAmount, 0.2255f}, {kVibratoAmount, 0.115f},
    {kVibratoSpeed, 0.62979996f}, {kFilterFrequency, 1.0f}, {kStereoAmount, 0.2086f},
    {kStereoWidth, 0.11449999f}, {kPwm12Amount, 0.5946f}, {kPwm12Speed, 0.3548f}, {kPwm34Amount, 0.2409f},
    {kPwm34Speed, 0.6709f}, {kPanAmount, 0.4405f}, {kPanSpeed, 0.71029997f}, {kSpare83, 0.8597f},
    {kSpare84, 0.07089999f}, {kSpare85, 0.9145f}, {kSpare86, 0.31139997f}};
constexpr FactoryValue kProgram3[] = {
    {kVolume, 0.91f}, {kOsc12Release, 0.43f}, {kOsc12Sustain, 0.98f}, {kWaveType1, 0.8508509f},
    {kWaveType2, 0.8508509f}, {kTune1, 0.34f}, {kTune2, 0.5f}, {kTune3, 0.59f}, {kTune4, 0.76f},
    {kOscMix, 0.5f}, {kOsc34Release, 0.41f}, {kOsc34Sustain, 1.0f}, {kFilterTracking, 0.75376886f},
    {kUnisonAmount, 0.2255f}, {kTremoloAmount, 0.5409f}, {kTremoloSpeed, 0.7695f}, {kVibratoAmount, 1.0f},
    {kVibratoSpeed, 0.62979996f}, {kFilterType, 0.045495905f}, {kFilterFrequency, 0.3985f}, {kFilterQ, 0.7753f},
    {kStereoAmount, 0.4196f}, {kStereoWidth, 0.5341f}, {kStereoSpeed, 0.5844f}, {kFilterVelocity, 0.6096f},
    {kPanAmount, 0.4405f}, {kPanSpeed, 0.71029997f}, {kSpare83, 0.8597f}, {kSpare84, 0.5365f},
    {kSpare85, 0.9145f}, {kSpare86, 0.5113999f}};
constexpr FactoryValue kProgram4[] = {
    {kVolume, 0.75f}, {kOsc12Attack, 0.69f}, {kOsc12Release, 0.73f}, {kOsc12Sustain, 1.0f},
    {kWaveType1, 0.7507508f}, {kWaveType2, 0.7507508f}, {kTune1, 0.5f}, {kTune2, 0.33f}, {kTune3, 0.83f},
    {kTune4, 0.67f}, {kOscMix, 0.5f}, {kOsc34Attack, 0.37f}, {kOsc34Release, 0.69f}, {kOsc34Sustain, 0.14f},
    {kOsc34Decay, 0.64f}, {kUnisonAmount, 0.2401f}, {kUnisonSpread, 0.5353f}, {kUnisonSpeed, 0.2901f},
    {kFilterModAmount, 0.3948f}, {kFilterModSpeed, 0.4746f}, {kVibratoAmount, 0.7935f},
    {kVibratoSpeed, 0.77959996f}, {kFilterType, 0.13648772f}, {kFilterFrequency, 0.8458f}, {kFilterQ, 0.6347f},
    {kStereoAmount, 0.3755f}, {kStereoWidth, 0.2838f}, {kStereoSpeed, 0.2607f}, {kEnvelopeMode, 0.75376886f}};
constexpr FactoryValue kProgram5[] = {
    {kVolume, 0.87f}, {kPortamento, 0.6103f}, {kOsc12Attack, 0.79f}, {kOsc12Release, 0.72f},
    {kOsc12Sustain, 1.0f}, {kTune1, 0.33f}, {kTune2, 0.33f}, {kTune3, 0.5f}, {kTune4, 0.66f}, {kOscMix, 0.5f},
    {kOsc34Attack, 0.38f}, {kOsc34Release, 0.72f}, {kOsc34Sustain, 1.0f}, {kUnisonAmount, 0.4591f},
    {kUnisonSpread, 0.7849f}, {kUnisonSpeed, 0.7695f}, {kUnisonPhase, 0.6303f}, {kTremoloAmount, 0.7995f},
    {kTremoloSpeed, 0.7589f}, {kFilterModAmount, 0.58f}, {kFilterModSpeed, 0.29020002f},
    {kVibratoAmount, 0.54080003f}, {kVibratoSpeed, 0.8403f}, {kFilterType, 0.31847134f},
    {kFilterFrequency, 0.88140005f}, {kFilterQ, 0.6942f}, {kFilterRelease, 0.8096f}, {kFilterAttack, 0.7544f},
    {kStereoAmount, 0.5154f}, {kStereoWidth, 0.55910003f}, {kStereoSpeed, 0.33530003f}, {kSpare45, 0.3494f},
    {kSpare46, 0.431f}};
constexpr FactoryValue kProgram6[] = {
    {kVolume, 0.75f}, {kOsc12Release, 0.72f}, {kOsc12Sustain, 1.0f}, {kWaveType1, 0.05005005f}, {kTune1, 0.5f},
    {kTune2, 0.5f}, {kTune3, 0.5f}, {kTune4, 0.5f}, {kOscMix, 0.5f}, {kOsc34Sustain, 1.0f},
    {kFilterTracking, 0.75376886f}, {kUnisonAmount, 0.3496f}, {kUnisonSpread, 0.2999f}, {kUnisonSpeed, 0.3303f},
    {kFilterType, 0.13648772f}, {kFilterFrequency, 1.0f}, {kFilterRelease, 0.4696f}, {kFilterAttack, 0.4098f},
    {kGatePatternVolume, 0.67710125f}, {kGatePatternFilter, 0.67447674f}, {kGateToVolume, 1.0f},
    {kGateToFilter, 0.5203f}, {kGateTempo, 0.501002f}, {kGateSmooth, 0.6506f}, {kGateLength, 0.9693558f}};
constexpr FactoryValue kProgram7[] = {
    {kVolume, 0.86f}, {kOsc12Attack, 0.38f}, {kOsc12Release, 0.23f}, {kOsc12Sustain, 0.54f},
    {kOsc12Decay, 0.58f}, {kWaveType2, 0.6506507f}, {kTune1, 0.5f}, {kTune2, 0.5f}, {kTune3, 0.67f},
    {kTune4, 0.76f}, {kOscMix, 0.7f}, {kOsc34Attack, 0.85f}, {kOsc34Release, 0.72f}, {kOsc34Sustain, 1.0f},
    {kUnisonAmount, 0.22950001f}, {kUnisonSpread, 0.485f}, {kUnisonSpeed, 0.4197f}, {kUnisonPhase, 0.6303f},
    {kVibratoAmount, 0.4145f}, {kVibratoSpeed, 0.7645f}, {kFilterType, 0.13648772f},
    {kFilterFrequency, 0.8405f}, {kFilterQ, 0.79989994f}, {kFilterEnvelope, 0.555f}, {kFilterRelease, 0.7611f},
    {kFilterAttack, 0.041599978f}, {kStereoAmount, 0.3354f}, {kStereoWidth, 0.1806f}, {kStereoSpeed, 0.265f},
    {kSpare45, 0.3095f}, {kSpare46, 0.6752f}, {kEnvelopeMode, 0.75376886f}};
constexpr FactoryValue kProgram8[] = {
    {kVolume, 0.75f}, {kOsc12Sustain, 1.0f}, {kWaveType1, 0.15015015f}, {kWaveType2, 0.15015015f},
    {kTune1, 0.5f}, {kTune2, 0.5f}, {kTune3, 0.66f}, {kTune4, 0.83f}, {kOscMix, 0.5f}, {kOsc34Sustain, 1.0f},
    {kUnisonAmount, 0.1743f}, {kUnisonSpread, 0.4394f}, {kUnisonSpeed, 0.3198f}, {kFilterFrequency, 1.0f},
    {kStereoAmount, 0.3331f}, {kStereoWidth, 0.2803f}, {kStereoSpeed, 0.3094f}, {kPwm12Amount, 0.4597f},
    {kPwm12Speed, 0.115f}, {kPwm34Amount, 0.4301f}, {kPwm34Speed, 0.2147f}, {kSpare45, 0.6751f},
    {kSpare46, 0.5617f}, {kSpare47, 0.7734304f}, {kPlayMode, 0.8361204f}};
constexpr FactoryValue kProgram9[] = {
    {kVolume, 0.91f}, {kOsc12Release, 0.43f}, {kOsc12Sustain, 0.98f}, {kWaveType1, 0.8508509f},
    {kWaveType2, 0.8508509f}, {kTune1, 0.8f}, {kTune2, 0.5f}, {kTune3, 0.59f}, {kTune4, 0.76f}, {kOscMix, 0.5f},
    {kOsc34Release, 0.41f}, {kOsc34Sustain, 1.0f}, {kFilterTracking, 0.75376886f}, {kUnisonAmount, 0.6299f},
    {kUnisonSpread, 0.5043f}, {kUnisonSpeed, 0.5841f}, {kUnisonPhase, 0.645f}, {kTremoloAmount, 0.86f},
    {kTremoloSpeed, 0.8351f}, {kFilterModAmount, 0.14920002f}, {kFilterModSpeed, 0.6857f},
    {kVibratoAmount, 1.0f}, {kVibratoSpeed, 0.8498f}, {kFilterType, 0.8644222f}, {kFilterFrequency, 0.6629f},
    {kFilterQ, 0.85f}, {kStereoAmount, 0.115f}, {kFilterVelocity, 0.6096f}, {kPanAmount, 0.4405f},
    {kPanSpeed, 0.71029997f}, {kSpare83, 0.8597f}, {kSpare84, 0.5365f}, {kSpare85, 0.9145f},
    {kSpare86, 0.5113999f}};
constexpr FactoryValue kProgram10[] = {
    {kVolume, 0.89f}, {kOsc12Release, 0.72f}, {kOsc12Sustain, 0.35f}, {kOsc12Decay, 0.21f},
    {kWaveType1, 0.35035035f}, {kWaveType2, 0.950951f}, {kTune1, 0.5f}, {kTune2, 0.66f}, {kTune3, 0.5f},
    {kTune4, 0.66f}, {kOscMix, 0.05f}, {kOsc34Decay, 0.16f}, {kFilterTracking, 0.75376886f},
    {kUnisonAmount, 0.34910002f}, {kUnisonSpread, 0.56520003f}, {kUnisonSpeed, 0.6633f},
    {kUnisonPhase, 0.6303f}, {kTremoloAmount, 0.4654f}, {kTremoloSpeed, 0.8004f}, {kVibratoAmount, 0.97510004f},
    {kVibratoSpeed, 0.84209996f}, {kFilterType, 0.13648772f}, {kFilterFrequency, 1.0f}, {kFilterQ, 0.43099996f},
    {kFilterEnvelope, 0.5646f}, {kFilterRelease, 0.8096f}, {kFilterAttack, 0.17060003f},
    {kStereoAmount, 0.9543f}, {kStereoWidth, 0.18f}, {kStereoSpeed, 0.33530003f}, {kEnvelopeMode, 0.75376886f}};
constexpr FactoryValue kProgram11[] = {
    {kVolume, 0.75f}, {kOsc12Attack, 0.16f}, {kOsc12Release, 0.35f}, {kOsc12Sustain, 0.6f},
    {kOsc12Decay, 0.74f}, {kWaveType1, 0.15015015f}, {kWaveType2, 0.15015015f}, {kTune1, 0.83f},
    {kTune2, 0.83f}, {kTune3, 0.5f}, {kTune4, 0.5f}, {kOscMix, 0.5f}, {kOsc34Sustain, 1.0f},
    {kFilterTracking, 0.2512563f}, {kUnisonAmount, 0.3102f}, {kUnisonSpread, 0.4188f}, {kUnisonSpeed, 0.3896f},
    {kUnisonPhase, 0.3747f}, {kFilterModAmount, 0.22089998f}, {kFilterModSpeed, 0.094600014f},
    {kFilterType, 0.955414f}, {kFilterFrequency, 0.6634f}, {kFilterQ, 0.74700004f}, {kPwm12Amount, 0.7946f},
    {kPwm12Speed, 0.23130001f}, {kGatePatternVolume, 0.6666795f}, {kGatePatternFilter, 0.9254991f},
    {kGateToVolume, 1.0f}, {kGateToFilter, 0.22219999f}, {kGateTempo, 0.501002f}, {kGateSmooth, 0.5803f},
    {kGateLength, 0.9693558f}};
constexpr FactoryValue kProgram12[] = {
    {kVolume, 1.0f}, {kOsc12Release, 0.01f}, {kOsc12Decay, 0.37f}, {kWaveType1, 0.15015015f},
    {kWaveType2, 0.8508509f}, {kTune1, 0.5f}, {kTune2, 0.5f}, {kTune3, 0.5f}, {kTune4, 0.5f}, {kOscMix, 0.89f},
    {kOsc34Decay, 0.31f}, {kUnisonAmount, 0.314f}, {kUnisonSpread, 0.2096f}, {kVibratoAmount, 0.115f},
    {kVibratoSpeed, 0.62979996f}, {kFilterType, 0.13648772f}, {kFilterFrequency, 1.0f}, {kFilterQ, 0.8699f},
    {kFilterEnvelope, 0.61090004f}, {kFilterRelease, 0.6403f}, {kStereoWidth, 0.11449999f},
    {kFilterVelocity, 0.9847f}, {kPwm12Amount, 0.5946f}, {kPwm12Speed, 0.3548f}, {kPwm34Amount, 0.2409f},
    {kPwm34Speed, 0.6709f}, {kPanAmount, 0.4405f}, {kPanSpeed, 0.71029997f}, {kVelocityToVolume, 0.2512563f},
    {kEnvelopeMode, 0.75376886f}, {kSpare83, 0.8597f}, {kSpare84, 0.07089999f}, {kSpare85, 0.9145f},
    {kSpare86, 0.31139997f}};
constexpr FactoryValue kProgram13[] = {
    {kVolume, 0.75f}, {kOsc12Release, 0.43f}, {kOsc12Sustain, 0.98f}, {kWaveType1, 0.5505506f},
    {kWaveType2, 0.5505506f}, {kTune1, 0.34f}, {kTune2, 0.6f}, {kTune3, 0.5f}, {kTune4, 0.66f}, {kOscMix, 0.5f},
    {kOsc34Release, 0.41f}, {kOsc34Sustain, 1.0f}, {kUnisonAmount, 0.1757f}, {kUnisonSpread, 0.5287f},
    {kUnisonSpeed, 0.8648f}, {kUnisonPhase, 0.4154f}, {kVibratoAmount, 0.8151f}, {kVibratoSpeed, 0.82969993f},
    {kFilterFrequency, 1.0f}, {kStereoAmount, 0.2086f}, {kStereoWidth, 0.41979998f}, {kStereoSpeed, 0.3662f},
    {kPwm12Amount, 0.5946f}, {kPwm12Speed, 0.3548f}, {kPwm34Amount, 0.2409f}, {kPwm34Speed, 0.6709f},
    {kSpare45, 0.474f}, {kSpare46, 0.4353f}, {kPanAmount, 0.4405f}, {kPanSpeed, 0.71029997f},
    {kSpare83, 0.8597f}, {kSpare84, 0.07089999f}, {kSpare85, 0.9145f}, {kSpare86, 0.31139997f},
    {kGatePatternVolume, 0.5000077f}, {kGateToVolume, 1.0f}, {kGateTempo, 0.501002f}, {kGateSmooth, 0.603f},
    {kGateLength, 0.09380863f}};
constexpr FactoryValue kProgram14[] = {
    {kVolume, 0.75f}, {kPortamento, 0.56909996f}, {kOsc12Attack, 0.33f}, {kOsc12Release, 0.73f},
    {kOsc12Sustain, 1.0f}, {kWaveType1, 0.8508509f}, {kWaveType2, 0.8508509f}, {kTune1, 0.19f}, {kTune2, 0.39f},
    {kTune3, 1.0f}, {kTune4, 0.83f}, {kOscMix, 0.5f}, {kOsc34Sustain, 1.0f}, {kFilterTracking, 0.75376886f},
    {kUnisonAmount, 0.09489999f}, {kUnisonSpread, 0.3395f}, {kUnisonSpeed, 0.38899997f},
    {kTremoloSpeed, 0.029700002f}, {kFilterModAmount, 0.038899995f}, {kFilterModSpeed, 0.8104f},
    {kVibratoAmount, 0.24030003f}, {kVibratoSpeed, 0.86960006f}, {kFilterType, 0.8644222f},
    {kFilterFrequency, 0.4583f}, {kFilterQ, 1.0f}, {kStereoAmount, 0.3847f}, {kStereoWidth, 0.4051f},
    {kStereoSpeed, 0.4397f}, {kSpare45, 0.48f}, {kSpare46, 0.6543f}, {kPlayMode, 0.16722408f}};
constexpr FactoryValue kProgram15[] = {
    {kVolume, 0.75f}, {kOsc12Attack, 0.38f}, {kOsc12Release, 0.72f}, {kOsc12Sustain, 1.0f},
    {kWaveType1, 0.15015015f}, {kWaveType2, 0.15015015f}, {kTune1, 0.33f}, {kTune2, 0.39f}, {kTune3, 0.56f},
    {kTune4, 0.66f}, {kOscMix, 0.5f}, {kOsc34Attack, 0.38f}, {kOsc34Release, 0.72f}, {kOsc34Sustain, 1.0f},
    {kUnisonAmount, 0.05980001f}, {kUnisonSpread, 0.15510002f}, {kUnisonSpeed, 0.2401f},
    {kUnisonPhase, 0.6303f}, {kVibratoAmount, 0.2352f}, {kVibratoSpeed, 0.64449996f},
    {kFilterType, 0.13648772f}, {kFilterFrequency, 0.7261f}, {kFilterQ, 0.6942f}, {kFilterEnvelope, 0.5945f},
    {kFilterRelease, 0.8096f}, {kFilterAttack, 0.3402f}, {kStereoAmount, 0.4892f}, {kStereoWidth, 0.18f},
    {kStereoSpeed, 0.33530003f}, {kPwm12Amount, 0.5894f}, {kPwm12Speed, 0.20290002f}, {kPwm34Amount, 0.6575f},
    {kPwm34Speed, 0.265f}};

}  // namespace

const FactoryProgram kFactoryBank[kFactoryProgramCount] = {
    {"DefaultString", kProgram0, std::size(kProgram0)}, {"Swelling", kProgram1, std::size(kProgram1)},
    {"PWMLead", kProgram2, std::size(kProgram2)},       {"SineOrgan", kProgram3, std::size(kProgram3)},
    {"WobBel", kProgram4, std::size(kProgram4)},        {"WahString", kProgram5, std::size(kProgram5)},
    {"Trance1A", kProgram6, std::size(kProgram6)},      {"LateVoice", kProgram7, std::size(kProgram7)},
    {"Arped", kProgram8, std::size(kProgram8)},         {"RingMod", kProgram9, std::size(kProgram9)},
    {"BadFlute", kProgram10, std::size(kProgram10)},    {"CombPattern", kProgram11, std::size(kProgram11)},
    {"VelBass", kProgram12, std::size(kProgram12)},     {"TremOrgan", kProgram13, std::size(kProgram13)},
    {"Mysteron", kProgram14, std::size(kProgram14)},    {"SweelBrChord", kProgram15, std::size(kProgram15)},
};

float factoryValue(const FactoryProgram& program, int index) {
  for (std::size_t k = 0; k < program.count; ++k) {
    if (program.values[k].index == index) return program.values[k].value;
  }
  return 0.0f;
}

}  // namespace tamblin
