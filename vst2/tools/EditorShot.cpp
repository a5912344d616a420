// tamblin-editor-shot: writes a PNG of the whole editor window for a factory program, drawn without a
// display.
#include <array>
#include <cstdio>
#include <cstdlib>

#include "APluginEditor.h"
#include "DAEffectX.h"
#include "Entry.h"
#include "Png.h"
#include "platform/headless/HeadlessBackend.h"
#include "uEditor.h"
#include "uPlugin.h"

namespace {
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [PROGRAM]\n", argv[0]);
    return 2;
  }
  const int program = argc > 2 ? std::atoi(argv[2]) : 0;
  AEffect* effect = tamblinCreateEffect(quietHost);
  if (effect == nullptr) return 1;
  effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
  auto* instrument = static_cast<APlugin*>(static_cast<AudioEffect*>(effect->object));
  std::array<float, tamblin::kNumStoredValues> values;
  for (int i = 0; i < tamblin::kNumStoredValues; ++i) values[i] = instrument->soundEngine().param(i);

  bool written = false;
  {
    tamblin::TPluginEditorWindow window(std::make_unique<tamblin::HeadlessBackend>());
    window.setDecimalSeparator(".");
    if (tamblin::openEditorWindow(window, nullptr, values, linkToInstrument(*instrument))) {
      window.Show();
      window.SetAll();
      written = tamblin::writePng(window.frame(), argv[1]);
    }
  }
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  if (!written) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
