// Project load: a document of 1,000 jobs without inputs loaded and every job read, against
// expat alone parsing the same bytes from the same file (the floor).
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "project/Job.h"

namespace {

constexpr int kJobs = 1000;

const std::filesystem::path& ProjectFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path p = std::filesystem::temp_directory_path() / "brivane_bench_project.xml";
    XmlWriter w;
    if (!w.Open(FromNativeString(p.string()), XmlWriterOptions(), true)) std::abort();
    for (int i = 0; i < kJobs; ++i) {
      Job job(nullptr);
      job.output = L"/movies/out " + std::to_wstring(i) + L" \u00e9t\u00e9 & co.swf";
      job.swf_width = 320 + i % 640;
      job.WriteXml(w);
    }
    if (!w.Close()) std::abort();
    return p;
  }();
  return path;
}

void BM_ExpatAlone(benchmark::State& state) {
  const std::string name = ProjectFile().string();
  for (auto _ : state) {
    std::ifstream in(name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    XML_Parser parser = XML_ParserCreate(nullptr);
    int elements = 0;
    XML_SetUserData(parser, &elements);
    XML_SetStartElementHandler(parser, [](void* data, const XML_Char*, const XML_Char**) {
      ++*static_cast<int*>(data);
    });
    if (XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) != XML_STATUS_OK)
      state.SkipWithError("expat failed");
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(elements);
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(ProjectFile()));
}
BENCHMARK(BM_ExpatAlone)->Unit(benchmark::kMillisecond);

void BM_LoadProjectAndReadJobs(benchmark::State& state) {
  const PathString path = FromNativeString(ProjectFile().string());
  for (auto _ : state) {
    XmlDocument document;
    XmlValue root;
    if (!document.Load(path) || !document.GetRoot(root)) state.SkipWithError("load failed");
    int read = 0;
    element_xml::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring&) {
      Job job(nullptr);
      read += job.ReadXml(child);
    });
    if (read != kJobs) state.SkipWithError("not every job was read");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(ProjectFile()));
}
BENCHMARK(BM_LoadProjectAndReadJobs)->Unit(benchmark::kMillisecond);

}  // namespace
