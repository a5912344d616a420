// A contact sheet of every stored picture and a few drawn controls.
#pragma once

#include "Canvas.h"

namespace tamblin {

// The sheet, each pixel enlarged to zoom x zoom pixels.
Image drawContactSheet(int zoom = 1);

}  // namespace tamblin
