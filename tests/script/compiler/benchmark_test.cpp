// Preprocessing and parsing speed: a script of 10,000 lines, and deeply nested blocks, whose
// block trials must not repeat one another's work.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "script/compiler/ScriptCompiler.h"

namespace {

// A script of at least the given number of lines mixing the constructs of real scripts.
std::string LongScript(int& lines) {
  static const char* const kLines[] = {
      "// counters for the player",
      "var position = 0, duration = 1000;",
      "#define SHOW_TIME 1",
      "function format(ms) {",
      "  var s = Math.floor(ms / 1000) % 60; /* seconds */",
      "  return (s < 10 ? \"0\" : \"\") + s;",
      "}",
      "#ifdef SHOW_TIME",
      "timeText.text = format(position) + \" / \" + format(duration);",
      "#endif",
      "for (var i = 0; i < bars.length; i++) { bars[i]._yscale = levels[i] * 100; }",
      "if (position >= duration && !looping) { stop(); } else { position += 40; }",
      "onEnterFrame = function () { _root.progress._xscale = position / duration * 100; };",
      "sound.setVolume(volume.value); delete temporary;",
  };
  const int size = static_cast<int>(std::size(kLines));
  lines = (lines + size - 1) / size * size;
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += kLines[i % size];
    text += '\n';
  }
  return text;
}

TEST(Benchmark, TenThousandLines) {
  int lines = 10000;
  const std::string script = LongScript(lines);
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  ScriptCompiler compiler;
  std::unique_ptr<ScriptNode> root(compiler.Parse(script.c_str()));
  const double seconds =
      double(std::clock() - start) / CLOCKS_PER_SEC;
  ASSERT_NE(root, nullptr) << compiler.GetErrorMessage();
  // An inline block comment adds an output line.
  EXPECT_EQ(compiler.GetLineFiles().size(), static_cast<size_t>(lines + lines / 14));
  std::printf("[ BENCHMARK ] preprocessed and parsed %d lines in %.3f s: %.0f lines per second\n",
              lines, seconds, lines / seconds);
  EXPECT_LT(seconds, 60.0);
}

TEST(Benchmark, NestedBlocksParseInLinearTime) {
  const int depth = 100;
  std::string script;
  for (int i = 0; i < depth; ++i) script += "if (a) {\n";
  script += "x = 1;\n";
  for (int i = 0; i < depth; ++i) script += "}\n";
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  ScriptCompiler compiler;
  std::unique_ptr<ScriptNode> root(compiler.Parse(script.c_str()));
  const double seconds =
      double(std::clock() - start) / CLOCKS_PER_SEC;
  ASSERT_NE(root, nullptr) << compiler.GetErrorMessage();
  EXPECT_LT(seconds, 10.0);
}

}  // namespace
