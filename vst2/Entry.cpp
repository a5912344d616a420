// The instrument's entry, shared by the library's exported symbols and by in-process hosts.
#include "Entry.h"

#include "uPlugin.h"

AEffect* tamblinCreateEffect(audioMasterCallback audioMaster) {
  if (!audioMaster) return nullptr;
  if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  // Nothing may escape into the host: a construction that fails for want of memory answers null.
  try {
    return (new APlugin(audioMaster))->getAeffect();
  } catch (...) {
    return nullptr;
  }
}
