// fuzz-links: script_compiler
// fuzz-options: -max_len=65536
// Compiles each input as an ActionScript script: through the entry, which must give a tag or
// null, and through Parse and Generate, which also reach the button and movie-clip layouts.
// Generated code must send the player to action starts only.
// The first byte picks the SWF version (4 to 8), the rest is the script as UTF-8.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfText.h"
#include "script/compiler/CompileScript.h"
#include "toolbox/Utf8.h"

#include "../script/compiler/BranchCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 64 * 1024) return 0;
  const int version = 4 + data[0] % 5;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  ScriptCompileError error;
  std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(toolbox::Utf8ToWide(text), version, &error));
  std::vector<uint8_t> fromTag;
  if (tag) {
    SwfBitWriter writer(tag->version);
    tag->WriteActions(writer, false);
    fromTag = writer.GetBuffer();
    // The tag holds its code as bytes until its actions are asked for: once they are read,
    // it writes the same bytes.
    if (!tag->actions.empty() && !tag->actions[0]) std::abort();
    SwfBitWriter read(tag->version);
    tag->WriteActions(read, false);
    if (read.GetBuffer() != fromTag) std::abort();
  }

  std::unique_ptr<ScriptCompiler> compiler(NewScriptCompiler());
  compiler->SetTextEncoding(version >= 6 ? ScriptTextEncoding::kUtf8 : ScriptTextEncoding::kLatin1);
  const std::string bytes = EncodeSwfText(toolbox::Utf8ToWide(text), static_cast<uint8_t>(version));
  ScriptNode* root = compiler->Parse(std::string(bytes));
  if (root) {
    const uint32_t length = compiler->Generate(root, version);
    std::vector<uint8_t> code(length);
    compiler->CopyCode(code.data());
    if (length > 0 && !codegentest::CheckBranches(code, root->GetKind(), version).empty()) std::abort();
    // The tag the entry returned reads back to exactly the generated frame script.
    if (tag && length > 0) {
      code.push_back(0);
      if (code != fromTag) std::abort();
    }
  }
  // The entry makes the code while it parses: a frame script it refuses fails with the
  // same error as parsing and generating apart.
  const bool frameScript = !root || root->GetKind() == kNodeArray;
  if (!bytes.empty() && version >= 5 && frameScript &&
      (tag ? compiler->GetErrorCode() != 0 : error.message != compiler->GetErrorMessage()))
    std::abort();
  if (root) root->Release();
  return 0;
}
