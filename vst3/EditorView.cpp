// The editor view: the window opened in the host's parent with the controller's values, edits sent to
// the controller, and on Linux the window's events pumped from the host's run loop timer.
#include "EditorView.h"

#include <array>
#include <cstring>
#include <memory>

#include "Controller.h"
#include "EditorWindow.h"
#include "ParameterTable.h"
#include "uEditor.h"

#if !defined(_WIN32)
// Xlib's macros (None, Bool, ...) come after every other header.
#include "platform/x11/X11Backend.h"
#endif

namespace tamblin::vst3 {

using namespace ::vst3;

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif
constexpr int kWidth = 544;
constexpr int kHeight = 536;

class ViewLink final : public InstrumentLink {
 public:
  ViewLink(Controller& controller, const EditorView& view) : controller_(controller), view_(view) {}
  // Without the host's timer nothing would end a gesture later: each edit is one then.
  void setParameterAutomated(int index, float value) override {
    controller_.editFromEditor(index, value);
    if (!view_.hasTimer()) controller_.endGesture(true);
  }
  float gatePosition() const override { return controller_.gatePosition(); }

 private:
  Controller& controller_;
  const EditorView& view_;
};

}  // namespace

EditorView::EditorView(Controller& controller) : controller_(controller) { controller_.addRef(); }

EditorView::~EditorView() {
  removed();
  controller_.viewClosing(this);
  controller_.release();
}

tresult EditorView::queryInterface(const TUID iid, void** object) {
  if (object == nullptr) return kInvalidArgument;
  *object = nullptr;
  if (FUnknown::iid.matches(iid) || IPlugView::iid.matches(iid)) {
    *object = static_cast<IPlugView*>(this);
  } else if (ITimerHandler::iid.matches(iid)) {
    *object = static_cast<ITimerHandler*>(this);
  } else if (IEventHandler::iid.matches(iid)) {
    *object = static_cast<IEventHandler*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 EditorView::addRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 EditorView::release() {
  const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

tresult EditorView::isPlatformTypeSupported(FIDString type) {
  return type != nullptr && std::strcmp(type, kPlatformType) == 0 ? kResultOk : kResultFalse;
}

tresult EditorView::attached(void* parent, FIDString type) {
  if (parent == nullptr || isPlatformTypeSupported(type) != kResultOk) return kInvalidArgument;
  if (slot_.window() != nullptr) return kResultFalse;
  std::array<float, kNumStoredValues> values;
  for (int i = 0; i < kNumStoredValues; ++i) values[static_cast<size_t>(i)] = controller_.model().parameter(i);
#if defined(_WIN32)
  // The window's timers and messages run on the host's thread through its message loop.
  if (!slot_.open(parent, values, std::make_unique<ViewLink>(controller_, *this))) return kResultFalse;
#else
  // With the host's run loop the window gets no thread of its own: the loop watches its X connection
  // and its timer runs the window's timers. Without one the window's own thread does both.
  void* loop = nullptr;
  if (frame_ != nullptr && frame_->queryInterface(IRunLoop::iid.data(), &loop) == kResultOk && loop != nullptr)
    runLoop_ = static_cast<IRunLoop*>(loop);
  auto backend = std::make_unique<X11Backend>();
  backend->setDrivenByOwner(runLoop_ != nullptr);
  X11Backend* x11 = backend.get();
  if (!slot_.open(parent, values, std::make_unique<ViewLink>(controller_, *this),
                  std::make_unique<TPluginEditorWindow>(std::move(backend)))) {
    removed();
    return kResultFalse;
  }
  if (runLoop_ != nullptr) {
    watchingFd_ = runLoop_->registerEventHandler(this, x11->connectionFd()) == kResultOk;
    if (runLoop_->registerTimer(this, kTimerMs) != kResultOk) {
      // A loop without timers cannot run the window: it gets its own thread after all.
      removed();
      runLoop_ = nullptr;
      if (!slot_.open(parent, values, std::make_unique<ViewLink>(controller_, *this))) return kResultFalse;
    }
  }
#endif
  return kResultOk;
}

tresult EditorView::removed() {
  if (runLoop_ != nullptr) {
    if (watchingFd_) runLoop_->unregisterEventHandler(this);
    watchingFd_ = false;
    runLoop_->unregisterTimer(this);
    runLoop_->release();
    runLoop_ = nullptr;
  }
  const bool wasOpen = slot_.window() != nullptr;
  slot_.close();
  controller_.endGesture(true);
  return wasOpen ? kResultOk : kResultFalse;
}

tresult EditorView::getSize(ViewRect* size) {
  if (size == nullptr) return kInvalidArgument;
  *size = ViewRect{0, 0, kWidth, kHeight};
  return kResultOk;
}

tresult EditorView::onSize(ViewRect* newSize) {
  if (newSize == nullptr) return kInvalidArgument;
  return newSize->right - newSize->left == kWidth && newSize->bottom - newSize->top == kHeight ? kResultOk
                                                                                               : kResultFalse;
}

tresult EditorView::setFrame(IPlugFrame* frame) {
  frame_ = frame;  // the host's, alive while the view is
  return kResultOk;
}

tresult EditorView::checkSizeConstraint(ViewRect* rect) {
  if (rect == nullptr) return kInvalidArgument;
  rect->right = rect->left + kWidth;
  rect->bottom = rect->top + kHeight;
  return kResultOk;
}

void EditorView::onFDIsSet(FileDescriptor) {
  if (EditorWindow* window = slot_.window()) window->idle();
}

void EditorView::onTimer() {
  if (EditorWindow* window = slot_.window()) window->idle();
  controller_.endGesture(false);
}

}  // namespace tamblin::vst3
