// The editor as a VST 3 view: the drawn window inside the host's X11 window, driven from the host's
// run loop (a timer and a handler on the X connection, no thread of ours), or inside its Win32
// window; 544 x 536 and not resizable.
#pragma once

#include <atomic>

#include "EditorSlot.h"
#include "abi/View.h"

namespace tamblin::vst3 {

class Controller;

class EditorView final : public ::vst3::IPlugView, public ::vst3::ITimerHandler, public ::vst3::IEventHandler {
 public:
  static constexpr int kTimerMs = 20;  // the host's timer drives the window's events and timers

  explicit EditorView(Controller& controller);
  EditorView(const EditorView&) = delete;
  EditorView& operator=(const EditorView&) = delete;

  // FUnknown
  ::vst3::tresult VST3_API queryInterface(const ::vst3::TUID iid, void** object) override;
  ::vst3::uint32 VST3_API addRef() override;
  ::vst3::uint32 VST3_API release() override;
  // IPlugView [ui thread]
  ::vst3::tresult VST3_API isPlatformTypeSupported(::vst3::FIDString type) override;
  ::vst3::tresult VST3_API attached(void* parent, ::vst3::FIDString type) override;
  ::vst3::tresult VST3_API removed() override;
  ::vst3::tresult VST3_API onWheel(float) override { return ::vst3::kResultFalse; }
  ::vst3::tresult VST3_API onKeyDown(::vst3::char16, ::vst3::int16, ::vst3::int16) override {
    return ::vst3::kResultFalse;
  }
  ::vst3::tresult VST3_API onKeyUp(::vst3::char16, ::vst3::int16, ::vst3::int16) override {
    return ::vst3::kResultFalse;
  }
  ::vst3::tresult VST3_API getSize(::vst3::ViewRect* size) override;
  ::vst3::tresult VST3_API onSize(::vst3::ViewRect* newSize) override;
  ::vst3::tresult VST3_API onFocus(::vst3::TBool) override { return ::vst3::kResultOk; }
  ::vst3::tresult VST3_API setFrame(::vst3::IPlugFrame* frame) override;
  ::vst3::tresult VST3_API canResize() override { return ::vst3::kResultFalse; }
  ::vst3::tresult VST3_API checkSizeConstraint(::vst3::ViewRect* rect) override;
  // ITimerHandler [ui thread]: the window's events and timers, and the end of an idle edit gesture.
  void VST3_API onTimer() override;
  // IEventHandler [ui thread]: the window's X connection has something to read.
  void VST3_API onFDIsSet(::vst3::FileDescriptor fd) override;

  // [any thread] A value for the open window.
  void setValue(int index, float value) { slot_.setValue(index, value); }
  bool isAttached() const { return slot_.window() != nullptr; }
  bool hasTimer() const { return runLoop_ != nullptr; }

 private:
  ~EditorView();

  std::atomic<::vst3::uint32> references_{1};
  Controller& controller_;
  ::vst3::IPlugFrame* frame_ = nullptr;
  ::vst3::IRunLoop* runLoop_ = nullptr;
  bool watchingFd_ = false;
  EditorSlot slot_;
};

}  // namespace tamblin::vst3
