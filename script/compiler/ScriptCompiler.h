#pragma once
// The compiler object: the state of one compilation. The front end holds the preprocessed
// script text, the preprocessor's defines, line tables and include search list, the error
// record, and Parse, which runs preprocessor, lexer and parser. The back end holds the name
// tables and Generate, which turns the syntax tree into action bytes.
#include <cstdint>
#include <istream>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "script/compiler/CodeRecords.h"
#include "script/compiler/ScriptNode.h"

// Error codes of the error record.
inline constexpr int32_t kScriptErrorNone = 0;
inline constexpr int32_t kScriptErrorStream = 2;
inline constexpr int32_t kScriptErrorSyntax = 4;

// What every compiler offers, in this order.
class ScriptCompilerInterface {
 public:
  virtual ~ScriptCompilerInterface() = default;
  virtual void AddIncludePath(const char* directory) = 0;
  virtual const char* GetErrorMessage() const = 0;
  virtual const char* GetErrorFile() const = 0;
  virtual int GetErrorLine() const = 0;
  virtual int GetErrorColumn() const = 0;
  virtual const char* GetErrorLineText() const = 0;
  virtual int GetErrorCode() const = 0;
  virtual ScriptNode* Parse(const char* text) = 0;
  virtual uint32_t Generate(ScriptNode* root, int version) = 0;
  virtual uint32_t CopyCode(uint8_t* destination) const = 0;
};

class ScriptCompilerBase : public ScriptCompilerInterface {
 public:
  // Deletes the compiler.
  virtual void Release() { delete this; }
};

// How the bytes of the script text encode characters; include names are read with it.
enum class ScriptTextEncoding { kMacRoman, kUtf8, kLatin1 };

class PathString;

class ScriptCompiler : public ScriptCompilerBase {
 public:
  // Deepest chain of files including one another below the script itself.
  static constexpr int kMaxIncludeDepth = 16;
  // Longest script compiled, in bytes, also counted over the preprocessed text with its
  // included files. Compiling takes up to about 230 times the script's size in memory (a
  // script of nothing but "a;"), so no script takes much more than 250 MB; real scripts are
  // far shorter.
  static constexpr uint32_t kMaxScriptBytes = 1024 * 1024;

  ScriptCompiler();
  ~ScriptCompiler() override;
  ScriptCompiler(const ScriptCompiler&) = delete;
  ScriptCompiler& operator=(const ScriptCompiler&) = delete;

  // Appends a directory to the include search list, after ".".
  void AddIncludePath(const char* directory) override;

  const char* GetErrorMessage() const override { return errorMessage_.c_str(); }
  const char* GetErrorFile() const override { return errorFile_.c_str(); }
  const char* GetErrorLineText() const override { return errorLineText_.c_str(); }
  int GetErrorLine() const override { return errorLine_; }
  int GetErrorColumn() const override { return errorColumn_; }
  int GetErrorCode() const override { return errorCode_; }

  // Preprocesses, lexes and parses one script. Returns the root of its syntax tree, owned by
  // the caller, or null; a failure fills the error record.
  ScriptNode* Parse(const char* text) override;
  // The same, letting the text go as soon as it has been preprocessed.
  ScriptNode* Parse(std::string&& text);

  // Turns the tree into action bytes for the SWF version and keeps them; returns their
  // number. Below version 5 there are none. A tree that cannot become valid actions gives 0
  // and fills the error record (code 4) with the file, line and text of the construct's line
  // (the last parse's line tables map it), or "Main", 0 and "No Line" when it has none.
  uint32_t Generate(ScriptNode* root, int version) override;
  // Fills the error record as Generate does for a construct on `line` of the preprocessed
  // text (0 for none).
  void RecordGenerationError(const std::string& message, int32_t line);
  // Copies the bytes of the last Generate; returns their number.
  uint32_t CopyCode(uint8_t* destination) const override;
  uint32_t GetCodeLength() const { return codeLength_; }
  // Gives up the bytes of the last Generate without copying them.
  std::vector<uint8_t> TakeCode() {
    codeLength_ = 0;
    return std::move(codeBytes_);
  }

  // Sets the statement flag of the node and, through nested lists, of their children.
  static void MarkStatements(ScriptNode* node);

  // ---- name tables
  uint32_t LookupButtonEvent(std::string_view name) const;
  uint32_t LookupClipEvent(std::string_view name) const;
  bool IsKnownConstant(std::string_view name) const;
  // A new copy of the constant's value, owned by the caller.
  PushValue* CloneConstant(std::string_view name) const;
  uint32_t GetPropertyIndex(std::string_view name) const;
  bool IsProperty(std::string_view name) const;
  bool IsBuiltinFunction(std::string_view name) const;
  bool IsNoResultBuiltin(std::string_view name) const;

  // ---- pre-passes and records
  void FoldKnownConstants(ScriptNode* node, GenerationContext& context);
  void CollectPoolStrings(ScriptNode* node, GenerationContext& context);
  static void AppendPushValue(RecordList& records, const PushItem& value);
  static void AppendIntegerValue(RecordList& records, int64_t n);
  static void PushPooledString(RecordList& records, GenerationContext& context, std::string_view text);

