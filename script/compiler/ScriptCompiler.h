#pragma once
// The compiler object: the state of one compilation. This part holds the front end: the
// preprocessed script text, the preprocessor's defines, line tables and include search list,
// the error record, and Parse, which runs preprocessor, lexer and parser.
#include <cstdint>
#include <istream>
#include <list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "script/compiler/ScriptNode.h"

// Error codes of the error record.
inline constexpr int32_t kScriptErrorNone = 0;
inline constexpr int32_t kScriptErrorStream = 2;
inline constexpr int32_t kScriptErrorSyntax = 4;

class ScriptCompiler {
 public:
  // Deepest chain of files including one another below the script itself.
  static constexpr int kMaxIncludeDepth = 16;

  ScriptCompiler();
  virtual ~ScriptCompiler();
  ScriptCompiler(const ScriptCompiler&) = delete;
  ScriptCompiler& operator=(const ScriptCompiler&) = delete;

  // Appends a directory to the include search list, after ".".
  void AddIncludePath(const char* directory);

  const char* GetErrorMessage() const { return errorMessage_.c_str(); }
  const char* GetErrorFile() const { return errorFile_.c_str(); }
  const char* GetErrorLineText() const { return errorLineText_.c_str(); }
  int GetErrorLine() const { return errorLine_; }
  int GetErrorColumn() const { return errorColumn_; }
  int GetErrorCode() const { return errorCode_; }

  // Preprocesses, lexes and parses one script. Returns the root of its syntax tree, owned by
  // the caller, or null; a failure fills the error record.
  ScriptNode* Parse(const char* text);

  // Runs the preprocessor over one source: writes the text it keeps into the script text,
  // one line at a time, and records each line's source in the line tables. Included files
  // are preprocessed in place. Errors leave as ANTLR exceptions.
  void Preprocess(std::istream& input, const char* fileName);

  // The path under which an include file is found in the search list, or empty.
  std::string FindIncludeFile(std::string name);

  bool IsDefined(const std::string& name) const;

  // The preprocessed text and, for each of its lines, the source file, line and text.
  std::string GetScriptText() const { return scriptText_.str(); }
  const std::vector<std::string>& GetLineFiles() const { return lineFiles_; }
  const std::vector<int32_t>& GetLineNumbers() const { return lineNumbers_; }
  const std::vector<std::string>& GetLineTexts() const { return lineTexts_; }

 private:
  void AppendLine(const std::string& file, int32_t line, const std::string& text);

  std::stringstream scriptText_;
  std::string errorMessage_;
  std::string errorFile_;
  std::string errorLineText_;
  int32_t errorLine_ = 0;
  int32_t errorColumn_ = 0;
  int32_t errorCode_ = kScriptErrorNone;
  std::map<std::string, std::string> defines_;
  std::vector<std::string> lineFiles_;
  std::vector<int32_t> lineNumbers_;
  std::vector<std::string> lineTexts_;
  std::list<std::string> includePaths_;
  int includeDepth_ = 0;
};
