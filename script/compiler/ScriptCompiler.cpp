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

void ScriptCompiler::AppendLine(uint32_t file, int32_t line, const std::string& text,
                                const std::vector<SourcePiece>& pieces, const char* lineEnd,
                                const char* sourceEnd) {
  RequireRoom(text.size() + 1);
  scriptBytes_ += text.size() + 1;
  const auto index = static_cast<uint32_t>(lineNumbers_.size());
  lineFiles_.push_back(file);
  lineNumbers_.push_back(line);
  lineStarts_.push_back(static_cast<uint32_t>(scriptText_.size()));
  scriptText_ += text;
  scriptText_ += '\n';
  // Most lines are their source line as it stands; only the others are mapped back.
  if (pieces.empty()) return;
  const SourcePiece& first = pieces.front();
  if (pieces.size() == 1 && first.outOffset == 0 && first.line == line && first.column == 0 && lineEnd &&
      static_cast<size_t>(lineEnd - first.lineStart) == text.size())
    return;
  mappedLines_.emplace_back(index, static_cast<uint32_t>(linePieces_.size()));
  const char* textOf = nullptr;
  for (const SourcePiece& piece : pieces) {
    if (piece.lineStart != textOf) {
      textOf = piece.lineStart;
      const char* end = piece.lineStart + piece.column;
      while (end < sourceEnd && *end != '\n' && *end != '\r') ++end;
      sourceTextStarts_.push_back(static_cast<uint32_t>(sourceTexts_.size()));
      sourceTexts_.append(piece.lineStart, static_cast<size_t>(end - piece.lineStart));
    }
    linePieces_.push_back({piece.outOffset, piece.line, piece.column,
                           static_cast<uint32_t>(sourceTextStarts_.size() - 1)});
  }
}

std::string_view ScriptCompiler::SourceText(uint32_t n) const {
  const size_t start = sourceTextStarts_[n];
  const size_t end = n + 1 < sourceTextStarts_.size() ? sourceTextStarts_[n + 1] : sourceTexts_.size();
  return std::string_view(sourceTexts_).substr(start, end - start);
}

namespace {

// Columns count from 1, as the lexers count them: a tab moves to the next stop of 8.
int NextColumn(int column, char c) { return c == '\t' ? ((column - 1) / 8 + 1) * 8 + 1 : column + 1; }

size_t ByteOfColumn(std::string_view text, int column) {
  int at = 1;
  size_t byte = 0;
  for (; byte < text.size() && at < column; ++byte) at = NextColumn(at, text[byte]);
  return byte + static_cast<size_t>(column > at ? column - at : 0);
}

int ColumnOfByte(std::string_view text, size_t byte) {
  int column = 1;
  for (size_t i = 0; i < byte && i < text.size(); ++i) column = NextColumn(column, text[i]);
  if (byte > text.size()) column += static_cast<int>(byte - text.size());
  return column;
}

}  // namespace

bool ScriptCompiler::SourcePosition(size_t i, int column, int32_t& line, int& sourceColumn,
                                    std::string& text) const {
  const auto found = std::lower_bound(mappedLines_.begin(), mappedLines_.end(), std::make_pair(static_cast<uint32_t>(i), 0u));
  if (found == mappedLines_.end() || found->first != i) return false;
  const size_t first = found->second;
  const size_t last = found + 1 != mappedLines_.end() ? (found + 1)->second : linePieces_.size();
  if (first >= last) return false;
  size_t k = first;
  if (column <= 0) {
    // No column: the line's own text, where the line holds some of it.
    while (k + 1 < last && linePieces_[k].line != lineNumbers_[i]) ++k;
    if (linePieces_[k].line != lineNumbers_[i]) return false;
    text = SourceText(linePieces_[k].text);
    line = lineNumbers_[i];
    sourceColumn = 0;
    return true;
  }
  const size_t byte = ByteOfColumn(LineText(i), column);
  while (k + 1 < last && linePieces_[k + 1].outOffset <= byte) ++k;
  const KeptPiece& piece = linePieces_[k];
  text = SourceText(piece.text);
  line = piece.line;
  sourceColumn = ColumnOfByte(text, piece.column + (byte > piece.outOffset ? byte - piece.outOffset : 0));
  return true;
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

  const bool textsStayPut = lexer.TextsStayPut();
  // Where each run of the line's text stands in the source, for errors to name the user's
  // line and column (token texts stand in the input when textsStayPut).
  const char* const sourceEnd = input.data() + input.size();
  const char* lineStart = input.data();
  std::vector<SourcePiece> pieces;
  const char* appendedEnd = nullptr;  // where the text appended last ends in the source
  auto note = [&](std::string_view text, size_t out, int32_t line) {
    if (!textsStayPut) return;
    if (text.data() != appendedEnd)
      pieces.push_back({static_cast<uint32_t>(out), line, static_cast<uint32_t>(text.data() - lineStart), lineStart});
    appendedEnd = text.data() + text.size();
  };
  // After a token that holds line ends, the next source line starts behind the last one.
  auto passLineEnds = [&](std::string_view text) {
    for (size_t i = text.size(); i-- > 0;) {
      if (text[i] == '\n' || text[i] == '\r') {
        lineStart = text.data() + i + 1;
        return;
      }
    }
  };

  // A line end, or the end of a "//" comment, ends the directive line under way. `lineEnd`
  // is where the source line ended when the output line ends with it.
  auto endLine = [&](int32_t line, const char* lineEnd) {
    if (definePending) {
      defines_.emplace(pendingDefine, std::string());
      pendingDefine.clear();
      definePending = false;
    }
    lineCounter = line;
    AppendLine(fileIndex, lineCounter, lineBuffer, pieces, lineEnd, sourceEnd);
    lineBuffer.clear();
    pieces.clear();
    appendedEnd = nullptr;
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
          appendedEnd = piece.data() + piece.size();
        } else {
          lineBuffer += run;
          note(piece, lineBuffer.size(), token->getLine());
          run = piece;
        }
        RequireRoom(lineBuffer.size() + run.size());
      }
      continue;
    }
    lineBuffer += run;
    run = std::string_view();
    if (type == antlr::Token::EOF_TYPE) {
      if (!lineBuffer.empty()) AppendLine(fileIndex, ++lineCounter, lineBuffer, pieces, sourceEnd, sourceEnd);
      if (includeDepth_ == 0) NoteLastLine(input, token->getLine());
      return;
    }
    if (type == Token::ML_COMMENT) {
      const int32_t start = token->getLine();
      while (lineCounter < start) AppendLine(fileIndex, ++lineCounter, std::string());
      ++lineCounter;
      // The comment still separates what stands on either side of it.
      if (active) lineBuffer += ' ';
      appendedEnd = nullptr;
      if (textsStayPut) passLineEnds(lexer.TokenText());
    } else if (type == Token::SL_COMMENT || type == Token::NEWLINE) {
      const std::string_view text = lexer.TokenText();
      // A comment's text is dropped: that output line is not its source line as it stands.
      endLine(token->getLine(), type == Token::NEWLINE && textsStayPut ? text.data() : nullptr);
      if (textsStayPut) lineStart = text.data() + text.size();
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
      note(lexer.TokenText(), lineBuffer.size(), token->getLine());
      lineBuffer += lexer.TokenText();
      RequireRoom(lineBuffer.size());
    }
  }
}

