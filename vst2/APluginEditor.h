// The editor bridge: answers the host's editor requests and owns the editor window while it is open.
#pragma once

#include <atomic>
#include <memory>

#include "DAudioEffect.h"
#include "EditorWindow.h"

class APlugin;

// The editor window's link to this instrument.
std::unique_ptr<tamblin::InstrumentLink> linkToInstrument(APlugin& instrument);

class APluginEditor : public AEffEditor {
 public:
  static constexpr int kClosedWidth = 665;   // what hosts are told before a window exists
  static constexpr int kClosedHeight = 518;

  explicit APluginEditor(APlugin* plugin);
  ~APluginEditor() override;

  VstInt32 getRect(ERect** rect) override;  // [ui thread]
  VstInt32 open(void* window) override;     // [ui thread]
  void close() override;                    // [ui thread]
  void idle() override;                     // [ui thread]
  void update() override;                   // [any thread] copies the values into an open window

  // Which window open() makes; the drawn editor unless a test or tool asks for another.
  using WindowFactory = std::unique_ptr<tamblin::EditorWindow> (*)();
  void setWindowFactory(WindowFactory factory) { windowFactory = factory; }

  int openCount() const { return openCount_; }
  tamblin::EditorWindow* editorWindow() const { return window_.get(); }

 private:
  void destroyWindow();

  ERect rect{};
  int openCount_ = 0;
  std::unique_ptr<tamblin::EditorWindow> window_;
  void* parentWindow = nullptr;
  APlugin* plugin;
  WindowFactory windowFactory = tamblin::createEditorWindow;
  // update() may run on the audio thread while the host closes the editor: it publishes the window
  // it copies into, and destruction waits (on the ui thread only) until no copy is in flight.
  std::atomic<tamblin::EditorWindow*> liveWindow{nullptr};
  std::atomic<int> copiesInFlight{0};
};
