// The compiler's entry: a wide script and a SWF version in, a DoAction tag or null (with the
// error record) out.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CodegenTestSupport.h"
#include "flash/swf/SwfBitWriter.h"
#include "script/compiler/CompileScript.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

using codegentest::Hex;

namespace {

// The tag's actions as bytes, with the End byte the writer adds.
std::string ActionBytes(DoActionTag& tag) {
  SwfBitWriter writer(tag.version);
  tag.WriteActions(writer, false);
  return Hex(writer.GetBuffer());
}

std::unique_ptr<DoActionTag> CompileTag(const std::wstring& script, int version,
                                        ScriptCompileError* error = nullptr) {
  return std::unique_ptr<DoActionTag>(CompileScriptToDoAction(script, version, error));
}

// The code Generate makes, followed by the End byte.
std::string GeneratedBytes(const std::string& script, int version) {
  auto compiled = codegentest::Compile(script, version);
  compiled.code.push_back(0);
  return Hex(compiled.code);
}

TEST(CompileEntry, TagHoldsTheGeneratedActions) {
  const char* const scripts[] = {
      "stop();",
      "a = \"x\"; b = \"x\"; trace(a + b);",
      "for (k in o) { if (k == \"z\") break; trace(k); }",
      "function f(n) { return n * 2; } trace(f(21));",
  };
  for (const char* script : scripts) {
    for (int version : {5, 6, 8}) {
      auto tag = CompileTag(toolbox::Utf8ToWide(script), version);
      ASSERT_NE(tag, nullptr) << script;
      EXPECT_EQ(tag->GetTagCode(), 12);
      EXPECT_EQ(tag->version, version);
      EXPECT_EQ(ActionBytes(*tag), GeneratedBytes(script, version)) << script << " SWF " << version;
    }
  }
}

// The entry makes each top-level function's code while the rest is still being parsed and
// keeps the other statements aside: the bytes and the error that wins stay those of
// generating from the whole tree.
TEST(CompileEntry, CodeMadeDuringTheParseIsTheWholeTreesCode) {
  // Functions before and after the first repeated name, functions hoisted out of "if"
  // branches, top-level code between them, and more than 256 names in the pool.
  std::string large;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    large += "function f" + n + "(a) { return a + \"s" + n + "\" + v" + n + "; }\n";
    large += "var v" + n + " = {k" + n + ": f" + n + "(" + n + ")};\n";
    if (i % 50 == 0) large += "if (v" + n + ") function g" + n + "() { trace(\"g" + n + "\"); }\n";
  }
  for (int version : {5, 6, 7}) EXPECT_EQ(ActionBytes(*CompileTag(toolbox::Utf8ToWide(large), version)), GeneratedBytes(large, version));

  // A function's code pushes a name that only a later statement brings into the pool (the
  // empty target of a property, here from getURL's window): from the pool, as in the whole
  // tree's code; also where a function that fails before that name is known comes first.
  const char* const late[] = {
      "function f(){_x=e;e();}getURL(\"a\");",
      "function f(){_x=e;e();}function g(){return _y;}x=e;getURL(\"a\");",
      "function f(){_x=e;e();}function g(){h();}trace(\"h\");",
  };
  for (const char* script : late) {
    for (int version : {5, 6, 7, 8})
      EXPECT_EQ(ActionBytes(*CompileTag(toolbox::Utf8ToWide(script), version)), GeneratedBytes(script, version))
          << script << " SWF " << version;
  }

  struct Case {
    const char* script;
    const char* message;  // a part of it
    int line;
  } cases[] = {
      // A function waiting for the pool, a failed one, then a statement that brings its name.
      {"function f(){_x=e;e();}\nfunction g(){break;}\ngetURL(\"a\");", "break", 2},
      // A failed function, then a syntax error further on.
      {"function f() { break; }\nx = 1;\ny = (;", "unexpected", 3},
      // Statements are generated after every function, wherever they stand.
      {"gotoAndPlay();\nfunction f() { g = 1; }\nfunction h() { startDrag(\"k\", true, 0); }", "startDrag", 3},
      // A failed function, then a handler that makes it a button's script.
      {"a = 1; b = 1;\nfunction f() { gotoAndPlay(); }\non (press) { stop(); }", "button", 3},
  };
  for (const auto& c : cases) {
    ScriptCompileError error;
    EXPECT_EQ(CompileTag(toolbox::Utf8ToWide(c.script), 6, &error), nullptr) << c.script;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << c.script << ": " << error.message;
    EXPECT_EQ(error.line, c.line) << c.script << ": " << error.message;
  }
}

