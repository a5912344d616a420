// The library's exported entry, under the two names hosts look up: VSTPluginMain, then main.
#include "Entry.h"

#if defined(_WIN32)
// Tamblin2.def exports these two, the second under the name main; cdecl, as the interface prescribes.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
  return tamblinCreateEffect(audioMaster);
}
extern "C" AEffect* VSTCALLBACK tamblinLegacyMain(audioMasterCallback audioMaster) {
  return tamblinCreateEffect(audioMaster);
}
#else
#define TAMBLIN_EXPORT extern "C" __attribute__((visibility("default")))

TAMBLIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return tamblinCreateEffect(audioMaster); }

// C++ reserves the name main for the program's start, so the symbol gets its name from the assembler.
TAMBLIN_EXPORT AEffect* tamblinLegacyMain(audioMasterCallback audioMaster) __asm__("main");
TAMBLIN_EXPORT AEffect* tamblinLegacyMain(audioMasterCallback audioMaster) { return tamblinCreateEffect(audioMaster); }
#endif
