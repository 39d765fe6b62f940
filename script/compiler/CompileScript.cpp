#include "script/compiler/CompileScript.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfText.h"

namespace {

void CopyError(const ScriptCompiler& compiler, ScriptCompileError* error) {
  if (!error) return;
  error->code = compiler.GetErrorCode();
  error->message = compiler.GetErrorMessage();
  error->file = compiler.GetErrorFile();
  error->line = compiler.GetErrorLine();
  error->column = compiler.GetErrorColumn();
  error->lineText = compiler.GetErrorLineText();
}

struct TreeRelease {
  void operator()(ScriptNode* node) const { node->Release(); }
};

}  // namespace

ScriptCompiler* NewScriptCompiler() { return new ScriptCompiler(); }

DoActionTag* CompileScriptToDoAction(const std::wstring& script, int version, ScriptCompileError* error) {
  if (error) *error = ScriptCompileError();
  if (script.empty()) return nullptr;
  // Every character takes at least one byte: a script beyond the compiler's limit is
  // refused before it is converted.
  if (script.size() > ScriptCompiler::kMaxScriptBytes) {
    if (error) {
      error->code = kScriptErrorStream;
      error->message = "The script is longer than " + std::to_string(ScriptCompiler::kMaxScriptBytes) + " bytes";
      error->file = "Main";
      error->lineText = "No Line";
    }
    return nullptr;
  }
  std::unique_ptr<ScriptCompiler> compiler(NewScriptCompiler());
  const uint8_t versionByte = static_cast<uint8_t>(version & 0xFF);
  // The script's text becomes the bytes of the movie's strings: UTF-8 from SWF 6 on,
  // Latin-1 below (a character outside Latin-1 becomes "?"). The conversion never fails.
  std::string text = EncodeSwfText(script, versionByte);
  compiler->SetTextEncoding(versionByte >= 6 ? ScriptTextEncoding::kUtf8 : ScriptTextEncoding::kLatin1);
  if (text.empty()) return nullptr;

  // From SWF 5 on, the code of each top-level function is made as soon as it is parsed.
  std::optional<StreamedGeneration> streamed;
  if (version >= 5) {
    streamed.emplace(*compiler, version);
    compiler->SetStatementSink(&*streamed);
  }
  // What is no longer needed goes as soon as it can: the peak is what stays alive at once.
  std::unique_ptr<ScriptNode, TreeRelease> root(compiler->Parse(std::move(text)));
  compiler->SetStatementSink(nullptr);
  if (!root) {
    CopyError(*compiler, error);
    return nullptr;
  }
  // Handlers belong to buttons and movie clips; a frame's DoAction cannot hold them. The
  // error names the line of the last handler, which made the script a button's or a clip's.
  if (root->GetKind() == kNodeButton || root->GetKind() == kNodeMovieClip) {
    const int32_t handlerKind = root->GetKind() == kNodeButton ? kNodeOn : kNodeOnClipEvent;
    int32_t line = 0;
    for (uint32_t i = 0; i < root->ChildCount(); ++i) {
      const ScriptNode* child = root->GetChild(i);
      if (child && child->GetKind() == handlerKind) line = child->GetLine();
    }
    compiler->RecordGenerationError(root->GetKind() == kNodeButton
                                        ? "on handlers belong to a button, not to a frame script"
                                        : "onClipEvent handlers belong to a movie clip, not to a frame script",
                                    line);
    CopyError(*compiler, error);
    return nullptr;
  }
  const uint32_t length = streamed ? streamed->Finish(root.get()) : compiler->Generate(root.get(), version);
  root.reset();
  if (compiler->GetErrorCode() != kScriptErrorNone) {
    CopyError(*compiler, error);
    return nullptr;
  }

  // The code becomes the body of a DoAction tag. Its movie (the tag after a one-frame header
  // and before an End tag) must stay within what a movie may hold.
  if (uint64_t{length} + 57 > kMaxSwfMovieBytes) return nullptr;
  // The code becomes the tag's actions as it is: they are read into objects only when asked
  // for, and a tag written without that writes these bytes.
  std::vector<uint8_t> code = compiler->TakeCode();
  compiler.reset();
  auto* tag = new DoActionTag(versionByte);
  tag->HoldActions(std::move(code));
  return tag;
}
