// The instrument's entry, shared by the library's exported symbols and by in-process hosts.
#include "Entry.h"

#include <new>

#include "uPlugin.h"

AEffect* tamblinCreateEffect(audioMasterCallback audioMaster) {
  if (!audioMaster) return nullptr;
  if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  APlugin* plugin = new (std::nothrow) APlugin(audioMaster);
  return plugin ? plugin->getAeffect() : nullptr;
}