// Code of 62 bytes takes the short tag header, 63 the long one; both read back whole.
TEST(CompileEntry, ShortAndLongTagHeaders) {
  for (size_t length : {56u, 57u}) {
    // trace("..."): an ActionPush of 3 + length + 2 bytes, then ActionTrace.
    const std::string script = "trace(\"" + std::string(length, 'x') + "\");";
    ASSERT_EQ(codegentest::Compile(script).code.size(), length + 6);
    auto tag = CompileTag(toolbox::Utf8ToWide(script), 5);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(ActionBytes(*tag), GeneratedBytes(script, 5));
  }
}

TEST(CompileEntry, TextBecomesUtf8FromSwf6AndLatin1Below) {
  struct Case {
    const wchar_t* script;
    int version;
    const char* bytes;
  } cases[] = {
      {L"trace(\"\u00E9\");", 6, "96 04 00 00 C3 A9 00 26 00"},
      {L"trace(\"\u00E9\");", 5, "96 03 00 00 E9 00 26 00"},
      {L"trace(\"\u4E2D\");", 6, "96 05 00 00 E4 B8 AD 00 26 00"},
      {L"trace(\"\u4E2D\");", 5, "96 03 00 00 3F 00 26 00"},
      // The version byte decides: 0x106 is written as 6.
      {L"trace(\"\u00E9\");", 0x106, "96 04 00 00 C3 A9 00 26 00"},
  };
  for (const auto& c : cases) {
    auto tag = CompileTag(c.script, c.version);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(ActionBytes(*tag), c.bytes) << c.version;
  }
}

TEST(CompileEntry, BelowSwf5TheTagIsEmpty) {
  auto tag = CompileTag(L"stop();", 4);
  ASSERT_NE(tag, nullptr);
  EXPECT_TRUE(tag->actions.empty());
}

TEST(CompileEntry, FailuresGiveNullAndTheErrorRecord) {
  struct Case {
    const wchar_t* script;
    int code;
    const char* message;  // a part of it
    int line;
  } cases[] = {
      {L"x = ;", kScriptErrorSyntax, "unexpected", 1},
      {L"a = 1;\nb = (;\n", kScriptErrorSyntax, "", 2},
      {L"x = 1;\nx = 1 # 2;", kScriptErrorStream, "unexpected char: '#'", 2},
      {L"on (press) { stop(); }", kScriptErrorSyntax, "button", 1},
      {L"onClipEvent (load) { stop(); }", kScriptErrorSyntax, "movie clip", 1},
      {L"if (a) { on (press) { stop(); } }", kScriptErrorSyntax, "on handler", 1},
      {L"if (a) { on (relase) { stop(); } }", kScriptErrorSyntax, "handler", 1},
      {L"gotoAndPlay();", kScriptErrorSyntax, "too few arguments", 1},
      {L"startDrag(\"k\", true, 0);", kScriptErrorSyntax, "startDrag", 1},
      {L"break;", kScriptErrorSyntax, "break outside a loop", 1},
  };
  for (const auto& c : cases) {
    ScriptCompileError error;
    auto tag = CompileTag(c.script, 6, &error);
    EXPECT_EQ(tag, nullptr);
    EXPECT_EQ(error.code, c.code);
    EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    EXPECT_EQ(error.line, c.line) << error.message;
    EXPECT_EQ(error.file, "Main");
  }
  ScriptCompileError error;
  EXPECT_EQ(CompileTag(L"", 6, &error), nullptr);
  EXPECT_EQ(error.code, kScriptErrorNone);
}

TEST(CompileEntry, BodyBeyond64KbGivesNull) {
  std::wstring body;
  for (int i = 0; i < 6000; ++i) body += L"a" + std::to_wstring(i) + L" = b;";
  ScriptCompileError error;
  EXPECT_EQ(CompileTag(L"function f() { " + body + L" }", 5, &error), nullptr);
  EXPECT_EQ(error.code, kScriptErrorSyntax);
  EXPECT_NE(error.message.find("65535"), std::string::npos);
}