void ScriptCompiler::NoteLastLine(std::string_view text, int32_t endLine) {
  size_t end = text.size();
  int32_t line = endLine;
  if (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) {
    --end;
    if (end > 0 && text[end] == '\n' && text[end - 1] == '\r') --end;
    --line;
  }
  size_t start = end;
  while (start > 0 && text[start - 1] != '\n' && text[start - 1] != '\r') --start;
  mainLastLine_ = line;
  mainLastLineText_.assign(text.substr(start, end - start));
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
  if (!known && line > 0 && mainLastLine_ > 0) {
    // Only the end of the script lies past its last line: it is at the end of that line.
    errorFile_ = "Main";
    errorLine_ = mainLastLine_;
    errorLineText_ = mainLastLineText_;
    errorColumn_ = ColumnOfByte(mainLastLineText_, mainLastLineText_.size());
    return;
  }
  errorFile_ = known ? LineFile(i) : "Main";
  errorLine_ = known ? LineNumber(i) : 0;
  errorLineText_ = known ? std::string(LineText(i)) : "No Line";
  // A line the preprocessor changed (a comment taken out, lines joined) is named as the
  // user wrote it, with the column there.
  int32_t sourceLine = 0;
  int sourceColumn = 0;
  std::string text;
  if (known && SourcePosition(i, column, sourceLine, sourceColumn, text)) {
    errorLine_ = sourceLine;
    errorLineText_ = std::move(text);
    errorColumn_ = sourceColumn;
  }
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

ScriptNode* ScriptCompiler::Parse(const char* text) {
  return ParseText(text ? std::string_view(text) : std::string_view(), nullptr);
}

// Every character of the text is script, a NUL too: the lexer refuses it like any other
// character that starts no token, with its position.
ScriptNode* ScriptCompiler::Parse(std::string&& text) {
  std::string owned = std::move(text);
  return ParseText(owned, &owned);
}

ScriptNode* ScriptCompiler::ParseText(std::string_view text, std::string* owned) {
  fileNames_.clear();
  lineFiles_.clear();
  lineNumbers_.clear();
  lineStarts_.clear();
  mappedLines_.clear();
  linePieces_.clear();
  sourceTexts_.clear();
  sourceTextStarts_.clear();
  mainLastLine_ = 0;
  mainLastLineText_.clear();
  if (text.empty()) return nullptr;
  scriptText_.clear();
  scriptBytes_ = 0;

  const size_t length = text.size();
  sourceBytes_ = length;
  if (length > kMaxScriptBytes) {
    RecordStreamError("The script is longer than " + std::to_string(kMaxScriptBytes) + " bytes");
    return nullptr;
  }

  // The preprocessed text is about as long as the script: made in one piece, not grown.
  scriptText_.reserve(length + 1);
  bool preprocessing = true;
  // The caller's text stays while the parse runs.
  const std::string_view mainText = text;
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
                                                errorColumn_)
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
