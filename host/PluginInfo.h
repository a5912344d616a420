// A plain-text report of what a host sees of a plug-in: identity, pins, parameters, programs.
#pragma once

#include <ostream>
#include <string>

#include "Plugin.h"

namespace tamblin::host {

// Four characters when all are printable ("Tmbl"), else the number in hexadecimal.
std::string uniqueIdText(int32_t id);
std::string flagsText(int32_t flags);

void printInfo(const Plugin& plugin, std::ostream& out);

}  // namespace tamblin::host
