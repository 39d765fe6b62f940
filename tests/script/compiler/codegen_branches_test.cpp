// Generated scripts over the grammar, compiled at SWF 5, 6 and 8: whatever the mix of
// branches, loops, functions and with-blocks, every branch and block end of the code lands on
// an instruction start, in frame scripts and in event handlers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "CodegenTestSupport.h"
#include "script/compiler/ScriptCompiler.h"

namespace {

// A small generator of scripts, the same for a seed on every platform.
class ScriptGenerator {
 public:
  explicit ScriptGenerator(uint64_t seed) : state_(seed) {}

  std::string Script() {
    std::string out;
    const int count = 1 + Below(4);
    for (int i = 0; i < count; ++i) out += Statement(2);
    return out;
  }

 private:
  // splitmix64
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  template <size_t N>
  const char* Pick(const char* const (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

  std::string Name() {
    static const char* const kNames[] = {"a", "b", "q", "r", "x", "o.p", "o[k]", "_x"};
    return Pick(kNames);
  }

  std::string Primary() {
    static const char* const kAtoms[] = {"a", "q", "r", "0", "1", "2.5", "\"s\"", "true", "null", "o.p", "Math.PI"};
    return Pick(kAtoms);
  }

  std::string Arguments(int depth) {
    std::string out;
    const int count = Below(3);
    for (int i = 0; i < count; ++i) out += (i ? ", " : "") + Expression(depth);
    return out;
  }

  std::string Expression(int depth) {
    if (depth <= 0) return Primary();
    const int d = depth - 1;
    static const char* const kOperators[] = {"*", "/", "%", "+", "-", "<<", ">>", ">>>", "<", ">", "<=", ">=",
                                             "==", "!=", "&", "^", "|", "&&", "||", "instanceof"};
    switch (Below(16)) {
      case 0: return Primary();
      case 1:
      case 2: return Expression(d) + " " + Pick(kOperators) + " " + Expression(d);
      case 3:
      case 4: return "(" + Expression(d) + " ? " + Expression(d) + " : " + Expression(d) + ")";
      case 5: return "(" + Expression(d) + (Below(2) ? " && " : " || ") + Expression(d) + ")";
      case 6: return "f(" + Arguments(d) + ")";
      case 7: return "o.m(" + Arguments(d) + ")";
      case 8: return "[" + Arguments(d) + "]";
      case 9: return "{u: " + Expression(d) + ", v: " + Expression(d) + "}";
      case 10: return "new Object(" + Arguments(d) + ")";
      case 11: {
        static const char* const kUnary[] = {"!", "-", "~", "+"};
        return std::string(Pick(kUnary)) + "(" + Expression(d) + ")";
      }
      case 12: return "(" + Expression(d) + " ? " + Name() + " = " + Expression(d) + " : " + Expression(d) + ")";
      case 13: return Below(2) ? "x++" : "--b";
      case 14: return "function (n) { " + Statement(d) + "return " + Expression(d) + "; }";
      default: return "o[" + Expression(d) + "]";
    }
  }

  std::string Statement(int depth) {
    const int d = depth - 1;
    const int choice = depth <= 0 ? Below(3) : Below(12);
    switch (choice) {
      case 0: return Name() + " = " + Expression(2) + "; ";
      case 1: return "f(" + Arguments(2) + "); ";
      case 2: return "trace(" + Expression(2) + "); ";
      case 3: return "if (" + Expression(1) + ") " + Statement(d) + (Below(2) ? "else " + Statement(d) : "");
      case 4: return "while (" + Expression(1) + ") { " + Statement(d) + "if (q) break; } ";
      case 5: return "do { " + Statement(d) + "} while (" + Expression(1) + "); ";
      case 6: return "for (i = 0; " + Expression(1) + "; i++) { " + Statement(d) + "continue; } ";
      case 7: return "for (k in o) { " + Statement(d) + "} ";
      case 8: return "with (o) { " + Statement(d) + "} ";
      case 9: return "function g" + std::to_string(Below(3)) + "(n) { " + Statement(d) + "return " + Expression(1) + "; } ";
      case 10: return "var v = " + Expression(2) + "; ";
      default: return Expression(2) + "; ";
    }
  }

  uint64_t state_;
};

TEST(CodegenBranches, GeneratedScriptsBranchOntoInstructions) {
  constexpr int kScripts = 2000;
  ScriptGenerator generator(20240531);
  int compiled = 0;
  for (int i = 0; i < kScripts; ++i) {
    std::string script = generator.Script();
    if (i % 10 == 1) script = "onClipEvent (enterFrame) { " + script + "}";
    if (i % 10 == 2) script = "on (release) { " + script + "} on (press) { x = q ? 1 : 2; }";
    // Parsed once and generated for each version: the parse takes most of the time.
    ScriptCompiler compiler;
    ScriptNode* root = compiler.Parse(script.c_str());
    ASSERT_NE(root, nullptr) << compiler.GetErrorMessage() << "\n" << script;
    for (const int version : {5, 6, 8}) {
      std::vector<uint8_t> code(compiler.Generate(root, version));
      compiler.CopyCode(code.data());
      if (code.empty()) continue;
      ++compiled;
      EXPECT_EQ(codegentest::CheckBranches(code, root->GetKind(), version), "") << "SWF " << version << ": " << script;
    }
    root->Release();
    // Some also through the shared Compile, which makes the code while parsing as well.
    if (i % 16 == 0) codegentest::Compile(script, 6);
  }
  // Nearly all of them compile: the check covers the code, not error paths.
  EXPECT_GT(compiled, kScripts * 3 * 9 / 10);
  std::printf("checked %d bodies of %d generated scripts\n", compiled, kScripts);
}

}  // namespace
