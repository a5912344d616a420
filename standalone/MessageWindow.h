// A small window that says why tamblin could not start, for a launch from a desktop menu, which has no
// terminal to read standard error in.
#pragma once

#include <string>
#include <vector>

#include "Canvas.h"

namespace tamblin::standalone {

// The message's picture: the heading, the text broken into lines that fit, and an OK button.
Image drawMessage(const std::string& heading, const std::string& text);
// The text broken at spaces into lines no wider than `width` pixels in the message's font.
std::vector<std::string> wrapText(const std::string& text, int width);

// Shows the message until it is dismissed (OK, a key, the close button) or for two minutes at most;
// nothing when no X display can be opened.
void showMessageWindow(const std::string& heading, const std::string& text);

}  // namespace tamblin::standalone