  // ---- emitters, each appending to `records`
  void EmitNode(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitScriptRoot(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitList(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitExpressionList(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitIf(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitWhile(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDoWhile(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitFor(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitForIn(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitWith(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitEventHandler(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitReturn(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitConstant(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitNumber(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitValue(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitString(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitIdentifier(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitAttribute(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitMethodCall(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitNewObject(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitSubscript(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineVariable(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineArray(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineFunction(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineAttribute(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineMethod(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDefineObject(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitBinaryOperator(ScriptNode* node, GenerationContext& context, RecordList& records);
  // What a binary operator emits after its left operand.
  void FinishBinaryOperator(ScriptNode* node, std::vector<RecordList>& skipped, GenerationContext& context,
                            RecordList& records);
  void EmitConditional(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitLogicalNot(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitBitNot(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitUnaryPlusMinus(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitPreIncDec(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitPostIncDec(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitAssignment(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitDelete(ScriptNode* node, GenerationContext& context, RecordList& records);
  void EmitBuiltinCall(ScriptNode* node, GenerationContext& context, RecordList& records);

  // Runs the preprocessor over one source: writes the text it keeps into the script text,
  // one line at a time, and records each line's source in the line tables. Included files
  // are preprocessed in place. Errors leave as ANTLR exceptions.
  void Preprocess(std::string_view input, const char* fileName);

  // The path under which an include file is found in the search list, or empty.
  std::string FindIncludeFile(std::string name);

  bool IsDefined(const std::string& name) const;

  void SetTextEncoding(ScriptTextEncoding encoding) { textEncoding_ = encoding; }
  // Parse hands each top-level statement to `sink` as it is parsed (null: none).
  void SetStatementSink(TopLevelStatementSink* sink) { statementSink_ = sink; }

  // The preprocessed text and, for each of its lines, the source file, line and text.
  std::string GetScriptText() const { return scriptText_; }
  size_t LineCount() const { return lineNumbers_.size(); }
  const std::string& LineFile(size_t i) const { return fileNames_[lineFiles_[i]]; }
  int32_t LineNumber(size_t i) const { return lineNumbers_[i]; }
  std::string_view LineText(size_t i) const;
  // The same tables as whole copies.
  std::vector<std::string> GetLineFiles() const;
  std::vector<int32_t> GetLineNumbers() const { return lineNumbers_; }
  std::vector<std::string> GetLineTexts() const;

 private:
  PathString IncludePath(const std::string& path) const;
  // Where a run of an output line's text comes from: the source line and the byte there.
  struct SourcePiece {
    uint32_t outOffset;     // first byte of the run in the output line
    int32_t line;           // its line in the source
    uint32_t column;        // its byte in that line
    const char* lineStart;  // while preprocessing: where that line starts in the source
  };
  // Parse, freeing `owned` (which holds `text`) once it has been preprocessed when given.
  ScriptNode* ParseText(std::string_view text, std::string* owned);
  // Index of a source's name in fileNames_, added when new.
  uint32_t FileIndex(const std::string& file);
  // Appends an output line. `pieces` says where its text stands in the source (whose text
  // ends at `sourceEnd`); `lineEnd` is where the source line ended (its line end or the end
  // of the source), null when the output line does not end with its source line.
  void AppendLine(uint32_t file, int32_t line, const std::string& text,
                  const std::vector<SourcePiece>& pieces = {}, const char* lineEnd = nullptr,
                  const char* sourceEnd = nullptr);
  // The source position of a column (from 1) of an output line, with that source line's
  // text; for column 0, the output line's own source line and text, column 0. False when the
  // output line is its source line unchanged (or, for column 0, holds none of it).
  bool SourcePosition(size_t i, int column, int32_t& line, int& sourceColumn, std::string& text) const;
  // Keeps the script's last line and its number, from the script's text and the line where
  // its end stands.
  void NoteLastLine(std::string_view text, int32_t endLine);
  // A failure reading the script's characters or tokens, which has no position of its own.
  void RecordStreamError(const std::string& message);
  // Fills file, line, column and line text of the error record from a position: in the
  // source being read when `inSource`, else in the preprocessed text, which the line tables
  // map to the source it came from.
  void LocateError(const std::string& file, int line, int column, bool inSource);
  // The text of a line of the script (file "Main", whose text is given) or of an included
  // file, as it stands in the source; "No Line" when there is no such line.
  std::string SourceLineText(std::string_view mainText, const std::string& file, int line) const;
  // Fails when `bytes` more would carry the preprocessed text past kMaxScriptBytes.
  void RequireRoom(uint64_t bytes) const;
  void FillNameTables();
  void EmitNodeOfKind(ScriptNode* node, GenerationContext& context, RecordList& records);
  void FoldNode(ScriptNode* node, uint32_t index, GenerationContext& context);
  void EmitDefineFunctionCommon(ScriptNode* node, std::string_view name, bool markBody,
                                GenerationContext& context, RecordList& records);
  void EmitOrdinaryCall(ScriptNode* node, GenerationContext& context, RecordList& records);

  std::string scriptText_;
  std::string errorMessage_;
  std::string errorFile_;
  std::string errorLineText_;
  int32_t errorLine_ = 0;
  int32_t errorColumn_ = 0;
  int32_t errorCode_ = kScriptErrorNone;
  std::vector<uint8_t> codeBytes_;
  uint32_t codeLength_ = 0;
  std::map<std::string, uint32_t, std::less<>> buttonEvents_;
  std::map<std::string, uint32_t, std::less<>> clipEvents_;
  std::map<std::string, std::unique_ptr<PushValue>, std::less<>> constants_;
  std::unordered_map<std::string, uint32_t, StringHash, std::equal_to<>> properties_;
  std::map<std::string, std::string> defines_;
  std::unordered_set<std::string, StringHash, std::equal_to<>> builtinFunctions_;
  std::unordered_set<std::string, StringHash, std::equal_to<>> noResultBuiltins_;
  // The line tables: per line of the preprocessed text, its source (an index into
  // fileNames_), its line there and where its text starts in scriptText_ (it ends before the
  // next line's start, at its line end).
  std::vector<std::string> fileNames_;
  std::vector<uint32_t> lineFiles_;
  std::vector<int32_t> lineNumbers_;
  std::vector<uint32_t> lineStarts_;
  // The output lines that differ from their source lines (comments removed, text joined
  // from several lines, directives dropped): for each, its index and its first entry in
  // linePieces_, whose entries run up to the next such line's. Each piece names its source
  // line's text: the nth text kept, which starts at sourceTextStarts_[n] in sourceTexts_ and
  // ends where the next one starts.
  struct KeptPiece {
    uint32_t outOffset;
    int32_t line;
    uint32_t column;
    uint32_t text;
  };
  std::vector<std::pair<uint32_t, uint32_t>> mappedLines_;
  std::vector<KeptPiece> linePieces_;
  std::string sourceTexts_;
  std::vector<uint32_t> sourceTextStarts_;
  std::string_view SourceText(uint32_t n) const;
  // The last line of the script itself and its text, which an error at the end of the
  // script names.
  int32_t mainLastLine_ = 0;
  std::string mainLastLineText_;
  std::list<std::string> includePaths_;
  int includeDepth_ = 0;
  uint64_t scriptBytes_ = 0;  // of the preprocessed text so far
  uint64_t sourceBytes_ = 0;  // of the script and the files it included so far
  ScriptTextEncoding textEncoding_ = ScriptTextEncoding::kMacRoman;
  TopLevelStatementSink* statementSink_ = nullptr;

  friend class StreamedGeneration;
};

// Code generation that runs while the script is parsed, as the parser's statement sink:
// each function definition at the top level is folded, its names collected and its code
// made as soon as it is parsed, and its tree let go. The other top-level statements wait
// until the end, since the constant pool lists the names they bring after those of every
// definition: each is folded at once and kept in a compact encoding of its tree instead of
// the tree itself. Finish then gives the same code, and fails with the same error, as
// Generate on the whole tree would.
class StreamedGeneration : public TopLevelStatementSink {
 public:
  // `version` must be 5 or later.
  StreamedGeneration(ScriptCompiler& compiler, int version);
  std::unique_ptr<ScriptNode> Take(ScriptNode* root, std::unique_ptr<ScriptNode> statement) override;
  // Generates the code from the root the parse left; the result as Generate's.
  uint32_t Finish(ScriptNode* root);

  // The compact encoding of a tree, appended to `out`, and the tree read back from it at
  // `at` (moved past it).
  static void Save(const ScriptNode* node, std::vector<uint8_t>& out);
  static ScriptNode* Load(const std::vector<uint8_t>& in, size_t& at);

 private:
  void Define(std::unique_ptr<ScriptNode> definition);
  // Makes the code of one definition, after the ones before it; false once one failed.
  // Before the pool is complete, a definition that pushes a name the pool does not hold yet
  // waits for it instead (a later statement may bring that name): kept as its encoded tree,
  // its code is made again by Finish.
  bool Emit(ScriptNode* definition, bool poolComplete);

  ScriptCompiler& compiler_;
  GenerationContext context_;
  // The definitions' code so far: runs of made code and, between them, definitions whose
  // code is made by Finish (their encoded trees); definitions_ is the run under way.
  struct DefinitionRun {
    RecordList code;
    std::vector<uint8_t> waiting;
  };
  std::vector<DefinitionRun> runs_;
  RecordList definitions_;
  // Definitions whose code waits until the pool is known to be used: while no name has
  // come twice, the code would push names as strings of their own.
  std::vector<std::unique_ptr<ScriptNode>> pending_;
  // The waiting statements, one encoded tree after another, and a root of the script's kind
  // for each to stand under while its names are collected and its code made.
  std::vector<uint8_t> statements_;
  // The names they bring to the pool, in the order they are to be added.
  std::vector<uint8_t> statementNames_;
  std::unique_ptr<ScriptNode> scratchRoot_;
  bool failed_ = false;
  std::string errorMessage_;
  int32_t errorLine_ = 0;
};
