#pragma once
// The compiler's entry: one ActionScript script in, one DoAction tag out.
#include <cstdint>
#include <string>

#include "flash/swf/DoActionTag.h"
#include "script/compiler/ScriptCompiler.h"

// Why a compilation failed: the compiler's error record, kept after the compiler is gone.
struct ScriptCompileError {
  int32_t code = kScriptErrorNone;  // 0 none, 2 stream failure, 4 syntax or generation failure
  std::string message;
  std::string file;      // "Main" for the script itself
  int32_t line = 0;
  int32_t column = 0;
  std::string lineText;  // "No Line" when there is none
};

// A new compiler; the caller deletes it (or calls Release).
ScriptCompiler* NewScriptCompiler();

// Compiles the script for a movie of the SWF version. Returns the DoAction tag, owned by the
// caller, or null when the script is empty or does not compile; then `error`, when given,
// receives the error record. Below version 5 the tag holds no actions.
DoActionTag* CompileScriptToDoAction(const std::wstring& script, int version,
                                     ScriptCompileError* error = nullptr);
