#include "CodegenTestSupport.h"

#include <cctype>
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
