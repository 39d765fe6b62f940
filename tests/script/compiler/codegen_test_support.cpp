#include "CodegenTestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

#include "flash/swf/SwfBitWriter.h"
#include "script/compiler/CompileScript.h"
#include "script/compiler/ScriptCompiler.h"
#include "toolbox/Utf8.h"

namespace codegentest {

Compiled Compile(const std::string& script, int version) {
  Compiled result;
  ScriptCompiler compiler;
  ScriptNode* root = compiler.Parse(script.c_str());
  if (root) {
    result.parsed = true;
    const uint32_t length = compiler.Generate(root, version);
    result.code.resize(length);
    if (compiler.CopyCode(result.code.data()) != length) result.code.clear();
    if (!result.code.empty()) {
      EXPECT_EQ(CheckBranches(result.code, root->GetKind(), version), "") << script;
    }
    root->Release();
  }
  result.errorCode = compiler.GetErrorCode();
  result.errorMessage = compiler.GetErrorMessage();
  result.errorFile = compiler.GetErrorFile();
  result.errorLine = compiler.GetErrorLine();
  result.errorLineText = compiler.GetErrorLineText();

  // Every script the tests compile is also compiled with the code made while it is parsed,
  // which must give the same bytes and the same error (a frame script from SWF 5 on).
  if (version >= 5) {
    ScriptCompiler streaming;
    StreamedGeneration generation(streaming, version);
    streaming.SetStatementSink(&generation);
    ScriptNode* tree = streaming.Parse(script.c_str());
    if (!tree || tree->GetKind() == kNodeArray) {
      std::vector<uint8_t> code;
      if (tree) {
        code.resize(generation.Finish(tree));
        streaming.CopyCode(code.data());
      }
      EXPECT_EQ(Hex(code), Hex(result.code)) << script;
      EXPECT_EQ(streaming.GetErrorMessage(), result.errorMessage) << script;
      EXPECT_EQ(streaming.GetErrorLine(), result.errorLine) << script;
      EXPECT_EQ(streaming.GetErrorLineText(), result.errorLineText) << script;
    }
    if (tree) tree->Release();
  }
  return result;
}

namespace {

uint32_t U16(const std::vector<uint8_t>& c, size_t at) { return c[at] | (uint32_t{c[at + 1]} << 8); }

std::string At(size_t position) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%zX", position);
  return buffer;
}

// Bytes of the pushed value whose type byte stands at `at`, or 0 when it does not end by `end`.
size_t PushValueSize(const std::vector<uint8_t>& c, size_t at, size_t end) {
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
std::string CheckBody(const std::vector<uint8_t>& c, size_t begin, size_t end) {
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

}  // namespace

std::string CheckBranches(const std::vector<uint8_t>& code, int rootKind, int version) {
  if (rootKind == kNodeButton) {
    // Condition records: the offset to the next one (0 for the last), the flags, the actions
    // and their end.
    for (size_t p = 0;;) {
      if (code.size() - p < 5) return "condition record too short at " + At(p);
      const size_t offset = U16(code, p);
      const size_t end = offset == 0 ? code.size() : p + offset;
      if (end > code.size() || end < p + 5 || code[end - 1] != 0) return "bad condition record at " + At(p);
      const std::string fault = CheckBody(code, p + 4, end - 1);
      if (!fault.empty() || offset == 0) return fault;
      p = end;
    }
  }
  if (rootKind == kNodeMovieClip) {
    // The reserved word and all flags, then each handler (its flags, its size, the actions
    // and their end), then zero flags.
    const size_t flagBytes = version >= 6 ? 4 : 2;
    for (size_t p = 2 + flagBytes;;) {
      if (code.size() - p < flagBytes) return "clip handlers without their end at " + At(p);
      bool last = true;
      for (size_t i = 0; i < flagBytes; ++i) last = last && code[p + i] == 0;
      if (last) return p + flagBytes == code.size() ? std::string() : "bytes after the clip's handlers";
      p += flagBytes;
      if (code.size() - p < 4) return "clip handler too short at " + At(p);
      const size_t size = U16(code, p) | (size_t{U16(code, p + 2)} << 16);
      p += 4;
      if (size == 0 || code.size() - p < size || code[p + size - 1] != 0) return "bad clip handler at " + At(p);
      const std::string fault = CheckBody(code, p, p + size - 1);
      if (!fault.empty()) return fault;
      p += size;
    }
  }
  return CheckBody(code, 0, code.size());
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buffer[4];
  for (uint8_t b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  return out;
}

std::string CompileHex(const std::string& script, int version) {
  const Compiled c = Compile(script, version);
  if (c.errorCode != 0) return "error: " + c.errorMessage;
  return Hex(c.code);
}

std::string Normalize(const std::string& hex) {
  std::string out;
  for (char ch : hex)
    if (ch != ' ') out += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

}  // namespace codegentest


namespace codegentest {

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A tag record header in the long form.
void PutTag(std::string& out, uint32_t code, const std::string& body) {
  Put16(out, (code << 6) | 0x3F);
  Put32(out, static_cast<uint32_t>(body.size()));
  out += body;
}

uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}

uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

}  // namespace

std::string ScriptMovie(const std::vector<uint8_t>& actions, int version) {
  std::string body;
  static const uint8_t kStage[9] = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
  body.append(reinterpret_cast<const char*>(kStage), sizeof kStage);
  Put16(body, 12 << 8);  // 12 frames per second
  Put16(body, 1);
  PutTag(body, 12, std::string(actions.begin(), actions.end()));
  Put16(body, 1 << 6);  // ShowFrame
  Put16(body, 0);       // End
  std::string movie = "FWS";
  movie += static_cast<char>(version);
  Put32(movie, static_cast<uint32_t>(body.size() + 8));
  return movie + body;
}

std::vector<uint8_t> CompiledActions(const std::string& script, int version, std::string* error) {
  ScriptCompileError record;
  std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(toolbox::Utf8ToWide(script), version, &record));
  if (!tag) {
    if (error) *error = record.message;
    return {};
  }
  SwfBitWriter writer(tag->version);
  if (tag->actions.empty()) writer.WriteU8(0);
  else tag->WriteActions(writer, false);
  return writer.GetBuffer();
}

std::string ReplaceFirstDoAction(const std::string& movie, const std::vector<uint8_t>& actions) {
  if (movie.size() < 9 || movie.compare(0, 3, "FWS") != 0) return std::string();
  const uint32_t bits = 5 + 4 * (static_cast<uint8_t>(movie[8]) >> 3);
  size_t position = 8 + (bits + 7) / 8 + 4;
  while (position + 2 <= movie.size()) {
    const size_t start = position;
    const uint32_t header = Get16(movie, position);
    position += 2;
    uint32_t length = header & 0x3F;
    if (length == 0x3F) {
      if (position + 4 > movie.size()) return std::string();
      length = Get32(movie, position);
      position += 4;
    }
    if (length > movie.size() - position) return std::string();
    const uint32_t code = header >> 6;
    if (code == 1 || code == 0) return std::string();
    if (code == 12) {
      std::string result = movie.substr(0, start);
      PutTag(result, 12, std::string(actions.begin(), actions.end()));
      result += movie.substr(position + length);
      const uint32_t total = static_cast<uint32_t>(result.size());
      for (int i = 0; i < 4; ++i) result[4 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
      return result;
    }
    position += length;
  }
  return std::string();
}

}  // namespace codegentest
