// A contact sheet of every stored picture and a few drawn controls, to look at and to test.
#include "ContactSheet.h"

#include "Drawing.h"

namespace tamblin {

namespace {

void place(Image& sheet, const Image& picture, int x, int y, int zoom = 1) {
  sheet.copyRect(picture, picture.bounds(),
                 Rect{x, y, x + picture.width() * zoom, y + picture.height() * zoom});
}

}  // namespace

Image drawContactSheet(int zoom) {
  const Pictures& pictures = Pictures::get();
  Image sheet(560, 330, kFormColor);

  // Row 1: the stored pictures.
  place(sheet, pictures.Dial1, 8, 8);
  place(sheet, pictures.VBar, 48, 8);
  place(sheet, pictures.VBarp, 106, 8);
  place(sheet, pictures.HBar, 140, 8);
  place(sheet, pictures.HBarP, 256, 8);
  place(sheet, pictures.BoxI, 272, 8);
  place(sheet, pictures.Ind1, 352, 8);
  place(sheet, pictures.Ind2, 372, 8);
  place(sheet, pictures.Ind3, 392, 8);
  place(sheet, pictures.Logo, 140, 50);
  place(sheet, pictures.BackI, 140, 82);
  place(sheet, pictures.BigDial, 8, 145);

  // Row 2: controls as the window draws them.
  Image section(221, 71);
  drawSectionBackground(section);
  Image caption(219, 15);
  drawCaption(caption, "Tremolo / Pan", 10);
  section.copyRect(caption, caption.bounds(), Rect{1, 1, 220, 16});
  for (int i = 0; i < 4; ++i) {
    Image dial(51, 45);
    static const char* const kCaptions[] = {"Trem Amt", "Speed", "Pan Amt", "Speed"};
    DrawDial2(dial, pictures, static_cast<float>(i) / 3.0f, kCaptions[i]);
    section.copyRect(dial, dial.bounds(), Rect{10 + 50 * i, 20, 61 + 50 * i, 65});
  }
  place(sheet, section, 8, 185);

  Image vslider(51, 131);
  DrawVSlider2(vslider, pictures, 0.75f, "Volume", "0db", "-20db", "off");
  place(sheet, vslider, 240, 185);
  Image vslider2(51, 131);
  DrawVSlider2(vslider2, pictures, 0.5f, "Tune 1", "36", "0", "-36");
  place(sheet, vslider2, 295, 185);

  Image hslider(110, 35);
  DrawHSlider2(hslider, pictures, 0.3f, "Osc 1..2: Attack");
  place(sheet, hslider, 8, 262);
  Image box(73, 18);
  DrawBox(box, pictures, "Filter Low24");
  place(sheet, box, 130, 262);
  Image label(326, 26);
  drawLabelLine(label, pictures, "Brmx2004", "Corvalith");
  place(sheet, label, 140, 112);

  Image gate(48, 256, kPanelColor);
  Image numbers(13, 256, kPanelColor), row(16, 256, kPanelColor), lamps(16, 256, kPanelColor);
  drawGateNumbers(numbers);
  drawGateRow(row, pictures, 0xA5F0);
  drawGatePositions(lamps, pictures, 3);
  gate.copyRect(numbers, numbers.bounds(), Rect{0, 0, 13, 256});
  gate.copyRect(row, row.bounds(), Rect{15, 0, 31, 256});
  gate.copyRect(lamps, lamps.bounds(), Rect{32, 0, 48, 256});
  sheet.copyRect(gate, Rect{0, 0, 48, 140}, Rect{360, 185, 408, 325});

  Image menu(110, 4 * menuItemHeight(), kBlack);
  static const char* const kItems[] = {"Bypass ", "Low12 ", "High12 ", "TGate Len : 16 step"};
  for (int i = 0; i < 4; ++i) {
    printmenu(menu, Rect{0, i * menuItemHeight(), 110, (i + 1) * menuItemHeight()}, i == 1, kItems[i], menuFont());
  }
  place(sheet, menu, 420, 185);

  if (zoom <= 1) return sheet;
  Image zoomed(sheet.width() * zoom, sheet.height() * zoom);
  place(zoomed, sheet, 0, 0, zoom);
  return zoomed;
}

}  // namespace tamblin
