// The editor in a top-level window of its own: the window a host would give the editor, made by
// tamblin, titled with the program's name; closing it asks tamblin to end.
#pragma once

#include <string>


typedef struct _XDisplay Display;

namespace tamblin::standalone {

class Player;

class DesktopWindow {
 public:
  // Opens the display, makes the window and opens the editor in it; throws std::runtime_error.
  explicit DesktopWindow(Player& player);
  ~DesktopWindow();
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // The display connection's descriptor, readable when events wait.
  int connectionFd() const;
  // Handles waiting events and gives the editor its idle time; false once the window was closed.
  bool serve();
  void setTitle(const std::string& title);

 private:
  Player& player_;
  Display* display_ = nullptr;
  unsigned long window_ = 0;
  unsigned long deleteWindow_ = 0;
  std::string title_;
  bool editorOpen_ = false;
};

}  // namespace tamblin::standalone