TEST(CompileEntry, ScriptBeyondTheSizeLimitGivesNull) {
  ScriptCompileError error;
  const std::wstring script(ScriptCompiler::kMaxScriptBytes + 1, L';');
  EXPECT_EQ(CompileTag(script, 6, &error), nullptr);
  EXPECT_EQ(error.code, kScriptErrorStream);
  EXPECT_EQ(error.message, "The script is longer than 1048576 bytes");
  // Characters of several bytes count as their bytes.
  EXPECT_EQ(CompileTag(L"s = \"" + std::wstring(ScriptCompiler::kMaxScriptBytes / 2, L'\u00E9') + L"\";", 6, &error),
            nullptr);
  EXPECT_EQ(error.message, "The script is longer than 1048576 bytes");
}

TEST(CompileEntry, IncludeCycleGivesNull) {
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "self.as", "x = 1;\n#include \"self.as\"\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ScriptCompileError error;
  auto tag = CompileTag(L"#include \"self.as\"\ntrace(x);\n", 6, &error);
  std::filesystem::current_path(previous);
  EXPECT_EQ(tag, nullptr);
  EXPECT_EQ(error.code, kScriptErrorSyntax);
  EXPECT_NE(error.message.find("Include nesting too deep"), std::string::npos) << error.message;
}

}  // namespace

