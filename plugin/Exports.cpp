// The library's exported entry, under the two names hosts look up: VSTPluginMain, then main.
#include "Entry.h"

#define TAMBLIN_EXPORT extern "C" __attribute__((visibility("default")))

TAMBLIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return tamblinCreateEffect(audioMaster); }

// C++ reserves the name main for the program's start, so the symbol gets its name from the assembler.
TAMBLIN_EXPORT AEffect* tamblinLegacyMain(audioMasterCallback audioMaster) __asm__("main");
TAMBLIN_EXPORT AEffect* tamblinLegacyMain(audioMasterCallback audioMaster) { return tamblinCreateEffect(audioMaster); }
