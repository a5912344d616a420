// Fuzz target: the input is a sequence of host calls on one instrument. Any request number with any
// index, value and opt, and a pointer that is null, sized as the request needs, or a few bytes long;
// parameter writes with any float; event batches with arbitrary MIDI, system-exclusive and foreign
// events; blocks of up to 8192 frames; editor requests on a window without a display. Every block's
// output must be finite and within [-1, 1].
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

#include "APluginEditor.h"
#include "Entry.h"
#include "FuzzInput.h"
#include "platform/headless/HeadlessBackend.h"
#include "support/EventBatch.h"
#include "support/QuietHost.h"
#include "support/ValuesOnlyWindow.h"
#include "uEditor.h"
#include "uPlugin.h"

namespace {

using tamblin::fuzz::FuzzInput;

// Bytes a request reads or writes through its pointer; 0 when it takes none.
size_t pointerSize(VstInt32 opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed: return kVstMaxProgNameLen;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName: return 64;
    case effEditGetRect:
    case effGetChunk: return sizeof(void*);
    case effGetInputProperties:
    case effGetOutputProperties: return sizeof(VstPinProperties);
    case effGetEffectName: return kVstMaxEffectNameLen;
    case effGetVendorString: return kVstMaxVendorStrLen;
    case effGetProductString: return kVstMaxProductStrLen;
    default: return 0;
  }
}
// Requests that read a zero-terminated text.
bool readsText(VstInt32 opcode) {
  return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo;
}

void* parentToken() {
  static int token;
  return &token;
}

// Making the drawn window costs as much as thousands of other calls: inputs that start with 'W' get it,
// once at most; the others get a window that only keeps values behind the same bridge.
int windowsLeft = 0;

void request(AEffect* e, FuzzInput& in) {
  VstInt32 opcode = in.number(80);
  if (opcode == effClose || opcode == effProcessEvents) opcode = effIdentify;  // both have their own steps
  if (opcode == effEditOpen && windowsLeft-- <= 0) opcode = effEditIdle;
  const VstInt32 index = in.number(128);
  const VstIntPtr value = in.number(64);
  const float opt = in.raw<float>();
  const uint8_t mode = in.byte() % 3;
  std::vector<char> buffer;
  void* ptr = nullptr;
  if (opcode == effEditOpen) {
    ptr = mode ? parentToken() : nullptr;
  } else if (mode == 1 && readsText(opcode)) {
    const size_t length = in.byte();
    for (size_t i = 0; i < length; ++i) buffer.push_back(static_cast<char>(in.byte() | 1));
    buffer.push_back('\0');
    ptr = buffer.data();
  } else if (mode == 1 && pointerSize(opcode) > 0) {
    buffer.assign(pointerSize(opcode), '#');
    ptr = buffer.data();
  } else if (mode == 2) {  // a few bytes, for requests that should not touch their pointer
    buffer.assign(1 + in.byte() % 4, '\0');
    ptr = pointerSize(opcode) > 0 || readsText(opcode) ? nullptr : buffer.data();
  }
  e->dispatcher(e, opcode, index, value, ptr, opt);
}

// A system-exclusive event as hosts send it (type 6): the instrument must skip it.
struct SysexEvent {
  VstInt32 type, byteSize, deltaFrames, flags, dumpBytes;
  VstIntPtr reserved1;
  char* sysexDump;
  VstIntPtr reserved2;
};

void events(AEffect* e, FuzzInput& in) {
  const size_t count = in.byte() % 70;
  std::vector<SysexEvent> sysex(count);
  char dump[8] = {'\xf0', 1, 2, 3, 4, 5, 6, '\xf7'};
  tamblin::test::EventBatch batch(count);  // exactly as large as the count needs
  for (size_t i = 0; i < count; ++i) {
    const uint8_t kind = in.byte() % 8;
    if (kind == 0) {
      sysex[i] = SysexEvent{6, sizeof(SysexEvent), 0, 0, sizeof dump, 0, dump, 0};
      batch.add(reinterpret_cast<VstEvent*>(&sysex[i]));
      continue;
    }
    VstMidiEvent& m = batch.add(0, 0, 0);
    m.type = kind == 1 ? in.number(16) : kVstMidiType;  // now and then a type no host should send
    m.deltaFrames = in.number(1024);
    for (char& b : m.midiData) b = static_cast<char>(in.byte());
  }
  batch.send(e);
}

void render(AEffect* e, FuzzInput& in) {
  const int frames = static_cast<int>(in.raw<uint16_t>() % 8193);
  std::vector<float> left(static_cast<size_t>(frames) + 1), right(left.size()), input(left.size());
  const float level = in.raw<float>();
  for (size_t k = 0; k < input.size(); k += 5) input[k] = level;
  float* ins[2] = {input.data(), input.data()};
  float* outs[2] = {left.data(), right.data()};
  (in.byte() % 2 ? e->processReplacing : e->process)(e, ins, outs, frames);
  for (int k = 0; k < frames; ++k)
    if (!(std::fabs(left[k]) <= 1.0f && std::fabs(right[k]) <= 1.0f)) std::abort();
}

void edit(AEffect* e, FuzzInput& in) {
  auto* bridge = static_cast<APluginEditor*>(static_cast<APlugin*>(static_cast<AudioEffect*>(e->object))->getEditor());
  auto* window = dynamic_cast<tamblin::TPluginEditorWindow*>(bridge->editorWindow());
  if (!window) return;
  const int x = in.raw<int16_t>() % 700, y = in.raw<int16_t>() % 700;
  const uint8_t what = in.byte();
  std::lock_guard lock(window->windowLock());
  switch (what % 6) {
    case 0: window->pointerPressed(what & 8 ? tamblin::MouseButton::Right : tamblin::MouseButton::Left, what & 16, x, y, in.raw<uint16_t>()); break;
    case 1: window->pointerMoved(what & 16, x, y); break;
    case 2: window->pointerReleased(tamblin::MouseButton::Left, false, x, y); break;
    case 3: window->menuPointerPressed(x, y); break;
    case 4: window->menuPointerReleased(x, y); break;
    default: window->timerElapsed(what % 3); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const bool drawn = size > 0 && data[0] == 'W';
  windowsLeft = drawn ? 1 : 1000;
  AEffect* e = tamblinCreateEffect(tamblin::test::QuietHost::callback);
  if (!e) return 0;
  auto* bridge = static_cast<APluginEditor*>(static_cast<APlugin*>(static_cast<AudioEffect*>(e->object))->getEditor());
  if (drawn) {
    bridge->setWindowFactory([]() -> std::unique_ptr<tamblin::EditorWindow> {
      return std::make_unique<tamblin::TPluginEditorWindow>(std::make_unique<tamblin::HeadlessBackend>());
    });
  } else {
    bridge->setWindowFactory([]() -> std::unique_ptr<tamblin::EditorWindow> {
      return std::make_unique<tamblin::ValuesOnlyWindow>();
    });
  }
  for (int step = 0; step < 400 && !in.empty(); ++step) {
    switch (in.byte() % 6) {
      case 0: request(e, in); break;
      case 1: e->setParameter(e, in.number(110) - 4, in.raw<float>()); break;
      case 2: events(e, in); break;
      case 3: render(e, in); break;
      case 4: edit(e, in); break;
      default: static_cast<void>(e->getParameter(e, in.number(110) - 4)); break;
    }
  }
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  return 0;
}
