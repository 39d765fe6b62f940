#pragma once
// A structural check of generated code, for the tests and the compiler's fuzz target: code
// is read action by action and every place a player may be sent to must start an action.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/compiler/ScriptNode.h"

namespace codegentest {

namespace branchcheck {

inline uint32_t U16(const std::vector<uint8_t>& c, size_t at) { return c[at] | (uint32_t{c[at + 1]} << 8); }

inline std::string At(size_t position) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%zX", position);
  return buffer;
}

// Bytes of the pushed value whose type byte stands at `at`, or 0 when it does not end by `end`.
inline size_t PushValueSize(const std::vector<uint8_t>& c, size_t at, size_t end) {
  size_t size = 0;
  switch (c[at]) {
    case 0:
      for (size_t i = at + 1; i < end; ++i)
        if (c[i] == 0) return i - at + 1;
      return 0;
    case 2: case 3: size = 1; break;
    case 4: case 5: case 8: size = 2; break;
    case 9: size = 3; break;
    case 1: case 7: size = 5; break;
    case 6: size = 9; break;
    default: return 0;
  }
  return at + size <= end ? size : 0;
}

// The actions in [begin, end): a function's body is a body of its own, which nothing outside
// it may land in.
inline std::string CheckBody(const std::vector<uint8_t>& c, size_t begin, size_t end) {
  std::vector<size_t> starts;
  struct Landing {
    size_t from;
    int64_t to;
  };
  std::vector<Landing> landings;
  for (size_t p = begin; p < end;) {
    starts.push_back(p);
    const uint8_t code = c[p];
    if (code == 0) return "ActionEnd inside the body at " + At(p);
    size_t next = p + 1;
    if (code >= 0x80) {
      if (end - p < 3 || end - p - 3 < U16(c, p + 1)) return "record past the end of its body at " + At(p);
      next = p + 3 + U16(c, p + 1);
    }
    switch (code) {
      case 0x96:
        for (size_t v = p + 3; v < next;) {
          const size_t size = PushValueSize(c, v, next);
          if (size == 0) return "pushed value past the end of its ActionPush at " + At(v);
          v += size;
        }
        break;
      case 0x99:
      case 0x9D:
      case 0x94:
        if (next - p != 5) return "branch or with of the wrong length at " + At(p);
        landings.push_back({p, code == 0x94 ? static_cast<int64_t>(next + U16(c, p + 3))
                                            : static_cast<int64_t>(next) + static_cast<int16_t>(U16(c, p + 3))});
        break;
      case 0x9B:
      case 0x8E: {
        if (next - p < 5) return "function header too short at " + At(p);
        const size_t size = U16(c, next - 2);
        if (end - next < size) return "function body past the end of its body at " + At(p);
        const std::string inner = CheckBody(c, next, next + size);
        if (!inner.empty()) return inner + " (in the function at " + At(p) + ")";
        next += size;
        break;
      }
      default: break;
    }
    p = next;
  }
  for (const Landing& landing : landings) {
    const bool named = landing.to == static_cast<int64_t>(end) ||
                       (landing.to >= static_cast<int64_t>(begin) &&
                        std::binary_search(starts.begin(), starts.end(), static_cast<size_t>(landing.to)));
    if (!named) {
      const std::string where = landing.to < static_cast<int64_t>(begin) || landing.to > static_cast<int64_t>(end)
                                    ? "outside its body"
                                    : "inside an instruction";
      return "the " + std::string(c[landing.from] == 0x94 ? "with-block" : "branch") + " at " + At(landing.from) +
             " ends " + where + " (" + (landing.to < 0 ? "-" : "") + At(static_cast<size_t>(std::abs(landing.to))) +
             ")";
    }
  }
  return std::string();
}

}  // namespace branchcheck

// Code as Generate lays it out for a root of `rootKind` (frame script, button or movie clip)
// read action by action: empty when every ActionIf and ActionJump lands on an instruction
// start of its own body, every ActionWith block and every function body ends on one, and
// every record (pushed values included) ends where its length says; else the first fault.
inline std::string CheckBranches(const std::vector<uint8_t>& code, int rootKind, int version) {
  if (rootKind == kNodeButton) {
    // Condition records: the offset to the next one (0 for the last), the flags, the actions
    // and their end.
    for (size_t p = 0;;) {
      if (code.size() - p < 5) return "condition record too short at " + branchcheck::At(p);
      const size_t offset = branchcheck::U16(code, p);
      const size_t end = offset == 0 ? code.size() : p + offset;
      if (end > code.size() || end < p + 5 || code[end - 1] != 0) return "bad condition record at " + branchcheck::At(p);
      const std::string fault = branchcheck::CheckBody(code, p + 4, end - 1);
      if (!fault.empty() || offset == 0) return fault;
      p = end;
    }
  }
  if (rootKind == kNodeMovieClip) {
    // The reserved word and all flags, then each handler (its flags, its size, the actions
    // and their end), then zero flags.
    const size_t flagBytes = version >= 6 ? 4 : 2;
    for (size_t p = 2 + flagBytes;;) {
      if (p > code.size() || code.size() - p < flagBytes) return "clip handlers without their end at " + branchcheck::At(p);
      bool last = true;
      for (size_t i = 0; i < flagBytes; ++i) last = last && code[p + i] == 0;
      if (last) return p + flagBytes == code.size() ? std::string() : "bytes after the clip's handlers";
      p += flagBytes;
      if (code.size() - p < 4) return "clip handler too short at " + branchcheck::At(p);
      const size_t size = branchcheck::U16(code, p) | (size_t{branchcheck::U16(code, p + 2)} << 16);
      p += 4;
      if (size == 0 || code.size() - p < size || code[p + size - 1] != 0) return "bad clip handler at " + branchcheck::At(p);
      const std::string fault = branchcheck::CheckBody(code, p, p + size - 1);
      if (!fault.empty()) return fault;
      p += size;
    }
  }
  return branchcheck::CheckBody(code, 0, code.size());
}

}  // namespace codegentest
