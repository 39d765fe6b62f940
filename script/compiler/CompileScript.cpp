#include "script/compiler/CompileScript.h"

#include <cstring>
#include <memory>
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

// Reads the one-frame movie back and takes its DoAction tag; every other tag is deleted.
DoActionTag* ReadBackDoAction(const std::vector<uint8_t>& movie) {
  SwfReader reader;
  if (!reader.OpenMemory(movie.data(), movie.size(), true, static_cast<uint32_t>(movie.size()), true))
    return nullptr;
  DoActionTag* result = nullptr;
  for (SwfTag* tag : reader.GetTagList(true)) {
    if (tag->GetTagCode() == 12 && !result) result = static_cast<DoActionTag*>(tag);
    else delete tag;
  }
  reader.GetTagList().clear();
  return result;
}

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

  std::unique_ptr<ScriptNode, TreeRelease> root(compiler->Parse(text.c_str()));
  // What is no longer needed goes as soon as it can: the peak is what stays alive at once.
  std::string().swap(text);
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
  const uint32_t length = compiler->Generate(root.get(), version);
  root.reset();
  if (compiler->GetErrorCode() != kScriptErrorNone) {
    CopyError(*compiler, error);
    return nullptr;
  }

  // A one-frame movie holding the code as its DoAction tag, followed by a zero tail that
  // reads as the End tag and ends the action list.
  const uint64_t total = uint64_t{length} + 57;
  if (total > UINT32_MAX) return nullptr;
  std::vector<uint8_t> movie(static_cast<size_t>(total), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) movie[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  movie[0] = 'F';
  movie[1] = 'W';
  movie[2] = 'S';
  movie[3] = versionByte;
  put32(4, static_cast<uint32_t>(total));
  static const uint8_t kStage[9] = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
  std::memcpy(&movie[8], kStage, sizeof kStage);
  movie[17] = 0x00;
  movie[18] = 0x0C;
  movie[19] = 0x01;
  movie[20] = 0x00;
  size_t codeStart;
  if (length > 62) {
    movie[21] = 0x3F;
    movie[22] = 0x03;
    put32(23, length);
    codeStart = 27;
  } else {
    const uint16_t header = static_cast<uint16_t>(0x0300 + length);
    movie[21] = static_cast<uint8_t>(header);
    movie[22] = static_cast<uint8_t>(header >> 8);
    codeStart = 23;
  }
  compiler->CopyCode(movie.data() + codeStart);
  compiler.reset();
  DoActionTag* tag = ReadBackDoAction(movie);
  if (tag) tag->version = versionByte;
  return tag;
}
