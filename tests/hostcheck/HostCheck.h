// The host check's parts: its check lines and the editor sessions.
#pragma once

#include <string>

namespace tamblin::check {

struct Checks {
  int failures = 0;
  // Prints "ok" or "FAIL" with the check; answers `ok`.
  bool check(bool ok, const std::string& what);
};

// The editor in a real window of the platform, driven with pointer input (Windows only).
int runEditorSession(const std::string& pluginPath, const std::string& program0Png,
                     const std::string& outDir);
// The same session played on a headless window over an in-process instrument; writes its picture.
int runHeadlessSession(const std::string& outPng);

}  // namespace tamblin::check
