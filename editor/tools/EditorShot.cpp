// tamblin-editor-shot: writes a PNG of the whole editor window for a program, drawn without a display.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Png.h"
#include "platform/headless/HeadlessBackend.h"
#include "uEditor.h"

#ifdef TAMBLIN_SHOT_WITH_PLUGIN
#include "DAEffectX.h"
#include "Entry.h"
#include "uPlugin.h"

namespace {
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}
}  // namespace
#endif

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [PROGRAM]\n", argv[0]);
    return 2;
  }
  const int program = argc > 2 ? std::atoi(argv[2]) : 0;
  tamblin::TPluginEditorWindow window(std::make_unique<tamblin::HeadlessBackend>());
  window.setDecimalSeparator(".");
  if (!window.create(nullptr)) return 1;
  window.SetBounds(0, 0, window.Width(), window.Height());
#ifdef TAMBLIN_SHOT_WITH_PLUGIN
  AEffect* effect = tamblinCreateEffect(quietHost);
  if (effect == nullptr) return 1;
  effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
  auto* instrument = static_cast<APlugin*>(static_cast<AudioEffect*>(effect->object));
  for (int i = 0; i < tamblin::kNumStoredValues; ++i)
    window.setParamValue(i, instrument->soundEngine().param(i));
  window.setInstrument(instrument);
#else
  (void)program;
  for (int i = 0; i < tamblin::kNumStoredValues; ++i) window.setParamValue(i, 0.5f);
#endif
  window.Show();
  window.SetAll();
  const bool written = tamblin::writePng(window.frame(), argv[1]);
#ifdef TAMBLIN_SHOT_WITH_PLUGIN
  window.setInstrument(nullptr);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
#endif
  if (!written) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
