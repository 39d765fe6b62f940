// Scripts that parse but cannot become valid actions: Generate fails with the error record of
// a syntax failure (code 4, naming the line of the construct) and no code, rather than writing
// bytes that players misread.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CodegenTestSupport.h"
#include "script/compiler/ScriptCompiler.h"
#include "support/TestSupport.h"

using codegentest::Compile;

namespace {

struct ErrorCase {
  const char* script;
  const char* message;  // a part of the error message
  int version = 5;
};

void ExpectGenerationError(const ErrorCase& c) {
  const auto result = Compile(c.script, c.version);
  ASSERT_TRUE(result.parsed) << c.script << ": " << result.errorMessage;
  EXPECT_TRUE(result.code.empty()) << c.script;
  EXPECT_EQ(result.errorCode, kScriptErrorSyntax) << c.script;
  EXPECT_NE(result.errorMessage.find(c.message), std::string::npos)
      << c.script << ": " << result.errorMessage;
  // Every script here is one line.
  EXPECT_EQ(result.errorFile, "Main");
  EXPECT_EQ(result.errorLine, 1) << c.script;
  EXPECT_EQ(result.errorLineText, c.script);
}

TEST(CodegenErrors, HandlersOutOfPlace) {
  const ErrorCase cases[] = {
      {"if (a) { on (press) { stop(); } }", "on handler"},
      {"if (a) { onClipEvent (load) { stop(); } }", "onClipEvent handler"},
      {"on (press) { stop(); } stop();", "statement outside a handler in a button"},
      {"onClipEvent (load) { stop(); } x = 1;", "statement outside a handler in a movie clip"},
      // The hoisted definition would land among the condition records.
      {"on (press) { stop(); } function f() {}", "statement outside a handler"},
      {"onClipEvent (load) {} on (press) {}", "onClipEvent handler"},
  };
  for (const auto& c : cases) ExpectGenerationError(c);
}

TEST(CodegenErrors, UnknownEvents) {
  const ErrorCase cases[] = {
      {"on (relase) { stop(); }", "unknown button event relase"},
      {"on (keyPress \"<Left>\") { stop(); }", "unknown key name <Left>"},
      {"on (keyPress \"ab\") { stop(); }", "keyPress"},
      {"on (keyPress \"\xC3\xA9\") { stop(); }", "keyPress"},
      {"on (keyPress \"\x7F\") { stop(); }", "keyPress"},
      {"on (5) { stop(); }", "unknown button event"},
      {"onClipEvent (Load) { stop(); }", "unknown clip event Load"},
      {"onClipEvent (load, entreFrame) { stop(); }", "unknown clip event entreFrame"},
  };
  for (const auto& c : cases) ExpectGenerationError(c);
}

TEST(CodegenErrors, BreakAndContinueOutsideLoops) {
  const ErrorCase cases[] = {
      {"break;", "break outside a loop"},
      {"if (a) continue;", "continue outside a loop"},
      {"while (a) { function f() { break; } }", "break outside a loop"},
      {"for (k in o) { g = function () { continue; }; }", "continue outside a loop"},
      {"on (press) { break; }", "break outside a loop"},
  };
  for (const auto& c : cases) ExpectGenerationError(c);
}

TEST(CodegenErrors, TargetsThatAreNoReferences) {
  const ErrorCase cases[] = {
      {"5 = x;", "assignment needs"},
      {"f() = 1;", "assignment needs"},
      {"null = 1;", "assignment needs"},
      {"a + b = 1;", "assignment needs"},
      {"++Key.UP;", "increment or decrement needs"},
      {"x = 1++;", "increment or decrement needs"},
      {"--f();", "increment or decrement needs"},
      {"delete f();", "delete needs"},
      {"delete 5;", "delete needs"},
      {"x = var y;", "var declaration used as a value"},
      {"var x += 1;", "compound assignment to a var declaration"},
  };
  for (const auto& c : cases) ExpectGenerationError(c);
}

TEST(CodegenErrors, TooFewBuiltinArguments) {
  const ErrorCase cases[] = {
      {"gotoAndPlay();", "too few arguments to gotoAndPlay"},
      {"gotoAndStop();", "too few arguments to gotoAndStop"},
      {"x = Number();", "too few arguments to Number"},
      {"x = String();", "too few arguments to String"},
      {"x = getProperty(mc);", "too few arguments to getProperty"},
      {"duplicateMovieClip(a);", "too few arguments to duplicateMovieClip"},
      {"startDrag(\"k\", true, 0);", "startDrag"},
      {"startDrag();", "startDrag"},
      {"trace();", "too few arguments to trace"},
      {"x = typeof();", "too few arguments to typeof"},
      {"x = targetPath();", "too few arguments to targetPath"},
      {"removeMovieClip();", "too few arguments to removeMovieClip"},
      {"set(\"a\");", "too few arguments to set"},
      {"setProperty(mc, _x);", "too few arguments to setProperty"},
      {"fscommand();", "too few arguments to fscommand"},
      {"print(mc);", "too few arguments to print"},
      {"x = eval();", "too few arguments to eval"},
      {"unloadMovie();", "too few arguments to unloadMovie"},
  };
  for (const auto& c : cases) ExpectGenerationError(c);
}

TEST(CodegenErrors, ForInOverAnExpressionBeforeSwf6) {
  ExpectGenerationError({"for (k in getList()) {}", "for..in over an expression", 5});
  ExpectGenerationError({"for (k in a[i]) {}", "for..in over an expression", 5});
  // A plain path of names still works before 6, and any expression from 6 on.
  EXPECT_EQ(Compile("for (k in this.items) {}", 5).errorCode, 0);
  EXPECT_EQ(Compile("for (k in getList()) {}", 6).errorCode, 0);
}

// Fields of 16 bits: a body or distance that does not fit is refused.
TEST(CodegenErrors, BodiesBeyondTheirFields) {
  std::string statements;
  for (int i = 0; i < 3000; ++i) statements += "a" + std::to_string(i) + " = b;";  // ~13 bytes each
  ExpectGenerationError({("while (c) { " + statements + " }").c_str(), "branch distance"});
  ExpectGenerationError({("if (c) { " + statements + " }").c_str(), "branch distance"});
  std::string longer;
  for (int i = 0; i < 6000; ++i) longer += "a" + std::to_string(i) + " = b;";
  ExpectGenerationError({("function f() { " + longer + " }").c_str(), "function body longer than 65535"});
  ExpectGenerationError({("with (o) { " + longer + " }").c_str(), "with block longer than 65535"});
  ExpectGenerationError({("on (press) { " + longer + " }").c_str(), "button condition actions longer than 65535"});
  ExpectGenerationError({("trace(\"" + std::string(70000, 'x') + "\");").c_str(), "string longer than 65533"});
  // The same statements at the top level of a frame script are fine: its length is 32-bit.
  EXPECT_EQ(Compile(longer).errorCode, 0);
}

// An error names the line where its construct starts, in the file it came from.
TEST(CodegenErrors, ErrorsNameTheLineOfTheirConstruct) {
  std::string statements;
  for (int i = 0; i < 6000; ++i) statements += "a" + std::to_string(i) + " = b;";
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "long.as", "a = 1;\n\ntrace(\"" + std::string(70000, 'x') + "\");\n");
  const struct {
    std::string script;
    const char* message;  // a part of it
    std::string file;
    int line;
    std::string lineStart;  // of the recorded line text
  } cases[] = {
      {"a = 1;\nb = 2;\ngotoAndPlay();\n", "too few arguments", "Main", 3, "gotoAndPlay();"},
      {"x = 1;\nwhile (c) {\n  y = 2;\n  break;\n}\nbreak;\n", "break outside a loop", "Main", 6, "break;"},
      {"function f() {\n  if (a)\n    continue;\n}\n", "continue outside a loop", "Main", 3, "    continue;"},
      {"x = 1;\n5 =\n  x;", "assignment needs", "Main", 2, "5 ="},
      {"on (press) {\n  stop();\n}\non (relase) {\n}\n", "unknown button event", "Main", 4, "on (relase) {"},
      {"onClipEvent (load) {\n}\n\nx = 1;\n", "statement outside a handler", "Main", 4, "x = 1;"},
      {"x = 1;\nwith (o) {\n" + statements + "\n}\n", "with block longer than 65535", "Main", 2, "with (o) {"},
      {"x = 1;\nf = function () {\n" + statements + "\n};\n", "function body longer than 65535", "Main", 2,
       "f = function () {"},
      {"on (release) {}\non (press) {\n" + statements + "\n}\n", "button condition actions longer", "Main", 2,
       "on (press) {"},
      {"x = 1;\n#include \"long.as\"\n", "string longer than 65533", (dir / "long.as").string(), 3, "trace(\"xxx"},
  };
  for (const auto& c : cases) {
    ScriptCompiler compiler;
    compiler.AddIncludePath(dir.str().c_str());
    std::unique_ptr<ScriptNode, void (*)(ScriptNode*)> root(compiler.Parse(c.script.c_str()),
                                                            [](ScriptNode* n) { n->Release(); });
    ASSERT_NE(root, nullptr) << compiler.GetErrorMessage();
    EXPECT_EQ(compiler.Generate(root.get(), 5), 0u);
    EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
    EXPECT_NE(std::string(compiler.GetErrorMessage()).find(c.message), std::string::npos) << compiler.GetErrorMessage();
    EXPECT_EQ(compiler.GetErrorFile(), c.file) << c.message;
    EXPECT_EQ(compiler.GetErrorLine(), c.line) << c.message;
    EXPECT_EQ(std::string(compiler.GetErrorLineText()).substr(0, c.lineStart.size()), c.lineStart) << c.message;
  }
}

