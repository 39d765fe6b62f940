#pragma once
// Runs written SWF movies in the browser Flash player (tests/player/run-swf.mjs: Ruffle in
// headless Chromium) and returns what each movie traced.
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

// The player plays each movie's frames one by one, driven by the test rather than the clock,
// and lets a load finish between two frames; so what a movie traces within a number of frames
// does not depend on how busy the machine is. The time limit only guards against a hang.
struct PlayerOptions {
  int timeMs = 120000;       // longest real time a movie may take, load included (then: an error)
  int frames = 240;          // most frames played (and again after the click)
  int quietFrames = 12;      // stop after this many frames without a new trace (see below)
  std::string until;         // stop as soon as this line is traced (empty: not used)
  int count = -1;            // with no `until`: stop only once this many lines were traced
                             // and then quietFrames passed (-1: after the first line)
  std::vector<int> counts;   // per movie, in place of `count` (when not empty)
  int jobs = 4;              // movies played side by side
  std::string shotDir;       // save each stage as <shotDir>/<n>.png when played (empty: none)
  std::string click;         // "X,Y": then click the stage there and play on, until `count`
                             // lines were traced in all (empty: no click)
};

struct PlayerResult {
  std::string movie;
  std::map<std::string, std::string> meta;  // width, height, frameRate, numFrames, swfVersion
  int frames = 0;                           // frames played
  std::vector<std::string> traces;
  std::vector<std::string> errors;
  std::string shot;  // the saved stage (with PlayerOptions::shotDir)
};

inline std::filesystem::path PlayerDir() {
  return EnvPath("BRIVANE_PLAYER_DIR", (SourceDir() / "tests/player").c_str());
}

// Empty when the player can run here; otherwise why it cannot.
inline std::string PlayerUnavailableReason() {
  const auto dir = PlayerDir();
  if (!std::filesystem::exists(dir / "node_modules/@ruffle-rs/ruffle/ruffle.js"))
    return "the browser player's npm packages are not installed (scripts/install-deps.sh)";
  if (!HaveTool("node")) return "node is not installed";
  const char* chromium = std::getenv("CHROMIUM");
  if (!std::filesystem::exists(chromium ? chromium : "/usr/bin/chromium"))
    return "chromium is not installed";
  return std::string();
}

#define SKIP_WITHOUT_PLAYER()                                             \
  do {                                                                    \
    std::string why__ = ::testsupport::PlayerUnavailableReason();         \
    if (!why__.empty()) GTEST_SKIP() << why__;                            \
  } while (0)

inline std::string UnescapeTrace(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

inline std::vector<PlayerResult> RunInPlayer(const std::vector<std::filesystem::path>& movies,
                                             const PlayerOptions& options = {}) {
  std::ostringstream cmd;
  cmd << "node '" << (PlayerDir() / "run-swf.mjs").string() << "' --time " << options.timeMs
      << " --frames " << options.frames << " --quiet " << options.quietFrames << " --jobs " << options.jobs;
  if (!options.until.empty()) cmd << " --until '" << options.until << "'";
  if (!options.shotDir.empty()) cmd << " --shot '" << options.shotDir << "'";
  if (!options.click.empty()) cmd << " --click '" << options.click << "'";
  for (size_t i = 0; i < movies.size(); ++i) {
    cmd << " --count " << (i < options.counts.size() ? options.counts[i] : options.count);
    cmd << " '" << std::filesystem::absolute(movies[i]).string() << "'";
  }
  cmd << " 2>&1";
  const std::string out = Run(cmd.str());

  std::vector<PlayerResult> results;
  std::istringstream lines(out);
  std::string line;
  PlayerResult* cur = nullptr;
  while (std::getline(lines, line)) {
    auto rest = [&](size_t n) { return line.size() > n ? line.substr(n) : std::string(); };
    if (line.rfind("#movie ", 0) == 0) {
      results.push_back(PlayerResult{});
      results.back().movie = rest(7);
      cur = &results.back();
    } else if (!cur) {
      continue;
    } else if (line.rfind("#meta ", 0) == 0) {
      std::istringstream kv(rest(6));
      std::string item;
      while (kv >> item) {
        auto eq = item.find('=');
        if (eq != std::string::npos) cur->meta[item.substr(0, eq)] = item.substr(eq + 1);
      }
    } else if (line.rfind("#frames ", 0) == 0) {
      cur->frames = std::atoi(rest(8).c_str());
    } else if (line.rfind("#shot ", 0) == 0) {
      cur->shot = rest(6);
    } else if (line.rfind("#trace", 0) == 0) {
      cur->traces.push_back(UnescapeTrace(rest(7)));
    } else if (line.rfind("#error ", 0) == 0) {
      cur->errors.push_back(UnescapeTrace(rest(7)));
    } else if (line == "#end") {
      cur = nullptr;
    }
  }
  if (results.size() != movies.size()) {
    // The harness itself failed: report its output against every movie.
    results.assign(movies.size(), PlayerResult{});
    for (size_t i = 0; i < movies.size(); ++i) {
      results[i].movie = movies[i].string();
      results[i].errors.push_back("player harness failed: " + out);
    }
  }
  return results;
}

// Python that reads a stage screenshot (8-bit RGB or RGBA PNG, any row filter) into `w`, `h`,
// `bpp` and `rows` (one bytearray per row), and defines px(x, y) as the pixel's (r, g, b);
// the path is `png_path`, set before this runs.
inline const char* kPythonReadPng = R"(
import struct, zlib
data = open(png_path, 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat = 8, b''
while pos < len(data):
    n, kind = struct.unpack_from('>I4s', data, pos)
    body = data[pos + 8:pos + 8 + n]
    if kind == b'IHDR': w, h, depth, ctype = struct.unpack_from('>IIBB', body)
    if kind == b'IDAT': idat += body
    pos += 12 + n
assert depth == 8 and ctype in (2, 6)
bpp = 3 if ctype == 2 else 4
raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
for y in range(h):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pr = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
        line[i] = (line[i] + [0, a, b, (a + b) // 2, pr][f]) & 255
    rows.append(line)
    prev = line
px = lambda x, y: tuple(rows[y][x * bpp:x * bpp + 3])
)";

}  // namespace testsupport
