// Scripts that parse but cannot become valid actions: Generate fails with the error record of
// a syntax failure (code 4, "Main", line 0, "No Line") and no code, rather than writing bytes
// that players misread.
#include <gtest/gtest.h>

#include <string>

#include "CodegenTestSupport.h"
#include "script/compiler/ScriptCompiler.h"

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
  EXPECT_EQ(result.errorFile, "Main");
  EXPECT_EQ(result.errorLine, 0);
  EXPECT_EQ(result.errorLineText, "No Line");
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
