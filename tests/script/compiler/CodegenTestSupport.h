#pragma once
// Helpers for the code generation tests: a script compiled by Parse and Generate, as bytes
// or as spaced hexadecimal text.
#include <cstdint>
#include <string>
#include <vector>

#include "BranchCheck.h"

namespace codegentest {

struct Compiled {
  bool parsed = false;
  std::vector<uint8_t> code;
  int errorCode = 0;
  std::string errorMessage;
  std::string errorFile;
  int errorLine = -1;
  std::string errorLineText;
};

// Also checks the code with CheckBranches (a failed check fails the calling test).
Compiled Compile(const std::string& script, int version = 5);

// "96 02 00 ..." for the code, or "error: <message>" when parsing or generation failed.
std::string CompileHex(const std::string& script, int version = 5);

std::string Hex(const std::vector<uint8_t>& bytes);
// Spaces removed and letters upper-cased, so that expected texts may be written freely.
std::string Normalize(const std::string& hex);

}  // namespace codegentest

namespace codegentest {

// A one-frame movie of the version whose DoAction holds `actions` (the End byte included),
// stage 550 x 400, 12 frames per second.
std::string ScriptMovie(const std::vector<uint8_t>& actions, int version);

// The actions of the DoAction compiled from `script` with the End byte, or empty with the
// error message in `error` when it does not compile.
std::vector<uint8_t> CompiledActions(const std::string& script, int version, std::string* error = nullptr);

// An uncompressed movie ("FWS") with the body of its first DoAction tag replaced by
// `actions`; empty when the movie has no DoAction before its first ShowFrame.
std::string ReplaceFirstDoAction(const std::string& movie, const std::vector<uint8_t>& actions);

}  // namespace codegentest
