// Compilation speed: a script of 10,000 lines through the entry, from text to DoAction tag.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "script/compiler/CompileScript.h"

namespace {

TEST(CodegenBenchmark, TenThousandLines) {
  static const wchar_t* const kLines[] = {
      L"var position = 0, duration = 1000;",
      L"function format(ms) {",
      L"  var s = Math.floor(ms / 1000) % 60;",
      L"  return (s < 10 ? \"0\" : \"\") + s;",
      L"}",
      L"timeText.text = format(position) + \" / \" + format(duration);",
      L"for (var i = 0; i < bars.length; i++) { bars[i]._yscale = levels[i] * 100; }",
      L"if (position >= duration && !looping) { stop(); } else { position += 40; }",
      L"onEnterFrame = function () { _root.progress._xscale = position / duration * 100; };",
      L"sound.setVolume(volume.value); delete temporary;",
  };
  // Each group of lines in a function of its own, so that no body outgrows its 64 KB field.
  std::wstring script;
  int lines = 0;
  for (int group = 0; lines < 10000; ++group) {
    script += L"function group" + std::to_wstring(group) + L"() {\n";
    ++lines;
    for (int i = 0; i < 48; ++i, ++lines) {
      script += kLines[i % std::size(kLines)];
      script += L'\n';
    }
    script += L"}\n";
    ++lines;
  }
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  ScriptCompileError error;
  std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(script, 6, &error));
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  ASSERT_NE(tag, nullptr) << error.message;
  EXPECT_GT(tag->actions.size(), 200u);
  std::printf("[ BENCHMARK ] compiled %d lines in %.3f s: %.0f lines per second\n", lines, seconds,
              lines / seconds);
  EXPECT_LT(seconds, 60.0);
}

}  // namespace
