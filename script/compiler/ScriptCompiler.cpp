#include "script/compiler/ScriptCompiler.h"

#include <sys/stat.h>

#include <antlr/CharStreamException.hpp>
#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "framework/platform/PathLayer.h"
#include "flash/swf/SwfText.h"
#include "framework/platform/TextEncoding.h"
#include "script/grammar/ActionScriptLexer.hpp"
#include "script/grammar/ActionScriptParser.hpp"
#include "script/grammar/PreprocessorLexer.hpp"
#include "script/grammar/TextInputBuffer.h"
#include "toolbox/Utf8.h"

// An include name is script text; the path layer takes wide paths.
PathString ScriptCompiler::IncludePath(const std::string& path) const {
  switch (textEncoding_) {
    case ScriptTextEncoding::kUtf8: return PathString(toolbox::Utf8ToWide(path));
    case ScriptTextEncoding::kLatin1: return PathString(DecodeSwfText(path, 5));
    default: return PathString(MacRomanToWide(path));
  }
}

ScriptCompiler::ScriptCompiler() {
  includePaths_.push_back(".");
  FillNameTables();
}

ScriptCompiler::~ScriptCompiler() = default;

void ScriptCompiler::AddIncludePath(const char* directory) {
  includePaths_.push_back(directory ? directory : "");
}

bool ScriptCompiler::IsDefined(const std::string& name) const {
  return defines_.find(name) != defines_.end();
}

std::string ScriptCompiler::FindIncludeFile(std::string name) {
  if (!name.empty() && name.front() == '"') name.erase(0, 1);
  if (!name.empty() && name.back() == '"') name.pop_back();
  for (const std::string& directory : includePaths_) {
    std::string candidate = directory + "/" + name;
    std::replace(candidate.begin(), candidate.end(), '\\', '/');
    if (std::FILE* file = OpenFilePath(IncludePath(candidate), "rb")) {
      // Only a regular file can be included: a device or a pipe could be read forever.
      struct stat info;
      const bool regular = ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode);
      std::fclose(file);
      if (regular) return candidate;
    }
  }
  return std::string();
}

namespace {

antlr::TokenStreamException ScriptTooLong() {
  return antlr::TokenStreamException("The script with its included files is longer than " +
                                     std::to_string(ScriptCompiler::kMaxScriptBytes) + " bytes");
}

}  // namespace

// The preprocessed text is bounded as well, for a source whose size was not known before it
// was read. Every line of it ends in a line end, the last one too: the text of a script at
// the limit may be one byte longer.
void ScriptCompiler::RequireRoom(uint64_t bytes) const {
  if (scriptBytes_ + bytes > uint64_t{kMaxScriptBytes} + 1) throw ScriptTooLong();
}

uint32_t ScriptCompiler::FileIndex(const std::string& file) {
  for (size_t i = 0; i < fileNames_.size(); ++i) {
    if (fileNames_[i] == file) return static_cast<uint32_t>(i);
  }
  fileNames_.push_back(file);
  return static_cast<uint32_t>(fileNames_.size() - 1);
}

void ScriptCompiler::AppendLine(uint32_t file, int32_t line, const std::string& text) {
  RequireRoom(text.size() + 1);
  scriptBytes_ += text.size() + 1;
  lineFiles_.push_back(file);
  lineNumbers_.push_back(line);
  lineStarts_.push_back(static_cast<uint32_t>(scriptText_.size()));
  scriptText_ += text;
  scriptText_ += '\n';
}

std::string_view ScriptCompiler::LineText(size_t i) const {
  const size_t start = lineStarts_[i];
  const size_t end = i + 1 < lineStarts_.size() ? lineStarts_[i + 1] : scriptText_.size();
  return std::string_view(scriptText_).substr(start, end - start - 1);
}

std::vector<std::string> ScriptCompiler::GetLineFiles() const {
  std::vector<std::string> files;
  for (size_t i = 0; i < LineCount(); ++i) files.push_back(LineFile(i));
  return files;
}

std::vector<std::string> ScriptCompiler::GetLineTexts() const {
  std::vector<std::string> texts;
  for (size_t i = 0; i < LineCount(); ++i) texts.emplace_back(LineText(i));
  return texts;
}

