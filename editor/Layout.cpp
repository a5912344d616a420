// Where every image of the editor window stands, what it shows and which parameter it is bound to.
#include "Layout.h"

#include <array>

#include "ParameterTable.h"

namespace tamblin {

namespace {

using R = ImageRole;

constexpr Rect at(int left, int top, int width, int height) {
  return Rect{left, top, left + width, top + height};
}

ImagePlace make(std::string_view name, ImageRole role, Rect rect, int index = -1, std::string_view text = {},
                float points = 0.0f, std::string_view topMark = {}, std::string_view middleMark = {},
                std::string_view bottomMark = {}) {
  return ImagePlace{name, role, rect, index, text, points, topMark, middleMark, bottomMark};
}
ImagePlace section(std::string_view name, Rect rect) { return make(name, R::Section, rect); }
ImagePlace caption(std::string_view name, Rect rect, std::string_view text, float points) {
  return make(name, R::Caption, rect, -1, text, points);
}
ImagePlace gateMenuCaption(std::string_view name, Rect rect, std::string_view text, float points) {
  ImagePlace place = caption(name, rect, text, points);
  place.opensGateMenu = true;
  return place;
}
// Dials and sliders carry the caption of their parameter's row.
ImagePlace vslider(std::string_view name, int left, int top, ParamId index, std::string_view topMark,
                   std::string_view middleMark, std::string_view bottomMark) {
  return make(name, R::VSlider, at(left, top, 51, 131), index, parameterInfo(index).caption, 0.0f, topMark,
              middleMark, bottomMark);
}
ImagePlace hslider(std::string_view name, int left, int top, ParamId index) {
  return make(name, R::HSlider, at(left, top, 110, 35), index, parameterInfo(index).caption);
}
ImagePlace dial(std::string_view name, int left, int top, ParamId index, int height = 45) {
  return make(name, R::Dial, at(left, top, 51, height), index, parameterInfo(index).caption);
}
ImagePlace box(std::string_view name, int left, int top, ParamId index) {
  return make(name, R::ChoiceBox, at(left, top, 73, 18), index);
}

const std::array kImages = {
    // Sections and their captions.
    section("MainBack", at(5, 5, 446, 266)),
    section("StereoBack", at(5, 280, 221, 71)),
    section("TremBack", at(230, 280, 221, 71)),
    section("PWMBack", at(5, 355, 221, 71)),
    section("VibBack", at(230, 355, 221, 71)),
    section("FilterBack", at(5, 430, 446, 71)),
    section("GateBack", at(460, 5, 81, 496)),
    make("SustainPanel", R::Panel, at(225, 177, 220, 70)),
    caption("Imain", at(6, 6, 444, 15), "Main ", 10.0f),
    caption("TremLabel", at(231, 281, 219, 15), "Tremolo / Pan", 10.0f),
    caption("StereoLabel", at(6, 281, 219, 15), "Stereo Widener", 10.0f),
    caption("PWMLabel", at(6, 356, 219, 15), "PWM", 10.0f),
    caption("VibroLabel", at(231, 356, 219, 16), "Vibrato / Portamento", 10.0f),
    caption("FilterLabel", at(6, 431, 444, 15), "Filter", 10.0f),
    caption("IGate", at(461, 6, 79, 15), "TranceGate", 10.0f),
    gateMenuCaption("UniLabel", at(339, 45, 107, 16), "Unison", 8.0f),
    gateMenuCaption("GateLabel2", at(465, 215, 71, 16), "Volume/Filter", 10.0f),
    // Choice boxes.
    box("Type1i", 25, 25, kWaveType1),
    box("Type2i", 135, 25, kWaveType2),
    box("Ftypei", 245, 24, kFilterType),
    box("FPitch", 360, 25, kFilterTracking),
    box("VelVol", 10, 250, kVelocityToVolume),
    box("IndEnv", 95, 250, kEnvelopeMode),
    box("Npoly", 185, 250, kVoiceCount),
    box("Imode", 275, 250, kPlayMode),
    box("Arps", 365, 250, kArpRate),
    box("GTempo", 464, 33, kGateTempo),
    box("GLen", 464, 53, kGateLength),
    // Gate column.
    make("GateLabel", R::GateNumbers, at(464, 235, 13, 256), kGatePatternVolume),
    make("GateBack1", R::GateRow1, at(480, 235, 16, 256), kGatePatternVolume),
    make("GateBack2", R::GateRow2, at(497, 235, 16, 256), kGatePatternFilter),
    make("GateInd", R::GatePositions, at(515, 235, 16, 256)),
    // Dials and sliders; where neighbours overlap the later one lies on top, except DPa above DPs.
    vslider("DVol", 12, 45, kVolume, "0db", "-20db", "off"),
    vslider("DOscMix", 62, 45, kOscMix, "3..4", "All", "1..2"),
    vslider("DTune1", 120, 45, kTune1, "36", "0", "-36"),
    vslider("DTune2", 170, 45, kTune2, "36", "0", "-36"),
    vslider("DTune3", 230, 45, kTune3, "36", "0", "-36"),
    vslider("DTune4", 280, 45, kTune4, "36", "0", "-36"),
    hslider("Datt1", 7, 177, kOsc12Attack),
    hslider("DDec1", 117, 177, kOsc12Decay),
    hslider("Datt2", 7, 212, kOsc34Attack),
    hslider("DDec2", 117, 212, kOsc34Decay),
    hslider("DSus1", 225, 177, kOsc12Sustain),
    hslider("Drel1", 335, 177, kOsc12Release),
    hslider("DSus2", 225, 212, kOsc34Sustain),
    hslider("Drel2", 336, 212, kOsc34Release),
    dial("DFa", 340, 66, kUnisonAmount),
    dial("DFp", 395, 66, kUnisonSpread),
    dial("DFs", 340, 116, kUnisonSpeed),
    dial("DFo", 395, 116, kUnisonPhase),
    dial("DSa", 15, 300, kStereoAmount),
    dial("DSW", 90, 301, kStereoWidth),
    dial("DSS", 165, 301, kStereoSpeed),
    dial("DTa", 240, 300, kTremoloAmount),
    dial("DTs", 290, 300, kTremoloSpeed),
    dial("DPs", 390, 301, kPanSpeed),
    dial("DPa", 340, 301, kPanAmount),
    dial("DPWMa1", 15, 376, kPwm12Amount),
    dial("DPwms1", 65, 376, kPwm12Speed),
    dial("DPWMa2", 115, 376, kPwm34Amount),
    dial("DPWMS2", 165, 376, kPwm34Speed),
    dial("DVa", 240, 375, kVibratoAmount),
    dial("DVs", 315, 375, kVibratoSpeed),
    dial("DPort", 390, 375, kPortamento),
    dial("DFilt", 10, 450, kFilterFrequency),
    dial("DQ", 65, 450, kFilterQ),
    dial("DFe", 120, 450, kFilterEnvelope),
    dial("DFt", 175, 450, kFilterAttack),
    dial("DFr", 230, 450, kFilterRelease),
    dial("DWa", 285, 450, kFilterModAmount),
    dial("DWs", 340, 450, kFilterModSpeed),
    dial("DFv", 395, 451, kFilterVelocity),
    dial("DGateV", 475, 75, kGateToVolume),
    dial("DGateF", 475, 120, kGateToFilter),
    dial("DGateS", 475, 160, kGateSmooth, 46),
    // Label line and logo.
    make("PrintOut", R::LabelLine, at(5, 505, 326, 26)),
    make("Image1", R::Logo, at(340, 505, 201, 26)),
};

}  // namespace

std::span<const ImagePlace> windowImages() { return kImages; }

int imageNamed(std::string_view name) {
  for (size_t i = 0; i < kImages.size(); ++i) {
    if (kImages[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

int imageWith(ImageRole role) {
  for (size_t i = 0; i < kImages.size(); ++i) {
    if (kImages[i].role == role) return static_cast<int>(i);
  }
  return -1;
}

int imageAt(int x, int y) {
  for (size_t i = kImages.size(); i-- > 0;) {
    if (contains(kImages[i].rect, x, y)) return static_cast<int>(i);
  }
  return -1;
}

int controlFor(int parameterIndex) {
  for (size_t i = 0; i < kImages.size(); ++i) {
    const ImagePlace& place = kImages[i];
    if (place.index == parameterIndex && (isDragControl(place.role) || place.role == ImageRole::ChoiceBox)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace tamblin
