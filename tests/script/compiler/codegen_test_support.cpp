#include "CodegenTestSupport.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "script/compiler/ScriptCompiler.h"

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
    root->Release();
  }
  result.errorCode = compiler.GetErrorCode();
  result.errorMessage = compiler.GetErrorMessage();
  result.errorFile = compiler.GetErrorFile();
  result.errorLine = compiler.GetErrorLine();
  result.errorLineText = compiler.GetErrorLineText();
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