void ScriptCompiler::Preprocess(std::string_view input, const char* fileName) {
  using Token = PreprocessorTokenTypes;
  const std::string file = fileName ? fileName : "";
  const uint32_t fileIndex = FileIndex(file);
  TextInputBuffer buffer(input);
  PreprocessorLexer lexer(buffer);
  // A lexical error names the source being read.
  lexer.setFilename(file);
  // Each token is done with before the next is read; its text is the lexer's.
  lexer.ReuseTokens(true);

  std::string lineBuffer;
  int32_t lineCounter = 0;
  std::string pendingDefine;
  bool includePending = false;
  bool definePending = false;
  bool ifdefPending = false;
  bool ifndefPending = false;
  bool active = true;
  int includeLine = 0;
  int includeColumn = 0;

  // A line end, or the end of a "//" comment, ends the directive line under way.
  auto endLine = [&](int32_t line) {
    if (definePending) {
      defines_.emplace(pendingDefine, std::string());
      pendingDefine.clear();
      definePending = false;
    }
    lineCounter = line;
    AppendLine(fileIndex, lineCounter, lineBuffer);
    lineBuffer.clear();
  };

  // The tokens that end a line or take part in a directive; every other token outside a
  // directive is script text.
  const auto structural = [](int type) {
    switch (type) {
      case antlr::Token::EOF_TYPE: case Token::ML_COMMENT: case Token::SL_COMMENT:
      case Token::NEWLINE: case Token::INCLUDE: case Token::DEFINE: case Token::IFDEF:
      case Token::IFNDEF: case Token::ELSE: case Token::ENDIF:
        return true;
      default:
        return false;
    }
  };

  // Script text tokens that follow one another stand side by side in the input: a run of
  // them joins the line in one piece, before anything else touches the line.
  std::string_view run;
  const bool textsStayPut = lexer.TextsStayPut();

  for (;;) {
    // Outside a directive's operands the text is only copied: the lexer may hand it out in
    // long runs, which end where its tokens end.
    const bool plain = !includePending && !definePending && !ifdefPending && !ifndefPending;
    lexer.PlainRuns(plain);
    antlr::RefToken token = lexer.nextToken();
    const int type = token->getType();
    if (plain && !structural(type)) {
      if (active) {
        const std::string_view piece = lexer.TokenText();
        if (!textsStayPut) {
          lineBuffer += piece;
        } else if (!run.empty() && run.data() + run.size() == piece.data()) {
          run = std::string_view(run.data(), run.size() + piece.size());
        } else {
          lineBuffer += run;
          run = piece;
        }
        RequireRoom(lineBuffer.size() + run.size());
      }
      continue;
    }
    lineBuffer += run;
    run = std::string_view();
    if (type == antlr::Token::EOF_TYPE) {
      if (!lineBuffer.empty()) AppendLine(fileIndex, ++lineCounter, lineBuffer);
      return;
    }
    if (type == Token::ML_COMMENT) {
      const int32_t start = token->getLine();
      while (lineCounter < start) AppendLine(fileIndex, ++lineCounter, std::string());
      ++lineCounter;
      // The comment still separates what stands on either side of it.
      if (active) lineBuffer += ' ';
    } else if (type == Token::SL_COMMENT || type == Token::NEWLINE) {
      endLine(token->getLine());
    } else if (type == Token::INCLUDE) {
      includePending = true;
      includeLine = token->getLine();
      includeColumn = token->getColumn();
    } else if (type == Token::DEFINE) {
      definePending = true;
    } else if (type == Token::IFDEF) {
      ifdefPending = true;
    } else if (type == Token::IFNDEF) {
      ifndefPending = true;
    } else if (type == Token::ELSE) {
      active = !active;
    } else if (type == Token::ENDIF) {
      active = true;
    } else if (type == Token::STRING_LITERAL && includePending) {
      const std::string literal = token->getText();
      if (includeDepth_ >= kMaxIncludeDepth) {
        throw antlr::RecognitionException("Include nesting too deep: " + literal, file,
                                          includeLine, includeColumn);
      }
      const std::string path = FindIncludeFile(literal);
      if (path.empty()) {
        throw antlr::RecognitionException("Could not find file: " + literal, file,
                                          token->getLine(), token->getColumn());
      }
      {
        std::ifstream included;
        OpenStreamPath(IncludePath(path), included, std::ios::in | std::ios::binary);
        // The sources read count against the limit, whatever they leave after
        // preprocessing: an included file beyond the room left is refused before it is read.
        included.seekg(0, std::ios::end);
        const std::streamoff size = included.tellg();
        included.seekg(0, std::ios::beg);
        if (size > 0) sourceBytes_ += static_cast<uint64_t>(size);
        if (sourceBytes_ > kMaxScriptBytes) throw ScriptTooLong();
        // Read up to what the room allows; a file that grew since is cut there.
        std::string includedText(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        included.read(includedText.data(), static_cast<std::streamsize>(includedText.size()));
        includedText.resize(static_cast<size_t>(std::max<std::streamsize>(included.gcount(), 0)));
        struct Nesting {
          int& depth;
          explicit Nesting(int& d) : depth(d) { ++depth; }
          ~Nesting() { --depth; }
        } nesting(includeDepth_);
        Preprocess(includedText, path.c_str());
      }
      includePending = false;
    } else if (type == Token::IDENTIFIER && definePending) {
      pendingDefine = token->getText();
    } else if (type == Token::IDENTIFIER && ifdefPending) {
      active = IsDefined(token->getText());
      ifdefPending = false;
    } else if (type == Token::IDENTIFIER && ifndefPending) {
      active = !IsDefined(token->getText());
      ifndefPending = false;
    } else if (type == Token::NUMERIC_LITERAL && definePending) {
      if (pendingDefine.empty()) {
        throw antlr::RecognitionException("Unsupported value for #define: " + token->getText(),
                                          file, token->getLine(), token->getColumn());
      }
      defines_.emplace(pendingDefine, token->getText());
      pendingDefine.clear();
      definePending = false;
    } else if (includePending || definePending) {
      // Blanks, signs and strings between a directive and its operand are no script text.
    } else if (active) {
      lineBuffer += lexer.TokenText();
      RequireRoom(lineBuffer.size());
    }
  }
}

void ScriptCompiler::RecordStreamError(const std::string& message) {
  errorCode_ = kScriptErrorStream;
  errorMessage_ = message.empty() ? "An error occurred while reading the script." : message;
  errorFile_ = "Main";
  errorLine_ = 0;
  errorColumn_ = 0;
  errorLineText_ = "No Line";
}

void ScriptCompiler::LocateError(const std::string& file, int line, int column, bool inSource) {
  errorColumn_ = column;
  if (inSource) {
    // The preprocessor reports positions in the source it was reading, not in the
    // preprocessed text.
    errorFile_ = file.empty() ? "Main" : file;
    errorLine_ = line;
    errorLineText_ = "No Line";
    return;
  }
  const size_t i = static_cast<size_t>(static_cast<uint32_t>(line - 1));
  const bool known = i < LineCount();
  errorFile_ = known ? LineFile(i) : "Main";
  errorLine_ = known ? LineNumber(i) : 0;
  errorLineText_ = known ? std::string(LineText(i)) : "No Line";
}

namespace {

// Line `line` (from 1) of a text, without its line end; false when the text is shorter.
bool LineOf(std::istream& in, int line, std::string& out) {
  if (line < 1) return false;
  for (int i = 1; i <= line; ++i) {
    if (!std::getline(in, out)) return false;
  }
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return true;
}

}  // namespace

std::string ScriptCompiler::SourceLineText(std::string_view mainText, const std::string& file, int line) const {
  std::string text;
  if (file == "Main") {
    std::istringstream in(std::string(mainText), std::ios::in | std::ios::binary);
    if (LineOf(in, line, text)) return text;
  } else {
    std::ifstream in;
    if (OpenStreamPath(IncludePath(file), in, std::ios::in | std::ios::binary) && LineOf(in, line, text))
      return text;
  }
  return "No Line";
}

ScriptNode* ScriptCompiler::Parse(const char* text) { return ParseText(text, nullptr); }

ScriptNode* ScriptCompiler::Parse(std::string&& text) {
  std::string owned = std::move(text);
  return ParseText(owned.c_str(), &owned);
}

ScriptNode* ScriptCompiler::ParseText(const char* text, std::string* owned) {
  fileNames_.clear();
  lineFiles_.clear();
  lineNumbers_.clear();
  lineStarts_.clear();
  if (!text || !*text) return nullptr;
  scriptText_.clear();
  scriptBytes_ = 0;

  const size_t length = std::strlen(text);
  sourceBytes_ = length;
  if (length > kMaxScriptBytes) {
    RecordStreamError("The script is longer than " + std::to_string(kMaxScriptBytes) + " bytes");
    return nullptr;
  }

  // The preprocessed text is about as long as the script: made in one piece, not grown.
  scriptText_.reserve(length + 1);
  bool preprocessing = true;
  // The caller's text stays while the parse runs.
  const std::string_view mainText(text, length);
  try {
    Preprocess(mainText, "Main");
    preprocessing = false;
    // From here on only the preprocessed text is read.
    if (owned) std::string().swap(*owned);
    TextInputBuffer buffer(scriptText_);
    ActionScriptLexer lexer(buffer);
    // The parser copies what it needs from each token as it reads it.
    lexer.ReuseTokens(true);
    ActionScriptParser parser(lexer);
    parser.SetStatementSink(statementSink_);
    return parser.Program().release();
  } catch (const antlr::RecognitionException& e) {
    errorCode_ = kScriptErrorSyntax;
    LocateError(e.getFilename(), e.getLine(), e.getColumn(), preprocessing);
    if (preprocessing) errorLineText_ = SourceLineText(mainText, errorFile_, errorLine_);
    // The message's position prefix names the same file and line as the record, in the
    // runtime's own form.
    errorMessage_ = antlr::RecognitionException(e.getMessage(), errorFile_, errorLine_ > 0 ? errorLine_ : -1,
                                                e.getColumn())
                        .toString();
  } catch (const antlr::TokenStreamRecognitionException& e) {
    // A lexical error: the plain message, at the position where the lexer stopped.
    RecordStreamError(e.getMessage());
    LocateError(e.getFilename(), e.getLine(), e.getColumn(), preprocessing);
    if (preprocessing) errorLineText_ = SourceLineText(mainText, errorFile_, errorLine_);
  } catch (const antlr::TokenStreamException& e) {
    RecordStreamError(e.getMessage());
  } catch (const antlr::CharStreamException& e) {
    RecordStreamError(e.getMessage());
  }
  return nullptr;
}
