// Syntax trees the parser builds, written as S-expressions of the nodes' ToString, and the
// errors it raises.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "ScriptTestSupport.h"
#include "script/compiler/ScriptCompiler.h"
#include "script/grammar/ActionScriptParser.hpp"

namespace {

using scripttest::ParseDirect;

struct Case {
  const char* script;
  const char* tree;
};

void Check(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) EXPECT_EQ(ParseDirect(c->script), c->tree) << c->script;
}

TEST(Parser, Precedence) {
  const Case cases[] = {
      {"x = 1 + 2 * 3;",
       "(Array (= (Identifier = x) (+ (Number = 1) (* (Number = 2) (Number = 3)))))"},
      {"a - b - c;", "(Array (- (- (Identifier = a) (Identifier = b)) (Identifier = c)))"},
      {"a = b = c;", "(Array (= (Identifier = a) (= (Identifier = b) (Identifier = c))))"},
      {"a || b && c | d ^ e & f == g;",
       "(Array (|| (Identifier = a) (&& (Identifier = b) (| (Identifier = c) (^ (Identifier = d) "
       "(& (Identifier = e) (== (Identifier = f) (Identifier = g))))))))"},
      {"a != b < c;", "(Array (!= (Identifier = a) (< (Identifier = b) (Identifier = c))))"},
      {"a < b instanceof c;",
       "(Array (< (Identifier = a) (instanceof (Identifier = b) (Identifier = c))))"},
      {"a instanceof b << c;",
       "(Array (instanceof (Identifier = a) (<< (Identifier = b) (Identifier = c))))"},
      {"a >> b >>> c + d;",
       "(Array (>>> (>> (Identifier = a) (Identifier = b)) (+ (Identifier = c) (Identifier = d))))"},
      {"a >= b <= c > d;",
       "(Array (> (<= (>= (Identifier = a) (Identifier = b)) (Identifier = c)) (Identifier = d)))"},
      {"-a * !b % ~c / +d;",
       "(Array (/ (% (* (-x (Identifier = a)) (! (Identifier = b))) (~ (Identifier = c))) "
       "(+x (Identifier = d))))"},
      {"x = a ? b : c ? d : e;",
       "(Array (= (Identifier = x) (? (Identifier = a) (Identifier = b) (? (Identifier = c) "
       "(Identifier = d) (Identifier = e)))))"},
      {"x = a ? b = 1 : c;",
       "(Array (= (Identifier = x) (? (Identifier = a) (= (Identifier = b) (Number = 1)) "
       "(Identifier = c))))"},
      {"x += y -= 2;", "(Array (+= (Identifier = x) (-= (Identifier = y) (Number = 2))))"},
      {"a <<= 1; a >>= 1; a >>>= 1; a &= 1; a |= 1; a ^= 1; a *= 1; a /= 1; a %= 1;",
       "(Array (<<= (Identifier = a) (Number = 1)) (>>= (Identifier = a) (Number = 1)) "
       "(>>>= (Identifier = a) (Number = 1)) (&= (Identifier = a) (Number = 1)) "
       "(|= (Identifier = a) (Number = 1)) (^= (Identifier = a) (Number = 1)) "
       "(*= (Identifier = a) (Number = 1)) (/= (Identifier = a) (Number = 1)) "
       "(%= (Identifier = a) (Number = 1)))"},
      {"(a + b) * c;", "(Array (* (+ (Identifier = a) (Identifier = b)) (Identifier = c)))"},
      {"x++ ++;", "(Array (x++ (x++ (Identifier = x))))"},
      {"++x; --x; x--;",
       "(Array (++x (Identifier = x)) (--x (Identifier = x)) (x-- (Identifier = x)))"},
      {"delete a.b;", "(Array (delete (Value (Identifier = a) (Attribute = b))))"},
      {"x = 'q' + \"d\\n\";",
       "(Array (= (Identifier = x) (+ (String = \"q\") (String = \"d\\n\"))))"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(Parser, CallRewrite) {
  const Case cases[] = {
      {"f(1);", "(Array (Function = f (Number = 1)))"},
      {"a.b(1, 2);",
       "(Array (Value (Identifier = a) (NoOp = b) (Method = b (Number = 1) (Number = 2))))"},
      {"a.b;", "(Array (Value (Identifier = a) (Attribute = b)))"},
      {"a[0](1);", "(Array (Value (Identifier = a) (Subscript (Number = 0)) (Function (Number = 1))))"},
      {"(f)(2);", "(Array (Function = f (Number = 2)))"},
      {"a.(1);", "(Array (Value (Identifier = a) (Method (Number = 1))))"},
      {"f()();", "(Array (Value (Function = f) (Function)))"},
      {"a.b.c(x).d;",
       "(Array (Value (Identifier = a) (Attribute = b) (NoOp = c) (Method = c (Identifier = x)) "
       "(Attribute = d)))"},
      {"a['k'];", "(Array (Value (Identifier = a) (Subscript (String = \"k\"))))"},
      {"new Date(1, 2);", "(Array (NewObject = Date (Number = 1) (Number = 2)))"},
      {"x = [1, [2]];",
       "(Array (= (Identifier = x) (Define Array (Number = 1) (Define Array (Number = 2)))))"},
      {"x = {a: 1, 'b': 2};",
       "(Array (= (Identifier = x) (Define Object (Define Attribute (Identifier = a) (Number = 1)) "
       "(Define Attribute (String = \"b\") (Number = 2)))))"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(Parser, Statements) {
  const Case cases[] = {
      {"", "(Array)"},
      {";", "(Array (NoOp))"},
      {"if (a) if (b) x; else y;",
       "(Array (if (Identifier = a) (if (Identifier = b) (Identifier = x) (Identifier = y))))"},
      {"while (a) b();", "(Array (while (Identifier = a) (Function = b)))"},
      {"do x++; while (x < 10);",
       "(Array (do..while (x++ (Identifier = x)) (< (Identifier = x) (Number = 10))))"},
      {"with (a) { b = 1; }",
       "(Array (With (Identifier = a) (List (= (Identifier = b) (Number = 1)))))"},
      {"for (;;) break;", "(Array (for (NoOp) (NoOp) (NoOp) (Break)))"},
      {"for (i = 0; i < 3; i++) continue;",
       "(Array (for (= (Identifier = i) (Number = 0)) (< (Identifier = i) (Number = 3)) "
       "(x++ (Identifier = i)) (Continue)))"},
      {"for (x in o) {}", "(Array (for..in (Identifier = x) (Identifier = o) (List)))"},
      {"for ('s' in o) {}", "(Array (for..in (String = \"s\") (Identifier = o) (List)))"},
      {"for (1 in o) f();", "(Array (for..in (Number = 1) (Identifier = o) (Function = f)))"},
      {"function f(a, b) { return a + b; }",
       "(Array (Define Function = f (List (Identifier = a) (Identifier = b)) "
       "(List (Return (+ (Identifier = a) (Identifier = b))))))"},
      {"function g() {}", "(Array (Define Function = g (List)))"},
      {"x = function (a) { return; };",
       "(Array (= (Identifier = x) (Define Method (Identifier = a) (List (Return)))))"},
      {"{ x; }", "(Array (List (Identifier = x)))"},
      {"{ a: 1 };", "(Array (Define Object (Define Attribute (Identifier = a) (Number = 1))))"},
      {"x = y = var z;", "(Array (= (Identifier = x) (= (Identifier = y) (Define Variable = z))))"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(Parser, HandlerRoots) {
  const Case cases[] = {
      {"on (release) {}", "(Button (On (Identifier = release) (List)))"},
      {"on (keyPress \"<Enter>\") { x = 1; }",
       "(Button (On (String = \"<Enter>\") (List (= (Identifier = x) (Number = 1)))))"},
      {"on (press, release) x();",
       "(Button (On (Identifier = press) (Identifier = release) (Function = x)))"},
      {"onClipEvent (load) { x = 1; }",
       "(MovieClip (OnClipEvent (Identifier = load) (List (= (Identifier = x) (Number = 1)))))"},
      {"onClipEvent (keyDown, 5) {}",
       "(MovieClip (OnClipEvent (Identifier = keyDown) (Number = 5) (List)))"},
      {"onClipEvent (load) {} on (press) {}",
       "(Button (OnClipEvent (Identifier = load) (List)) (On (Identifier = press) (List)))"},
      {"on (press) {} onClipEvent (load) {}",
       "(MovieClip (On (Identifier = press) (List)) (OnClipEvent (Identifier = load) (List)))"},
      {"{ on (press) {} }", "(Array (List (On (Identifier = press) (List))))"},
  };
  Check(std::begin(cases), std::end(cases));
}

// Empty braces are an empty block or an empty object; every name of a "var" list declares.
TEST(Parser, EmptyBracesAndVarLists) {
  const Case cases[] = {
      {"if (done) {}", "(Array (if (Identifier = done) (List)))"},
      {"{}", "(Array (List))"},
      {"while (a) { {} }", "(Array (while (Identifier = a) (List (List))))"},
      {"var o = {};", "(Array (= (Define Variable = o) (Define Object)))"},
      {"o = {};", "(Array (= (Identifier = o) (Define Object)))"},
      {"var a = 1, b = 2;",
       "(Array (ExpressionList (= (Define Variable = a) (Number = 1)) "
       "(= (Define Variable = b) (Number = 2))))"},
      {"var a, b;", "(Array (ExpressionList (Define Variable = a) (Define Variable = b)))"},
      {"a = 1, b = 2;",
       "(Array (ExpressionList (= (Identifier = a) (Number = 1)) (= (Identifier = b) (Number = 2))))"},
      {"function f() { var i = 0, n = 10; }",
       "(Array (Define Function = f (List (ExpressionList (= (Define Variable = i) (Number = 0)) "
       "(= (Define Variable = n) (Number = 10))))))"},
      {"for (var i = 0, n = 2; i < n; i++) {}",
       "(Array (for (ExpressionList (= (Define Variable = i) (Number = 0)) "
       "(= (Define Variable = n) (Number = 2))) (< (Identifier = i) (Identifier = n)) "
       "(x++ (Identifier = i)) (List)))"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(Parser, SyntaxErrors) {
  const Case cases[] = {
      {"x = 1; } y = 2;", "error MismatchedToken 1:8"},
      {"x = 1; ) y;", "error MismatchedToken 1:8"},
      {"else x;", "error MismatchedToken 1:1"},
      {"a, ;", "error NoViableAlt 1:4"},
      {"if (a = b) {}", "error MismatchedToken 1:7"},
      {"for (var x in o) {}", "error NoViableAlt 1:12"},
      {"++ - x;", "error NoViableAlt 1:4"},
      {"new a.b();", "error MismatchedToken 1:6"},
      {"new A;", "error MismatchedToken 1:6"},
      {"x = 1", "error NoViableAlt 1:6"},
      {"{ a b }", "error MismatchedToken 1:5"},
      // Read as a block "{" gets further than as an object literal: its error is reported.
      {"{ + }", "error NoViableAlt 1:5"},
      {"a.5;", "error NoViableAlt 1:2"},
      {"x = {a: 1,};", "error NoViableAlt 1:11"},
      {"on (keyPress) {}", "error NoViableAlt 1:13"},
      {"f(a = 1);", "error MismatchedToken 1:5"},
  };
  Check(std::begin(cases), std::end(cases));
}

// Outside a trial, the first statement of a block is parsed once, with its nodes, and the
// block takes it as parsed; whether "{" opens a block stays what the trial without actions
// decides, also where that statement's tree grows too tall (which only an action notices).
TEST(Parser, BlockTakesItsFirstStatementParsedAhead) {
  Case trees[] = {
      {"{ if (a) { b = 1; c; } d(); } {a: 1};",
       "(Array (List (if (Identifier = a) (List (= (Identifier = b) (Number = 1)) "
       "(Identifier = c))) (Function = d)) (Define Object (Define Attribute (Identifier = a) "
       "(Number = 1))))"},
  };
  Check(std::begin(trees), std::end(trees));
  const std::string tall = "a" + std::string(2 * 1005, '+');
  const std::pair<std::string, const char*> errors[] = {
      // Too tall, then no statement: no block, and the error is where the statement fails,
      // further than the object literal's first field.
      {"{ x = " + tall + " +; }", "Main:1:2020: unexpected token: ;"},
      // Too tall but a statement: a block, refused at the height.
      {"{ x = " + tall + "; }", "Main:1:2010: Script nested too deeply"},
      {"x = 1;\n{ x = ; }", "Main:2:7: unexpected token: ;"},
  };
  for (const auto& [script, message] : errors) {
    ScriptCompiler compiler;
    EXPECT_EQ(compiler.Parse(script.c_str()), nullptr);
    EXPECT_STREQ(compiler.GetErrorMessage(), message) << script.substr(0, 40);
  }
}

// The compiler object records a parser error with its position in the source.
TEST(Parser, ErrorRecord) {
  ScriptCompiler compiler;
  EXPECT_EQ(compiler.Parse("x = 1; } y = 2;"), nullptr);
  EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
  EXPECT_EQ(compiler.GetErrorLine(), 1);
  EXPECT_EQ(compiler.GetErrorColumn(), 8);
  EXPECT_STREQ(compiler.GetErrorFile(), "Main");
  EXPECT_STREQ(compiler.GetErrorLineText(), "x = 1; } y = 2;");
  EXPECT_STREQ(compiler.GetErrorMessage(), "Main:1:8: expecting EOF, found '}'");

  ScriptCompiler lexical;
  EXPECT_EQ(lexical.Parse("x = 1;\ny = @;"), nullptr);
  EXPECT_EQ(lexical.GetErrorCode(), kScriptErrorStream);
  EXPECT_STREQ(lexical.GetErrorMessage(), "unexpected char: '@'");
  EXPECT_EQ(lexical.GetErrorLine(), 2);
  EXPECT_EQ(lexical.GetErrorColumn(), 5);
  EXPECT_STREQ(lexical.GetErrorLineText(), "y = @;");
  EXPECT_STREQ(lexical.GetErrorFile(), "Main");

  ScriptCompiler empty;
  EXPECT_EQ(empty.Parse(""), nullptr);
  EXPECT_EQ(empty.Parse(nullptr), nullptr);
  EXPECT_EQ(empty.GetErrorCode(), kScriptErrorNone);
}

// 10,000 nested parentheses and 100,000 postfix increments are refused, not a stack
// overflow.
TEST(Parser, NestingLimits) {
  const int depth = 10000;
  const std::string parens = "x = " + std::string(depth, '(') + "1" + std::string(depth, ')') + ";";
  std::string blocks;
  for (int i = 0; i < depth; ++i) blocks += "if (a) {";
  blocks += std::string(depth, '}');
  std::string prefix = "x = ";
  for (int i = 0; i < depth; ++i) prefix += "- ";
  prefix += "1;";
  std::string assignments;
  for (int i = 0; i < depth; ++i) assignments += "a" + std::to_string(i) + " = ";
  assignments += "1;";
  std::string postfix = "x" + std::string(2 * 100000, '+') + ";";
  for (const std::string* script : std::initializer_list<const std::string*>{
           &parens, &blocks, &prefix, &assignments, &postfix}) {
    ScriptCompiler compiler;
    EXPECT_EQ(compiler.Parse(script->c_str()), nullptr) << script->substr(0, 40);
    EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
    EXPECT_NE(std::string(compiler.GetErrorMessage()).find("Script nested too deeply"),
              std::string::npos)
        << compiler.GetErrorMessage();
  }
}

// The deepest scripts within the limits still parse, and their trees are freed.
TEST(Parser, DeepestAcceptedScripts) {
  auto incrementsOf = [](uint32_t count) { return "x = 1" + std::string(2 * count, '+') + ";"; };
  // The root, the assignment and 998 increments make a tree of the greatest height.
  const std::string sum = incrementsOf(ActionScriptParser::kMaxTreeHeight - 2);
  ScriptCompiler oneMore;
  EXPECT_EQ(oneMore.Parse(incrementsOf(ActionScriptParser::kMaxTreeHeight - 1).c_str()), nullptr);
  // Each parenthesis enters a conditional and a unary expression.
  const int parenDepth = ActionScriptParser::kMaxNesting / 2 - 4;
  const std::string parens =
      "x = " + std::string(parenDepth, '(') + "1" + std::string(parenDepth, ')') + ";";
  for (const std::string* script : std::initializer_list<const std::string*>{&sum, &parens}) {
    ScriptCompiler compiler;
    std::unique_ptr<ScriptNode> root(compiler.Parse(script->c_str()));
    EXPECT_NE(root, nullptr) << compiler.GetErrorMessage();
  }
}

}  // namespace
