// Writing a one-hour stream movie (128 kbit/s MP3 at 12 fps: 43,200 frames, one sound block
// each) through the movie writer, beside copying the same number of bytes from file to file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "flash/swf/ControlTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfMovieWriter.h"
#include "toolbox/Utf8.h"

namespace {

constexpr uint32_t kFrames = 43200;                   // one hour at 12 fps
constexpr uint32_t kBlockBytes = 128000 / 8 / 12 + 4;  // a frame's share of 128 kbit/s

std::filesystem::path Scratch(const char* name) { return std::filesystem::temp_directory_path() / name; }

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

uint32_t WriteHourMovie(const std::filesystem::path& path) {
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, 12, 6);
  if (!w.Open(P(path), true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0, 0, 0), false);
  auto* head = new SoundStreamHeadTag();
  head->SetStreamCompression(2), head->SetStreamRate(3), head->SetStreamSize(1);
  head->sampleCount = 3675;
  w.WriteTag(head, false);
  const std::vector<uint8_t> data(kBlockBytes, 0x5A);
  for (uint32_t i = 0; i < kFrames; ++i) {
    auto* block = new SoundStreamBlockTag();
    block->data = data;
    w.WriteTag(block, false);
    w.WriteTag(new RawTag(1, 0), false);
  }
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

void BM_WriteHourStreamMovie(benchmark::State& state) {
  const auto path = Scratch("bench-hour.swf");
  uint32_t length = 0;
  for (auto _ : state) length = WriteHourMovie(path);
  if (length == 0) state.SkipWithError("the movie could not be written");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["bytes"] = length;
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteHourStreamMovie)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same number of bytes copied from one file into a new one.
void BM_CopySameBytes(benchmark::State& state) {
  const auto movie = Scratch("bench-hour-src.swf");
  const auto copy = Scratch("bench-hour-copy.swf");
  const uint32_t length = WriteHourMovie(movie);
  std::vector<char> buffer(256 * 1024);
  for (auto _ : state) {
    FILE* in = std::fopen(movie.c_str(), "rb");
    FILE* out = std::fopen(copy.c_str(), "wb");
    if (!in || !out) {
      state.SkipWithError("the files could not be opened");
      if (in) std::fclose(in);
      if (out) std::fclose(out);
      break;
    }
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, n, out);
    std::fclose(in);
    std::fflush(out);
    fsync(fileno(out));
    std::fclose(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["bytes"] = length;
  std::filesystem::remove(movie);
  std::filesystem::remove(copy);
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
