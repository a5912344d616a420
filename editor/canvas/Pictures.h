// The window's stored pictures and the dial strip made from the knob face, all drawn by code.
#pragma once

#include "Canvas.h"

namespace tamblin {

// Every picture is made once per process and never changes afterwards, so any number of windows
// may share them; get() is safe to call from several threads.
struct Pictures {
  Image Dial1;   // 32 x 32 knob face: shaded metal disc in a dark blue ring, on the panel colour
  Image VBar;    // 51 x 131 vertical slider scale
  Image VBarp;   // 27 x 13 vertical slider handle (the drawing uses its left 23 x 13 pixels)
  Image HBar;    // 110 x 35 horizontal slider scale
  Image HBarP;   // 10 x 20 horizontal slider handle
  Image BoxI;    // 73 x 18 choice box face
  Image BackI;   // 326 x 26 label line face
  Image Ind1;    // 15 x 15 lamp, unlit grey
  Image Ind2;    // 15 x 15 lamp, lit green
  Image Ind3;    // 15 x 15 lamp, lit red
  Image Logo;    // 201 x 26 name plate on the form colour, shown by Image1
  Image BigDial; // 864 x 32 dial strip: 27 frames of Dial1 with the pointer at i / 26 of the sweep

  static const Pictures& get();
};

// Each picture on its own (get() holds the results of these).
Image makeDial1();
Image makeVBar();
Image makeVBarp();
Image makeHBar();
Image makeHBarP();
Image makeBoxI();
Image makeBackI();
Image makeLamp(Color lit);  // lit = kLampUnlit, kLampGreen or kLampRed
Image makeLogo();

}  // namespace tamblin
