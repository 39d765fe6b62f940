// Source in, action bytes out: scripts compiled by Parse and Generate for SWF 5 (unless the
// row says otherwise), compared with the exact bytes the players read.
#include <gtest/gtest.h>

#include "CodegenTestSupport.h"

using codegentest::CompileHex;
using codegentest::Normalize;

namespace {

struct BytesCase {
  const char* script;
  const char* bytes;
  int version = 5;
};

void ExpectBytes(const BytesCase& c) {
  EXPECT_EQ(Normalize(CompileHex(c.script, c.version)), Normalize(c.bytes))
      << "script: " << c.script << " (SWF " << c.version << ")";
}

// 0.0 as a pushed double.
#define ZERO "06 00 00 00 00 00 00 00 00"

TEST(CodegenBytes, LiteralsAndPool) {
  const BytesCase cases[] = {
      {"trace(0);", "96 09 00 " ZERO " 26"},
      {"trace(1);", "96 05 00 07 01 00 00 00 26"},
      {"trace(0x1F);", "96 05 00 07 1F 00 00 00 26"},
      {"trace(00);", "96 05 00 07 00 00 00 00 26"},
      {"trace(0x0);", "96 05 00 07 00 00 00 00 26"},
      {"trace(1.5);", "96 09 00 06 00 00 F8 3F 00 00 00 00 26"},
      {"trace(2e3);", "96 09 00 06 00 40 9F 40 00 00 00 00 26"},
      {"trace(2147483647);", "96 05 00 07 FF FF FF 7F 26"},
      // Beyond the signed 32-bit range integers become the nearest double, never wrapped.
      {"trace(3000000000);", "96 09 00 06 0B 5A E6 41 00 00 00 C0 26"},
      {"trace(0xFFFFFFFF);", "96 09 00 06 FF FF EF 41 00 00 E0 FF 26"},
      {"trace(-3000000000);", "96 09 00 06 0B 5A E6 C1 00 00 00 C0 26"},
      {"trace(-2147483648);", "96 05 00 07 00 00 00 80 26"},
      {"set(\"x\", 5);", "96 08 00 00 78 00 07 05 00 00 00 1D"},
      {"trace(Math.PI);", "96 09 00 06 FB 21 09 40 18 2D 44 54 26"},
      {"trace(Key.SPACE);", "96 05 00 07 20 00 00 00 26"},
      {"x = Key.UP;", "96 08 00 00 78 00 07 26 00 00 00 1D"},
      // A string offered twice starts the pool; every push of a pooled string uses it.
      {"a = \"x\"; b = \"x\";",
       "88 08 00 03 00 61 00 78 00 62 00 96 04 00 08 00 08 01 1D 96 04 00 08 02 08 01 1D"},
      {"fscommand(\"fullscreen\", \"true\");",
       "83 1A 00 46 53 43 6F 6D 6D 61 6E 64 3A 66 75 6C 6C 73 63 72 65 65 6E 00 74 72 75 65 00"},
      // The hoisted definition is visited once: the prefix is not doubled.
      {"if (c) function f() {} else fscommand(\"quit\", \"\");",
       "9B 06 00 66 00 00 00 00 00 96 03 00 00 63 00 1C 12 9D 02 00 05 00 99 02 00 13 00 "
       "83 10 00 46 53 43 6F 6D 6D 61 6E 64 3A 71 75 69 74 00 00"},
      {"fscommand(\"quit\");", "83 10 00 46 53 43 6F 6D 6D 61 6E 64 3A 71 75 69 74 00 00"},
      // Escapes stand for their characters.
      {"trace(\"a\\nb\\t\\\"\\\\\\101\");", "96 09 00 00 61 0A 62 09 22 5C 41 00 26"},
      {"trace(\"\\u00e9\");", "96 04 00 00 C3 A9 00 26", 6},
      {"trace(\"\\u00e9\\u4E2D\");", "96 04 00 00 E9 3F 00 26", 5},
      // A surrogate pair is one character: four bytes of UTF-8, one "?" in Latin-1. A
      // surrogate without its partner is U+FFFD.
      {"trace(\"\\uD83D\\uDE00\");", "96 06 00 00 F0 9F 98 80 00 26", 6},
      {"trace(\"\\uD83D\\uDE00\");", "96 03 00 00 3F 00 26", 5},
      {"trace(\"\\uDE00\\uD83Dx\\uD83D\\u0041\");",
       "96 0D 00 00 EF BF BD EF BF BD 78 EF BF BD 41 00 26", 6},
      {"print(mc, \"bframe\");",
       "96 13 00 00 70 72 69 6E 74 3A 23 62 66 72 61 6D 65 00 00 6D 63 00 1C 9A 01 00 00"},
  };
  for (const auto& c : cases) ExpectBytes(c);
}

TEST(CodegenBytes, Statements) {
  const BytesCase cases[] = {
      {"while (true) {}", "96 02 00 05 01 12 9D 02 00 05 00 99 02 00 F0 FF"},
      {"for (;;) {}", "99 02 00 FB FF"},
      {"do {} while (false);", "96 02 00 05 00 9D 02 00 F6 FF"},
      {"for (; true;) {}", "96 02 00 05 00 9D 02 00 05 00 99 02 00 F1 FF"},
      {"for (; false;) {}", "96 02 00 05 00 12 9D 02 00 05 00 99 02 00 F0 FF"},
      {"if (a) {}", "96 03 00 00 61 00 1C 12 9D 02 00 00 00"},
      {"if (a) {} else {}", "96 03 00 00 61 00 1C 12 9D 02 00 00 00"},
      {"if (a) stop(); else play();", "96 03 00 00 61 00 1C 12 9D 02 00 06 00 07 99 02 00 01 00 06"},
      // break to the first byte after the loop, continue to the condition.
      {"while (a) { if (b) break; else continue; }",
       "96 03 00 00 61 00 1C 12 9D 02 00 21 00 "
       "96 03 00 00 62 00 1C 12 9D 02 00 0A 00 99 02 00 0F 00 99 02 00 05 00 99 02 00 D7 FF "
       "99 02 00 D2 FF"},
      // In a for loop continue goes to the increment.
      {"for (i = 0; i < 3; i++) { continue; }",
       "88 04 00 01 00 69 00 96 0B 00 08 00 " ZERO " 1D "
       "96 02 00 08 00 1C 96 05 00 07 03 00 00 00 48 12 9D 02 00 14 00 "
       "99 02 00 00 00 "
       "96 04 00 08 00 08 00 1C 50 1D 99 02 00 D7 FF"},
      {"do { continue; } while (a);",
       "99 02 00 00 00 96 03 00 00 61 00 1C 9D 02 00 EF FF"},
      {"with (mc) { trace(_x); }",
       "96 04 00 00 6D 63 00 1C 94 02 00 09 00 96 04 00 00 5F 78 00 1C 26"},
      {"function f() { return; }", "9B 06 00 66 00 00 00 05 00 96 01 00 03 3E"},
      {"function g(a, b) { return a; }",
       "9B 0A 00 67 00 02 00 61 00 62 00 08 00 96 03 00 00 61 00 1C 3E"},
      {"for (k in o) { trace(k); }",
       "88 06 00 02 00 6B 00 6F 00 96 02 00 08 01 46 87 01 00 00 96 01 00 02 49 9D 02 00 14 00 "
       "96 04 00 08 00 04 00 1D 96 02 00 08 00 1C 26 99 02 00 DE FF"},
      // A return inside a for..in keeps its value in register 0 while the loop's names and
      // closing null are popped off the stack it shares with the caller.
      {"function f(o) { for (k in o) { return k; } }",
       "88 06 00 02 00 6B 00 6F 00 9B 08 00 66 00 01 00 6F 00 3D 00 "
       "96 02 00 08 01 46 87 01 00 00 96 01 00 02 49 9D 02 00 29 00 96 04 00 08 00 04 00 1D "
       "96 02 00 08 00 1C 87 01 00 00 17 96 01 00 02 49 12 9D 02 00 F5 FF 96 02 00 04 00 3E "
       "99 02 00 C9 FF"},
      // The initialiser and both members of an expression list leave nothing pushed.
      {"i++, j--;", "96 06 00 00 69 00 00 69 00 1C 50 1D 96 06 00 00 6A 00 00 6A 00 1C 51 1D"},
      {"var x;", "96 03 00 00 78 00 41"},
      {"var v = 5;", "96 08 00 00 76 00 07 05 00 00 00 3C"},
      {"var a, b = 2;", "96 03 00 00 61 00 41 96 08 00 00 62 00 07 02 00 00 00 3C"},
      // Definitions move to the front of their block, keeping their order.
      {"a = 1; function f() {} b = 2; function g() {}",
       "9B 06 00 66 00 00 00 00 00 9B 06 00 67 00 00 00 00 00 "
       "96 08 00 00 61 00 07 01 00 00 00 1D 96 08 00 00 62 00 07 02 00 00 00 1D"},
      {"while (true) {}", "", 4},
  };
  for (const auto& c : cases) ExpectBytes(c);
}

TEST(CodegenBytes, HandlerLayouts) {
  const BytesCase cases[] = {
      {"onClipEvent (load) {}", "00 00 01 00 01 00 01 00 00 00 00 00 00"},
      {"onClipEvent (load) {}", "00 00 01 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 00", 6},
      {"on (press, release) {}", "00 00 0C 00 00"},
      {"on (keyPress \"a\") {}", "00 00 00 C2 00"},
      {"on (keyPress \"<left>\") {}", "00 00 00 02 00"},
      {"on (dragOut) {}", "00 00 10 01 00"},
      {"on (release) { stop(); } on (press) { play(); }", "06 00 08 00 07 00 00 00 04 00 06 00"},
      // A button script's pool opens every handler, after the condition word.
      {"on (press) { a = \"x\"; } on (release) { b = \"x\"; }",
       "18 00 04 00 88 08 00 03 00 61 00 78 00 62 00 96 04 00 08 00 08 01 1D 00 "
       "00 00 08 00 88 08 00 03 00 61 00 78 00 62 00 96 04 00 08 02 08 01 1D 00"},
  };
  for (const auto& c : cases) ExpectBytes(c);
}

TEST(CodegenBytes, Expressions) {
  const BytesCase cases[] = {
      {"y = x;", "96 06 00 00 79 00 00 78 00 1C 1D"},
      {"x;", "96 03 00 00 78 00 1C 17"},
      {"trace(_x);", "96 0B 00 00 00 " ZERO " 22 26"},
      {"trace(_y);", "96 07 00 00 00 07 01 00 00 00 22 26"},
      {"a > b;", "96 03 00 00 62 00 1C 96 03 00 00 61 00 1C 48 17"},
      {"a <= b;", "96 03 00 00 62 00 1C 96 03 00 00 61 00 1C 48 12 17"},
      {"a >= b;", "96 03 00 00 61 00 1C 96 03 00 00 62 00 1C 48 12 17"},
      {"trace(-5);", "96 05 00 07 FB FF FF FF 26"},
      {"trace(-1.5);", "96 09 00 06 00 00 F8 BF 00 00 00 00 26"},
      {"trace(-0);", "96 09 00 " ZERO " 26"},
      {"trace(-0x10);", "96 05 00 07 F0 FF FF FF 26"},
      {"trace(-x);", "96 0C 00 " ZERO " 00 78 00 1C 0B 26"},
      {"trace(+x);", "96 03 00 00 78 00 1C 26"},
      {"trace(~x);", "96 03 00 00 78 00 1C 96 09 00 06 FF FF EF 41 00 00 E0 FF 62 26"},
      {"x++;", "96 06 00 00 78 00 00 78 00 1C 50 1D"},
      {"y = x++;", "96 06 00 00 79 00 00 78 00 1C 96 06 00 00 78 00 00 78 00 1C 50 1D 1D"},
      {"y = ++x;",
       "96 09 00 00 79 00 00 78 00 00 78 00 1C 50 87 01 00 00 1D 96 02 00 04 00 1D"},
      {"o.n++;", "96 03 00 00 6F 00 1C 96 06 00 00 6E 00 00 6F 00 1C 96 03 00 00 6E 00 4E 50 4F"},
      // A target whose object or key has a side effect is evaluated once: the object and
      // key are copied through register 0, the name of eval(...) duplicated.
      {"o[k] -= 1;",
       "96 03 00 00 6F 00 1C 96 03 00 00 6B 00 1C 96 03 00 00 6F 00 1C 96 03 00 00 6B 00 1C 4E "
       "96 05 00 07 01 00 00 00 0B 4F"},
      {"a[i++] += 5;",
       "96 03 00 00 61 00 1C 96 03 00 00 69 00 1C 96 06 00 00 69 00 00 69 00 1C 50 1D "
       "87 01 00 00 17 4C 96 02 00 04 00 4D 96 02 00 04 00 4E 96 05 00 07 05 00 00 00 47 4F"},
      {"y = a[f()]++;",
       "96 06 00 00 79 00 00 61 00 1C 96 0C 00 " ZERO " 00 66 00 3D "
       "87 01 00 00 17 4C 96 02 00 04 00 4D 96 02 00 04 00 4E 87 01 00 00 50 4F 96 02 00 04 00 1D"},
      {"eval(f())--;", "96 0C 00 " ZERO " 00 66 00 3D 4C 1C 51 1D"},
      {"++_alpha;", "96 0E 00 00 00 07 06 00 00 00 00 00 07 06 00 00 00 22 50 23"},
      {"a = b = 1;",
       "96 0B 00 00 61 00 00 62 00 07 01 00 00 00 87 01 00 00 1D 96 02 00 04 00 1D"},
      {"o.m(1, 2);",
       "96 12 00 07 02 00 00 00 07 01 00 00 00 07 02 00 00 00 00 6F 00 1C 96 03 00 00 6D 00 52 17"},
      {"a[i](3);",
       "96 0D 00 07 03 00 00 00 07 01 00 00 00 00 61 00 1C 96 03 00 00 69 00 1C 52 17"},
      // A call of what a call returned: the function itself is the object, the name undefined.
      {"o.f()();",
       "96 15 00 " ZERO " " ZERO " 00 6F 00 1C 96 03 00 00 66 00 52 96 01 00 03 52 17"},
      {"new Sound();", "96 10 00 " ZERO " 00 53 6F 75 6E 64 00 40 17"},
      {"x = [1, 2, 3];",
       "96 17 00 00 78 00 07 03 00 00 00 07 02 00 00 00 07 01 00 00 00 07 03 00 00 00 42 1D"},
      {"x = {a: 1, b: 2};",
       "96 18 00 00 78 00 00 61 00 07 01 00 00 00 00 62 00 07 02 00 00 00 07 02 00 00 00 43 1D"},
      {"a && b;", "96 03 00 00 61 00 1C 4C 12 9D 02 00 08 00 17 96 03 00 00 62 00 1C 17"},
      {"a || b;", "96 03 00 00 61 00 1C 4C 9D 02 00 08 00 17 96 03 00 00 62 00 1C 17"},
      {"c ? 1 : 2;",
       "96 03 00 00 63 00 1C 9D 02 00 0D 00 96 05 00 07 02 00 00 00 99 02 00 08 00 "
       "96 05 00 07 01 00 00 00 17"},
      // A value after "?:", "&&" or "||" starts an ActionPush of its own where the branches
      // meet, even when the last branch ends with a push.
      {"x = (q ? \"s\" : r) + 1;",
       "96 06 00 00 78 00 00 71 00 1C 9D 02 00 0C 00 96 03 00 00 72 00 1C 99 02 00 06 00 "
       "96 03 00 00 73 00 96 05 00 07 01 00 00 00 47 1D"},
      {"x = [q ? \"s\" : r];",
       "96 06 00 00 78 00 00 71 00 1C 9D 02 00 0C 00 96 03 00 00 72 00 1C 99 02 00 06 00 "
       "96 03 00 00 73 00 96 05 00 07 01 00 00 00 42 1D"},
      {"f(q ? \"s\" : r);",
       "96 03 00 00 71 00 1C 9D 02 00 0C 00 96 03 00 00 72 00 1C 99 02 00 06 00 "
       "96 03 00 00 73 00 96 08 00 07 01 00 00 00 00 66 00 3D 17"},
      {"x = {a: q ? \"s\" : r};",
       "96 09 00 00 78 00 00 61 00 00 71 00 1C 9D 02 00 0C 00 96 03 00 00 72 00 1C 99 02 00 06 00 "
       "96 03 00 00 73 00 96 05 00 07 01 00 00 00 43 1D"},
      {"f(a || \"b\");",
       "96 03 00 00 61 00 1C 4C 9D 02 00 07 00 17 96 03 00 00 62 00 96 08 00 07 01 00 00 00 00 66 00 3D 17"},
      {"x = (q ? 1 : 2) * 3;",
       "96 06 00 00 78 00 00 71 00 1C 9D 02 00 0D 00 96 05 00 07 02 00 00 00 99 02 00 08 00 "
       "96 05 00 07 01 00 00 00 96 05 00 07 03 00 00 00 0C 1D"},
      {"x = new Object(a ? 1 : 2);",
       "96 06 00 00 78 00 00 61 00 1C 9D 02 00 0D 00 96 05 00 07 02 00 00 00 99 02 00 08 00 "
       "96 05 00 07 01 00 00 00 96 0D 00 07 01 00 00 00 00 4F 62 6A 65 63 74 00 40 1D"},
      // The get that ends one branch is not taken back for the call: it is the called value,
      // a function object, called as ActionCallMethod with an undefined name. So is any
      // callee that is neither a name nor a member.
      {"(q ? o.f : o.g)(1);",
       "88 0A 00 04 00 71 00 6F 00 66 00 67 00 96 0C 00 07 01 00 00 00 07 01 00 00 00 08 00 1C "
       "9D 02 00 11 00 96 02 00 08 01 1C 96 02 00 08 03 4E 99 02 00 0C 00 "
       "96 02 00 08 01 1C 96 02 00 08 02 4E 96 01 00 03 52 17"},
      {"(function (x) { return x * 2; })(21);",
       "88 04 00 01 00 78 00 96 0A 00 07 15 00 00 00 07 01 00 00 00 9B 07 00 00 01 00 78 00 10 00 "
       "96 02 00 08 00 1C 96 05 00 07 02 00 00 00 0C 3E 96 01 00 03 52 17"},
      {"f = function () {};", "96 03 00 00 66 00 9B 05 00 00 00 00 00 00 1D"},
      {"delete o.p;", "96 03 00 00 6F 00 1C 96 03 00 00 70 00 3A 17"},
      {"delete v;", "96 03 00 00 76 00 3B 17"},
      {"o = {1: \"a\", \"b c\": 2, _x: 3};",
       "96 21 00 00 6F 00 00 31 00 00 61 00 00 62 20 63 00 07 02 00 00 00 00 5F 78 00 "
       "07 03 00 00 00 07 03 00 00 00 43 1D"},
  };
  for (const auto& c : cases) ExpectBytes(c);
}

TEST(CodegenBytes, BuiltinCalls) {
  const BytesCase cases[] = {
      {"stop();", "07"},
      {"getTimer();", "34 17"},
      {"trace(\"hi\");", "96 04 00 00 68 69 00 26"},
      {"gotoAndPlay(5);", "81 02 00 04 00 06"},
      {"gotoAndStop(1);", "81 02 00 00 00"},
      {"gotoAndPlay(1e2);", "81 02 00 63 00 06"},
      {"gotoAndStop(\"intro\");", "96 07 00 00 69 6E 74 72 6F 00 9F 01 00 00"},
      {"gotoAndPlay(n);", "96 03 00 00 6E 00 1C 9F 01 00 01"},
      {"nextScene();", "81 02 00 00 00"},
      {"prevScene();", "81 02 00 00 00"},
      {"getURL(\"page.html\");", "83 0B 00 70 61 67 65 2E 68 74 6D 6C 00 00"},
      {"getURL(u, \"_self\", \"POST\");",
       "96 03 00 00 75 00 1C 96 07 00 00 5F 73 65 6C 66 00 9A 01 00 02"},
      {"getURL(u, \"_self\", \"get\");",
       "96 03 00 00 75 00 1C 96 07 00 00 5F 73 65 6C 66 00 9A 01 00 01"},
      {"getURL(u, \"_self\", \"PUT\");",
       "96 03 00 00 75 00 1C 96 07 00 00 5F 73 65 6C 66 00 9A 01 00 00"},
      {"loadMovie(\"a.swf\", 2);", "83 0E 00 61 2E 73 77 66 00 5F 6C 65 76 65 6C 32 00"},
      {"loadMovie(\"a.swf\", mc);", "96 0B 00 00 61 2E 73 77 66 00 00 6D 63 00 1C 9A 01 00 40"},
      {"loadMovie(\"a.swf\", mc, \"post\");", "96 0B 00 00 61 2E 73 77 66 00 00 6D 63 00 1C 9A 01 00 42"},
      {"loadMovie(\"a.swf\", mc, \"x\");", "96 0B 00 00 61 2E 73 77 66 00 00 6D 63 00 1C 9A 01 00 42"},
      // A computed URL into a level: the level is the window target of ActionGetURL2.
      {"loadMovie(base, 2);", "96 06 00 00 62 61 73 65 00 1C 96 09 00 00 5F 6C 65 76 65 6C 32 00 9A 01 00 00"},
      {"loadVariables(\"v.txt\", mc);", "96 0B 00 00 76 2E 74 78 74 00 00 6D 63 00 1C 9A 01 00 C0"},
      {"loadVariables(\"v.txt\", mc, \"GET\");", "96 0B 00 00 76 2E 74 78 74 00 00 6D 63 00 1C 9A 01 00 C1"},
      {"unloadMovie(3);", "83 09 00 00 5F 6C 65 76 65 6C 33 00"},
      {"unloadMovie(mc);", "96 06 00 00 00 00 6D 63 00 1C 9A 01 00 40"},
      {"fscommand(c, \"x\");",
       "96 0F 00 00 46 53 43 6F 6D 6D 61 6E 64 3A 00 00 63 00 1C 21 96 03 00 00 78 00 9A 01 00 00"},
      {"duplicateMovieClip(mc, \"copy\", 5);",
       "96 04 00 00 6D 63 00 1C 96 0B 00 00 63 6F 70 79 00 07 05 40 00 00 24"},
      {"duplicateMovieClip(mc, \"copy\", d);",
       "96 04 00 00 6D 63 00 1C 96 0E 00 00 63 6F 70 79 00 07 00 40 00 00 00 64 00 1C 47 24"},
      {"startDrag(\"knob\", true);", "96 11 00 " ZERO " 05 01 00 6B 6E 6F 62 00 27"},
      {"startDrag(\"knob\", false, 0, t, 100, b);",
       "96 0C 00 " ZERO " 00 74 00 1C 96 08 00 07 64 00 00 00 00 62 00 1C "
       "96 0D 00 07 01 00 00 00 05 00 00 6B 6E 6F 62 00 27"},
      {"trace(getProperty(mc, _y));", "96 04 00 00 6D 63 00 1C 96 05 00 07 01 00 00 00 22 26"},
      {"trace(getProperty(mc, _x));", "96 04 00 00 6D 63 00 1C 96 05 00 07 00 00 00 00 22 26"},
      {"getVersion();", "96 0C 00 00 2F 3A 24 76 65 72 73 69 6F 6E 00 1C 17"},
      {"set(\"a\", 1);", "96 08 00 00 61 00 07 01 00 00 00 1D"},
      {"x = Number(s);", "96 06 00 00 78 00 00 73 00 1C 4A 1D"},
      {"foo(1, 2);", "96 14 00 07 02 00 00 00 07 01 00 00 00 07 02 00 00 00 00 66 6F 6F 00 3D 17"},
      {"foo();", "96 0E 00 " ZERO " 00 66 6F 6F 00 3D 17"},
      {"trace(void(0));", "96 09 00 " ZERO " 17 96 01 00 03 26"},
      {"void();", "96 01 00 03 17"},
      {"setProperty(\"\", _alpha, _alpha / 2);",
       "96 0E 00 00 00 07 06 00 00 00 00 00 07 06 00 00 00 22 96 05 00 07 02 00 00 00 0D 23"},
  };
  for (const auto& c : cases) ExpectBytes(c);
}

// SWF 5 players read 256 pool entries, later ones 65535: the 257th string joins the pool
// only from SWF 6 on, and index 256 takes the two-byte form.
TEST(CodegenBytes, PoolLimitDependsOnTheVersion) {
  std::string script = "x = [";
  for (int i = 0; i < 256; ++i) script += (i ? ", " : "") + std::string("s") + std::to_string(i) + ", s" + std::to_string(i);
  script += "];";
  const std::string v5 = " " + CompileHex(script, 5) + " ";
  const std::string v6 = " " + CompileHex(script, 6) + " ";
  // The pool holds "x", then the elements from the last: s0 is its 257th string.
  const std::string inlineName = " 00 73 30 00 1C ";
  EXPECT_NE(v6.find(" 09 00 01 1C "), std::string::npos);
  EXPECT_EQ(v6.find(inlineName), std::string::npos);
  EXPECT_NE(v5.find(inlineName), std::string::npos);
  EXPECT_EQ(v5.find(" 09 00 01 1C "), std::string::npos);
}

}  // namespace