TEST(CodegenErrors, GenerateReplacesCodeAndKeepsNoneAfterAFailure) {
  ScriptCompiler compiler;
  ScriptNode* good = compiler.Parse("stop();");
  ASSERT_NE(good, nullptr);
  EXPECT_EQ(compiler.Generate(good, 5), 1u);
  ScriptNode* bad = compiler.Parse("break;");
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(compiler.Generate(bad, 5), 0u);
  EXPECT_EQ(compiler.CopyCode(nullptr), 0u);
  EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
  good->Release();
  bad->Release();
}

}  // namespace

namespace {

// The tallest trees the parser accepts compile without exhausting the stack.
TEST(CodegenDepth, TallestAcceptedTreesCompile) {
  std::string sum = "x = a";
  for (int i = 0; i < 990; ++i) sum += " + a";
  sum += ";";
  std::string chain = "x = a";
  for (int i = 0; i < 990; ++i) chain += ".b";
  chain += ";";
  std::string nested;
  for (int i = 0; i < 60; ++i) nested += "if (a) { while (b) { ";
  for (int i = 0; i < 60; ++i) nested += "} }";
  std::string calls = "x = ";
  for (int i = 0; i < 100; ++i) calls += "f(";
  for (int i = 0; i < 100; ++i) calls += ")";
  calls += ";";
  for (const std::string* script : {&sum, &chain, &nested, &calls}) {
    const auto result = codegentest::Compile(*script, 6);
    ASSERT_TRUE(result.parsed) << result.errorMessage;
    EXPECT_EQ(result.errorCode, 0) << result.errorMessage;
    EXPECT_FALSE(result.code.empty());
  }
}

}  // namespace
