#pragma once
// Screen tests: xdotool to act as the user, ImageMagick to read what the screen shows (the
// X server is the process's shared one, support/VirtualScreen.h).

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/VirtualScreen.h"

namespace testsupport {

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
