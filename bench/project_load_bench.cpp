// Project load: a document of 1,000 jobs without inputs loaded and every job read, against
// expat alone reading and parsing the same bytes from the same file (the floor). The
// document load without the job reads shows how the time divides.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "ExpatAlone.h"
#include "ProjectFile.h"
#include "framework/platform/WideText.h"

namespace {

constexpr int kJobs = 1000;

const std::filesystem::path& ProjectFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path p = std::filesystem::temp_directory_path() / "brivane_bench_project.xml";
    if (!projectfile::Write(FromNativeString(p.string()), kJobs)) std::abort();
    return p;
  }();
  return path;
}

void BM_ExpatAlone(benchmark::State& state) {
  const std::string name = ProjectFile().string();
  for (auto _ : state) {
    const int elements = expatalone::Parse(name.c_str());
    if (elements < 0) state.SkipWithError("expat failed");
    benchmark::DoNotOptimize(elements);
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(ProjectFile()));
}
BENCHMARK(BM_ExpatAlone)->Unit(benchmark::kMillisecond);

void BM_LoadDocumentOnly(benchmark::State& state) {
  const PathString path = FromNativeString(ProjectFile().string());
  for (auto _ : state) {
    XmlDocument document;
    if (!document.Load(path)) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(ProjectFile()));
}
BENCHMARK(BM_LoadDocumentOnly)->Unit(benchmark::kMillisecond);

void BM_LoadProjectAndReadJobs(benchmark::State& state) {
  const PathString path = FromNativeString(ProjectFile().string());
  for (auto _ : state) {
    if (projectfile::LoadAndReadJobs(path) != kJobs) state.SkipWithError("not every job was read");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(ProjectFile()));
}
BENCHMARK(BM_LoadProjectAndReadJobs)->Unit(benchmark::kMillisecond);

}  // namespace
