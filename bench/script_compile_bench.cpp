// Compile speed: a generated script of 9,000 lines through the compiler's entry, from text to
// DoAction tag; one very long operator chain; the front end alone; code generation alone from
// a parsed tree; reading the compiled actions from their bytes, as the tag does when they are
// first asked for. The yardstick is the same benchmark built from an older tree (see
// compare.py).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ScriptGenerator.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "script/compiler/CompileScript.h"
#include "toolbox/Utf8.h"

namespace {

// A new compiler in `compiler` and the tree it parses from `text`; null, with the error
// given to `state`, when the text does not parse.
ScriptNode* ParseWithNewCompiler(std::unique_ptr<ScriptCompiler>& compiler, const std::string& text,
                                 benchmark::State& state) {
  compiler.reset(NewScriptCompiler());
  compiler->SetTextEncoding(ScriptTextEncoding::kUtf8);
  ScriptNode* tree = compiler->Parse(text.c_str());
  if (!tree) state.SkipWithError(compiler->GetErrorMessage());
  return tree;
}

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

// Code generation alone: each round parses the script outside the timing (generation
// rewrites the tree it walks, and a tree made by the parser lies in memory as it will in a
// real compile), then times Generate.
void BM_GenerateScript(benchmark::State& state) {
  const std::string text = scriptgen::Script(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<ScriptCompiler> compiler;
    ScriptNode* tree = ParseWithNewCompiler(compiler, text, state);
    if (!tree) break;
    state.ResumeTiming();
    const uint32_t length = compiler->Generate(tree, 6);
    if (length == 0) state.SkipWithError(compiler->GetErrorMessage());
    benchmark::DoNotOptimize(length);
    state.PauseTiming();
    tree->Release();
    compiler.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GenerateScript)->Arg(9000)->Unit(benchmark::kMillisecond);

// What the compiled tag's first use costs: its actions read from their bytes into a DoAction
// tag (the compile itself leaves them as bytes).
void BM_ReadBackActions(benchmark::State& state) {
  ScriptCompileError error;
  std::unique_ptr<DoActionTag> compiled(
      CompileScriptToDoAction(toolbox::Utf8ToWide(scriptgen::Script(static_cast<int>(state.range(0)))), 6, &error));
  if (!compiled) {
    state.SkipWithError(error.message.c_str());
    return;
  }
  SwfBitWriter code(6);
  compiled->WriteActions(code, false);
  compiled.reset();
  for (auto _ : state) {
    state.PauseTiming();
    auto reader = std::make_unique<SwfReader>();
    reader->LoadFromWriter(code);
    auto tag = std::make_unique<DoActionTag>(6);
    state.ResumeTiming();
    tag->Read(*reader);
    benchmark::DoNotOptimize(tag->actions.data());
    state.PauseTiming();
    tag.reset();
    reader.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadBackActions)->Arg(9000)->Unit(benchmark::kMillisecond);

// One statement that is a left-associative chain of 100,000 operands, as generated scripts
// build long strings, through the compiler's entry: the chain is walked without recursion.
void BM_CompileOperatorChain(benchmark::State& state) {
  const char* const op = state.range(0) == 0 ? "+" : "||";
  std::string text = "x = \"a\"";
  for (int i = 1; i < 100000; ++i) text += std::string(" ") + op + " p" + std::to_string(i % 7);
  text += ";\n";
  const std::wstring script = toolbox::Utf8ToWide(text);
  state.SetLabel(op);
  for (auto _ : state) {
    ScriptCompileError error;
    std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(script, 6, &error));
    if (!tag) state.SkipWithError(error.message.c_str());
    benchmark::DoNotOptimize(tag.get());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_CompileOperatorChain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The front end alone: preprocessing, lexing and parsing into a tree, and releasing it.
void BM_ParseScript(benchmark::State& state) {
  const std::string text = scriptgen::Script(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<ScriptCompiler> compiler;
    ScriptNode* tree = ParseWithNewCompiler(compiler, text, state);
    if (!tree) break;
    tree->Release();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseScript)->Arg(9000)->Unit(benchmark::kMillisecond);

}  // namespace
