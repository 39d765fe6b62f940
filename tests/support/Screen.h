#pragma once
// Screen tests: an X server of the test's own, xdotool to act as the user, ImageMagick to
// read what the screen shows.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

// Xvfb on a display nobody uses, stopped with the object (or with the test process).
class VirtualDisplay {
 public:
  VirtualDisplay() {
    if (!HaveTool("Xvfb")) return;
    auto exists = [](const std::string& path) {
      struct stat st;
      return ::stat(path.c_str(), &st) == 0;
    };
    for (int n = 300 + getpid() % 300, tries = 0; tries < 100; ++n, ++tries) {
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (exists("/tmp/.X" + std::to_string(n) + "-lock") || exists(socket)) continue;
      const std::string display = ":" + std::to_string(n);
      pid_ = fork();
      if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
      }
      for (int i = 0; i < 200 && !exists(socket); ++i) {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {  // it gave up (display taken)
          pid_ = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (pid_ > 0 && exists(socket)) {
        display_ = display;
        return;
      }
      Stop();
    }
  }
  ~VirtualDisplay() { Stop(); }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  const std::string& Display() const { return display_; }

 private:
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  pid_t pid_ = -1;
  std::string display_;
};

// The top-left corner of the visible X window whose title matches the pattern (a regular
// expression); false when there is none.
inline bool FindXWindow(const std::string& display, const std::string& title, int* x, int* y) {
  std::string id = Run("DISPLAY=" + display + " xdotool search --onlyvisible --name '" + title + "' 2>/dev/null | head -1");
  while (!id.empty() && id.back() == '\n') id.pop_back();
  if (id.empty()) return false;
  std::istringstream geometry(Run("DISPLAY=" + display + " xdotool getwindowgeometry --shell " + id));
  for (std::string line; std::getline(geometry, line);) {
    if (line.rfind("X=", 0) == 0) *x = std::atoi(line.c_str() + 2);
    if (line.rfind("Y=", 0) == 0) *y = std::atoi(line.c_str() + 2);
  }
  return true;
}

// The screen as a PNG file.
inline bool Screenshot(const std::string& display, const std::string& file) {
  int status = -1;
  Run("import -display " + display + " -window root '" + file + "'", &status);
  return status == 0;
}

// The colours of a rectangle of a screenshot, one "RRGGBB" per pixel, row by row.
inline std::vector<std::string> Pixels(const std::string& shot, int x, int y, int width, int height) {
  std::istringstream out(Run("convert '" + shot + "' -crop " + std::to_string(width) + "x" +
                             std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y) +
                             " +repage -depth 8 txt:- | tail -n +2 | sed 's/.*#\\([0-9A-F]\\{6\\}\\).*/\\1/'"));
  std::vector<std::string> pixels;
  for (std::string line; std::getline(out, line);)
    if (line.size() == 6) pixels.push_back(line);
  return pixels;
}

// A colour of clear hue (not a grey of text, frames or background).
inline bool Saturated(const std::string& rrggbb) {
  if (rrggbb.size() != 6) return false;
  int c[3];
  for (int i = 0; i < 3; ++i) c[i] = std::stoi(rrggbb.substr(2 * i, 2), nullptr, 16);
  const int high = std::max({c[0], c[1], c[2]}), low = std::min({c[0], c[1], c[2]});
  return high - low >= 80;
}

}  // namespace testsupport
