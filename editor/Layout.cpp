// Where every image of the editor window stands, what it shows and which parameter it is bound to.
#include "Layout.h"

#include <array>

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
ImagePlace vslider(std::string_view name, int left, int top, int index, std::string_view text,
                   std::string_view topMark, std::string_view middleMark, std::string_view bottomMark) {
  return make(name, R::VSlider, at(left, top, 51, 131), index, text, 0.0f, topMark, middleMark, bottomMark);
}
ImagePlace hslider(std::string_view name, int left, int top, int index, std::string_view text) {
  return make(name, R::HSlider, at(left, top, 110, 35), index, text);
}
ImagePlace dial(std::string_view name, int left, int top, int index, std::string_view text, int height = 45) {
  return make(name, R::Dial, at(left, top, 51, height), index, text);
}
ImagePlace box(std::string_view name, int left, int top, int index) {
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
    caption("UniLabel", at(339, 45, 107, 16), "Unison", 8.0f),
    caption("GateLabel2", at(465, 215, 71, 16), "Volume/Filter", 10.0f),
    // Choice boxes.
    box("Type1i", 25, 25, 6),
    box("Type2i", 135, 25, 7),
    box("Ftypei", 245, 24, 30),
    box("FPitch", 360, 25, 19),
    box("VelVol", 10, 250, 79),
    box("IndEnv", 95, 250, 80),
    box("Npoly", 185, 250, 81),
    box("Imode", 275, 250, 78),
    box("Arps", 365, 250, 59),
    box("GTempo", 464, 33, 96),
    box("GLen", 464, 53, 98),
    // Gate column.
    make("GateLabel", R::GateNumbers, at(464, 235, 13, 256), 92),
    make("GateBack1", R::GateRow1, at(480, 235, 16, 256), 92),
    make("GateBack2", R::GateRow2, at(497, 235, 16, 256), 93),
    make("GateInd", R::GatePositions, at(515, 235, 16, 256)),
    // Dials and sliders; where neighbours overlap the later one lies on top, except DPa above DPs.
    vslider("DVol", 12, 45, 0, "Volume", "0db", "-20db", "off"),
    vslider("DOscMix", 62, 45, 14, "Osc Mix", "3..4", "All", "1..2"),
    vslider("DTune1", 120, 45, 8, "Tune 1", "36", "0", "-36"),
    vslider("DTune2", 170, 45, 9, "Tune 2", "36", "0", "-36"),
    vslider("DTune3", 230, 45, 10, "Tune 3", "36", "0", "-36"),
    vslider("DTune4", 280, 45, 11, "Tune 4", "36", "0", "-36"),
    hslider("Datt1", 7, 177, 2, "Osc 1..2: Attack"),
    hslider("DDec1", 117, 177, 5, "Osc 1..2: Decay"),
    hslider("Datt2", 7, 212, 15, "Osc 3..4: Attack"),
    hslider("DDec2", 117, 212, 18, "Osc 3..4: Decay"),
    hslider("DSus1", 225, 177, 4, "Osc 1..2: Sustain"),
    hslider("Drel1", 335, 177, 3, "Osc 1..2: Release"),
    hslider("DSus2", 225, 212, 17, "Osc 3..4: Sustain"),
    hslider("Drel2", 336, 212, 16, "Osc 3..4: Release"),
    dial("DFa", 340, 66, 20, "Amt"),
    dial("DFp", 395, 66, 21, "Spread"),
    dial("DFs", 340, 116, 22, "Speed"),
    dial("DFo", 395, 116, 23, "Phase"),
    dial("DSa", 15, 300, 36, "Amt"),
    dial("DSW", 90, 301, 37, "Width"),
    dial("DSS", 165, 301, 38, "Speed"),
    dial("DTa", 240, 300, 24, "Trem Amt"),
    dial("DTs", 290, 300, 25, "Speed"),
    dial("DPs", 390, 301, 58, "Speed"),
    dial("DPa", 340, 301, 57, "Pan Amt"),
    dial("DPWMa1", 15, 376, 40, "1..2 Amt"),
    dial("DPwms1", 65, 376, 41, "1..2 Spd"),
    dial("DPWMa2", 115, 376, 42, "3..4 Amt"),
    dial("DPWMS2", 165, 376, 43, "3..4 Spd"),
    dial("DVa", 240, 375, 28, "Vib Amt"),
    dial("DVs", 315, 375, 29, "Vib Spd"),
    dial("DPort", 390, 375, 1, "Port"),
    dial("DFilt", 10, 450, 31, "Freq"),
    dial("DQ", 65, 450, 32, "Q"),
    dial("DFe", 120, 450, 33, "Env"),
    dial("DFt", 175, 450, 35, "Att"),
    dial("DFr", 230, 450, 34, "Rel"),
    dial("DWa", 285, 450, 26, "Mod Amt"),
    dial("DWs", 340, 450, 27, "Mod Spd"),
    dial("DFv", 395, 451, 39, "> Vel"),
    dial("DGateV", 475, 75, 94, "To Vol"),
    dial("DGateF", 475, 120, 95, "To Filt"),
    dial("DGateS", 475, 160, 97, "Smooth", 46),
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
