// Compiled scripts run in the browser Flash player: what they trace shows that the code
// does what the script says, where the bytes alone could hide a wrong stack.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodegenTestSupport.h"
#include "support/Player.h"

namespace {

struct PlayerCase {
  const char* name;
  int version;
  std::string script;
  std::vector<std::string> traces;
};

TEST(CodegenPlayer, CompiledScriptsTraceWhatTheySay) {
  SKIP_WITHOUT_PLAYER();
  std::vector<PlayerCase> cases = {
      {"utf8 text", 6, "trace(\"\xC3\xA9\");", {"\xC3\xA9"}},
      {"escapes", 6, "trace(\"say \\\"hi\\\" \\\\ \\u00e9\");", {"say \"hi\" \\ \xC3\xA9"}},
      {"escaped surrogate pair", 6, "s = \"\\uD83D\\uDE00\"; trace(s == \"\xF0\x9F\x98\x80\"); trace(s);",
       {"true", "\xF0\x9F\x98\x80"}},
      {"latin-1 text", 5, "trace(\"\xC3\xA9\".length);", {"1"}},
      {"integer literals", 6,
       "trace(3000000000); trace(0xFFFFFFFF); trace(4294967296); trace(-3000000000); trace(2147483647);",
       {"3000000000", "4294967295", "4294967296", "-3000000000", "2147483647"}},
      {"constant chain", 6, "trace(Key.UP.toString()); x = Key.UP; trace(x + 1);", {"38", "39"}},
      {"for..in over a member, SWF 6", 6,
       "o = {p: {a: 1, b: 2, c: 3}}; n = []; for (k in o.p) { n.push(k); } n.sort(); trace(n.join(\",\"));",
       {"a,b,c"}},
      {"for..in over a member, SWF 5", 5,
       "o = new Object(); o.p = new Object(); o.p.a = 1; o.p.b = 2; o.p.c = 3; n = new Array();"
       "for (k in o.p) { n.push(k); } n.sort(); trace(n.join(\",\"));",
       {"a,b,c"}},
      {"for condition ending in a constant", 6,
       "x = true; n = 0; for (; x || 1;) { n++; if (n > 2) break; } trace(n);", {"3"}},
      {"break out of a nested for..in", 6,
       "o = {a: 1, b: 2, c: 3}; p = {x: 1, y: 2}; s = [];"
       "for (k in o) { for (j in p) { break; } s.push(k); } s.sort(); trace(s.join(\",\"));",
       {"a,b,c"}},
      {"break out of a for..in inside a function", 6,
       "function first(o) { for (k in o) { if (k != \"\") break; } return k; }"
       "r = first({q: 1}); trace(r);",
       {"q"}},
      {"return from inside nested for..in loops", 6,
       "function first(o) { for (k in o) { for (j in o) { return k + j; } } }"
       "o = {a: 1, b: 2}; s = []; for (n in o) { x = first({q: 1}); s.push(n); } s.sort();"
       "trace(s.join(\",\")); trace(x);",
       {"a,b", "qq"}},
      {"expression lists inside for..in", 6,
       "o = {a: 1, b: 2, c: 3}; s = [];"
       "for (k in o) { for (i = 0, j = 9; i < j; i++, j--) {} s.push(k); } s.sort(); trace(s.join(\",\"));",
       {"a,b,c"}},
      {"assignment values", 6,
       "a = 2; a += b = 1; trace(a); trace(b); c = true; x = c ? a = 5 : 2; trace(x); trace(a);",
       {"3", "1", "5", "5"}},
      {"delete a member", 6,
       "o = {p: \"v\"}; v = 1; delete o.p; trace(v); trace(typeof(o.p));", {"1", "undefined"}},
      {"call of a returned function", 6,
       "function f() { return function (n) { return n * 2; }; } trace(f()(21));", {"42"}},
      {"calls of computed function values", 6,
       "function h(n) { return \"h\" + n; } function k(n) { return \"k\" + n; } q = true; a = null;"
       "o = {f: h, g: k}; trace((q ? h : k)(4)); trace((a || h)(1)); trace((function (x) { return x * 2; })(21));"
       "trace((q ? o.f : o.g)(2));",
       {"h4", "h1", "42", "h2"}},
      {"object literal keys", 6,
       "o = {1: \"a\", \"b c\": 2, _x: 3, null: 4}; trace(o[1]); trace(o[\"b c\"]); trace(o._x); trace(o[\"null\"]);",
       {"a", "2", "3", "4"}},
      {"setProperty with the property's own value", 6,
       "setProperty(\"\", _alpha, 50); trace(_alpha); setProperty(\"\", _alpha, _alpha / 2); trace(_alpha);",
       {"50", "25"}},
      {"var without a value", 6, "function g() { var x; x = 3; return x; } trace(g()); trace(x);",
       {"3", "undefined"}},
      {"void", 6, "trace(void(1)); n = 0; void(n++, n++); trace(n);", {"undefined", "2"}},
      // Code after "?:", "&&" and "||" starts where both branches meet.
      {"value after a conditional", 6,
       "q = false; r = \"R\"; x = (q ? \"s\" : r) + 1; trace(x); trace(\"after\");", {"R1", "after"}},
      {"values after branches", 5,
       "function f(v) { return v + \"!\"; } q = true; r = \"R\"; a = \"\"; x = [q ? \"s\" : r]; trace(x);"
       "trace(f(q ? \"s\" : r)); o = {a: q ? \"s\" : r}; trace(o.a); trace(f(a || \"b\"));"
       "q = false; trace((q ? 1 : 2) * 3); trace([q ? \"s\" : r, 7].length);",
       {"s", "s!", "s", "b!", "6", "2"}},
      // The target's object and key are evaluated once, also when they have side effects.
      {"compound assignment and increment of a member with side effects", 6,
       "var arr = [10, 20, 30]; var i = 0; arr[i++] += 5; trace(arr + \" \" + i);"
       "n = 0; function g() { n++; return \"k\"; } o = {k: 1}; o[g()] += 10; trace(o.k + \" \" + n);"
       "a = [1, 2]; j = 0; trace(a[j++]++); trace(a + \" \" + j); trace(--a[--j]); trace(a + \" \" + j);"
       "b = [o]; m = 0; b[m++].k *= 2; trace(o.k + \" \" + m);",
       {"15,20,30 1", "11 1", "1", "2,2 1", "1", "1,2 0", "22 1"}},
      {"compound assignment of a member with side effects, SWF 5", 5,
       "arr = new Array(10, 20, 30); i = 0; y = arr[i++] -= 5; trace(arr + \" \" + i + \" \" + y);"
       "c = 0; function h() { c++; return \"v\"; } v = 4; eval(h())++; trace(v + \" \" + c);",
       {"5,20,30 1 5", "5 1"}},
      {"new in statement position inside for..in", 6,
       "o = {a: 1, b: 2}; s = []; for (k in o) { new Array(); s.push(k); } s.sort(); trace(s.join(\",\"));",
       {"a,b"}},
  };

  testsupport::ScratchDir dir;
  std::vector<std::filesystem::path> movies;
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string error;
    const auto actions = codegentest::CompiledActions(cases[i].script, cases[i].version, &error);
    ASSERT_FALSE(actions.empty()) << cases[i].name << ": " << error;
    movies.push_back(dir / ("case" + std::to_string(i) + ".swf"));
    testsupport::WriteFile(movies.back(), codegentest::ScriptMovie(actions, cases[i].version));
  }
  // loadMovie with a computed URL into level 2: the loaded movie's first frame runs there.
  // The player resolves relative URLs against the page, which serves movie N as movie/N.swf.
  const size_t child = movies.size();
  movies.push_back(dir / "child.swf");
  testsupport::WriteFile(movies.back(),
                         codegentest::ScriptMovie(codegentest::CompiledActions(
                                                      "trace(\"child on level 2: \" + (this == _level2));", 6),
                                                  6));
  const size_t parent = movies.size();
  movies.push_back(dir / "parent.swf");
  testsupport::WriteFile(
      movies.back(),
      codegentest::ScriptMovie(
          codegentest::CompiledActions("base = \"movie/" + std::to_string(child) + "\"; loadMovie(base + \".swf\", 2);", 6),
          6));

  // Each movie plays until it has traced as many lines as expected, and a dozen frames more.
  testsupport::PlayerOptions options;
  for (const auto& c : cases) options.counts.push_back(static_cast<int>(c.traces.size()));
  options.counts.push_back(1);
  options.counts.push_back(1);
  const auto results = testsupport::RunInPlayer(movies, options);
  ASSERT_EQ(results.size(), movies.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(results[i].errors.empty()) << cases[i].name << ": " << results[i].errors[0];
    EXPECT_EQ(results[i].traces, cases[i].traces) << cases[i].name << "\n" << cases[i].script;
  }
  EXPECT_EQ(results[child].traces, std::vector<std::string>{"child on level 2: false"});
  EXPECT_EQ(results[parent].traces, std::vector<std::string>{"child on level 2: true"});
}

}  // namespace