namespace {

// Errors name the line and column as the user wrote them, whatever the preprocessor made of
// the line, and the end of the script at the end of its last line.
TEST(CompileEntry, ErrorsNameTheUsersLineAndColumn) {
  struct Case {
    std::string script;
    int code;
    std::string message;
    int line, column;
    const char* lineText;
  } cases[] = {
      // Every character is script: a NUL is refused where it stands.
      {std::string("trace(1);\n\0trace(2);\nbreak;", 28), kScriptErrorStream, "unexpected char: 0x00", 2, 1, ""},
      {std::string("x = \"a\0\";", 9), kScriptErrorStream, "expecting ''\"'', found '0x00'", 1, 7, "x = \"a"},
      {std::string("// a\0b\nx = 1;", 13), kScriptErrorStream, "unexpected char: 0x00", 1, 5, "// a"},
      {std::string("x = 1; // \0", 11), kScriptErrorStream, "unexpected char: 0x00", 1, 11, "x = 1; // "},
      // A block comment earlier on the line, or lines before it.
      {"a = 1; /* c */ b = ;\n", kScriptErrorSyntax, "Main:1:20: unexpected token: ;", 1, 20, "a = 1; /* c */ b = ;"},
      {"a = 1;\n/* c\n c */\tb = ;\n", kScriptErrorSyntax, "Main:3:13: unexpected token: ;", 3, 13, " c */\tb = ;"},
      {"x = 1; /* a */ /* b */ y = (1;", kScriptErrorSyntax, "Main:1:30: expecting \")\", found ';'", 1, 30,
       "x = 1; /* a */ /* b */ y = (1;"},
      {"x = 1; // c\ny = ;", kScriptErrorSyntax, "Main:2:5: unexpected token: ;", 2, 5, "y = ;"},
      // A generation error names its line, as the user wrote it.
      {"x = 1; /* a\n b */ break; // c", kScriptErrorSyntax, "break outside a loop", 2, 0, " b */ break; // c"},
      // The end of the script is at the end of its last line.
      {"a = 1;\nb = (1\n", kScriptErrorSyntax, "Main:2:7: unexpected end of file", 2, 7, "b = (1"},
      {"a = 1;\r\nb = f(1 // open", kScriptErrorSyntax, "Main:2:16: unexpected end of file", 2, 16, "b = f(1 // open"},
      {"if (a) {\n/* x\n*/", kScriptErrorSyntax, "Main:3:3: unexpected end of file", 3, 3, "*/"},
      // A lexical error at the end of the script, or in a "//" comment, is on a line the
      // script has; a line end is one line, whatever follows it.
      {"x = 1;\n/* abc\n\n", kScriptErrorStream, "expecting ''*'', found 'EOF'", 3, 1, ""},
      {"x = 1;\r\n/* abc\r\n\tb\r\n", kScriptErrorStream, "expecting ''*'', found 'EOF'", 3, 10, "\tb"},
      {"x = 1;\r\n/* a\r\nb", kScriptErrorStream, "expecting ''*'', found 'EOF'", 3, 2, "b"},
      // "var" declares a name: what has none is refused at its first token.
      {"var function(){};", kScriptErrorSyntax, "Main:1:5: expecting a variable name, found 'function'", 1, 5,
       "var function(){};"},
      {"var~0;", kScriptErrorSyntax, "Main:1:4: expecting a variable name, found '~'", 1, 4, "var~0;"},
      {"var a.b = 1;", kScriptErrorSyntax, "Main:1:5: expecting a variable name, found 'a'", 1, 5, "var a.b = 1;"},
      {"var a = 1, \"\";", kScriptErrorSyntax, "Main:1:12: expecting a variable name, found '\"\"'", 1, 12,
       "var a = 1, \"\";"},
      {"{ var -x; }", kScriptErrorSyntax, "Main:1:7: expecting a variable name, found '-'", 1, 7, "{ var -x; }"},
      // A "{" read both as a block and as an object literal: the error of the reading that
      // got further, at the fault.
      {"if (a) { trace(x +); }", kScriptErrorSyntax, "Main:1:19: unexpected token: )", 1, 19, "if (a) { trace(x +); }"},
      {"{ if (x) { trace((x += 1)); } }", kScriptErrorSyntax, "Main:1:21: expecting \")\", found '+='", 1, 21,
       "{ if (x) { trace((x += 1)); } }"},
  };
  for (const auto& c : cases) {
    ScriptCompileError error;
    EXPECT_EQ(CompileTag(toolbox::Utf8ToWide(c.script), 6, &error), nullptr) << c.script;
    EXPECT_EQ(error.code, c.code) << c.script;
    EXPECT_EQ(error.message, c.message) << c.script;
    EXPECT_EQ(error.file, "Main") << c.script;
    EXPECT_EQ(error.line, c.line) << c.script;
    EXPECT_EQ(error.column, c.column) << c.script;
    EXPECT_EQ(error.lineText, c.lineText) << c.script;
  }
  // A name still declares, whatever follows it.
  for (const char* script : {"var a;", "var a = 1, b;", "var f(1);", "for (var i = 0; i < 2; i++) {}"})
    EXPECT_NE(CompileTag(toolbox::Utf8ToWide(script), 6), nullptr) << script;
}

// A left-associative chain of one operator, as generated scripts build long strings, compiles
// however long, without deep recursion, to the code of the whole tree; real nesting stays
// limited. How fast it compiles is measured in the compile benchmark.
TEST(CompileEntry, LongOperatorChainsCompile) {
  const char* const operators[] = {"+", "-", "*", "/", "%", "<<", ">>", ">>>", "&", "|", "^",
                                   "&&", "||", "==", "!=", "<", ">", "<=", ">=", "instanceof"};
  for (const char* op : operators) {
    const std::string_view name = op;
    // Every kind of operator walks its chain the same way: two of them at full length.
    const bool full = name == "+" || name == "||";
    std::string script = "x = \"a\"";
    for (int i = 1; i < (full ? 100000 : 3000); ++i) script += std::string(" ") + op + " p" + std::to_string(i % 7);
    script += ";\nfunction f() { return \"b\" " + std::string(op) + " q " + op + " \"c\"; }";
    ScriptCompileError error;
    auto tag = CompileTag(toolbox::Utf8ToWide(script), 6, &error);
    ASSERT_NE(tag, nullptr) << op << ": " << error.message;
    if (!full || name == "+") {
      EXPECT_EQ(ActionBytes(*tag), GeneratedBytes(script, 6)) << op;
    }
  }
  ScriptCompileError error;
  EXPECT_EQ(CompileTag(L"x = a" + std::wstring(2 * 2000, L'+') + L";", 6, &error), nullptr);
  EXPECT_NE(error.message.find("Script nested too deeply"), std::string::npos) << error.message;
}

}  // namespace
