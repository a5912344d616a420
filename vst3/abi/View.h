// The VST 3 editor view at its published values: the view and its frame, the platform type names, and
// on Linux the host's run loop with its timer and file-descriptor handlers.
#pragma once

#include "Base.h"

namespace vst3 {

constexpr char kPlatformTypeHWND[] = "HWND";
constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";
constexpr char kEditorViewType[] = "editor";

struct ViewRect {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

class IPlugView;

class IPlugFrame : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  virtual tresult VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IPlugView : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual tresult VST3_API isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult VST3_API attached(void* parent, FIDString type) = 0;
  virtual tresult VST3_API removed() = 0;
  virtual tresult VST3_API onWheel(float distance) = 0;
  virtual tresult VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VST3_API getSize(ViewRect* size) = 0;
  virtual tresult VST3_API onSize(ViewRect* newSize) = 0;
  virtual tresult VST3_API onFocus(TBool state) = 0;
  virtual tresult VST3_API setFrame(IPlugFrame* frame) = 0;
  virtual tresult VST3_API canResize() = 0;
  virtual tresult VST3_API checkSizeConstraint(ViewRect* rect) = 0;
};

// The host's event loop on Linux, which the frame also answers for.
using FileDescriptor = int;
using TimerInterval = uint64;

class IEventHandler : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void VST3_API onFDIsSet(FileDescriptor fd) = 0;
};

class ITimerHandler : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void VST3_API onTimer() = 0;
};

class IRunLoop : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual tresult VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
  virtual tresult VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult VST3_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
  virtual tresult VST3_API unregisterTimer(ITimerHandler* handler) = 0;
};

static_assert(sizeof(ViewRect) == 16 && offsetof(ViewRect, bottom) == 12);
static_assert(IPlugView::iid.word(0) == 0x5BC32507 && IRunLoop::iid.word(2) == 0x9C5B8385);

}  // namespace vst3
