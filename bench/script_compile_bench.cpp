// Compile speed: a generated script of 9,000 lines through the compiler's entry, from text to
// DoAction tag. The yardstick is the same benchmark built from an older tree (see compare.py).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ScriptGenerator.h"
#include "script/compiler/CompileScript.h"
#include "toolbox/Utf8.h"

namespace {

void BM_CompileScript(benchmark::State& state) {
  const std::wstring script = toolbox::Utf8ToWide(scriptgen::Script(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    ScriptCompileError error;
    std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(script, 6, &error));
    if (!tag) state.SkipWithError(error.message.c_str());
    benchmark::DoNotOptimize(tag.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CompileScript)->Arg(1000)->Arg(9000)->Unit(benchmark::kMillisecond);

}  // namespace
