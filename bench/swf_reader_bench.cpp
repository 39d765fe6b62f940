// Reading the one-hour stream movie (43,200 frames, one sound block each) into a tag list and
// writing it back through the movie writer, beside copying its bytes; and compressing it to
// CWS, beside zlib at level 9 alone on the same bytes in memory.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfCompression.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "toolbox/Utf8.h"

namespace {

constexpr uint32_t kFrames = 43200;                   // one hour at 12 fps
constexpr uint32_t kBlockBytes = 128000 / 8 / 12 + 4;  // a frame's share of 128 kbit/s

std::filesystem::path Scratch(const char* name) { return std::filesystem::temp_directory_path() / name; }

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

// Sound data that varies like real MP3 bytes do, so that compression has work to do.
std::vector<uint8_t> BlockData(uint32_t frame) {
  std::vector<uint8_t> data(kBlockBytes);
  uint32_t x = frame * 2654435761u + 1;
  for (auto& b : data) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<uint8_t>(x % 7 == 0 ? x >> 8 : 0x55);
  }
  return data;
}

uint32_t WriteHourMovie(const std::filesystem::path& path) {
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, 12, 6);
  if (!w.Open(P(path), true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0, 0, 0), false);
  auto* head = new SoundStreamHeadTag();
  head->SetStreamCompression(2), head->SetStreamRate(3), head->SetStreamSize(1);
  head->sampleCount = 3675;
  w.WriteTag(head, false);
  for (uint32_t i = 0; i < kFrames; ++i) {
    auto* block = new SoundStreamBlockTag();
    block->data = BlockData(i);
    w.WriteTag(block, false);
    w.WriteTag(new ShowFrameTag(), false);
  }
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

const std::filesystem::path& HourMovie() {
  static const std::filesystem::path path = [] {
    auto p = Scratch("bench-read-hour.swf");
    WriteHourMovie(p);
    std::atexit([] { std::filesystem::remove(Scratch("bench-read-hour.swf")); });
    return p;
  }();
  return path;
}

void BM_ReadAndWriteBackHourMovie(benchmark::State& state) {
  const auto out = Scratch("bench-read-hour-again.swf");
  uint32_t length = 0;
  for (auto _ : state) {
    SwfReader r;
    if (!r.ReadAllTagsFromMemory(P(HourMovie()), true, 0, true)) {
      state.SkipWithError("the movie could not be read");
      break;
    }
    SwfMovieWriter w;
    w.SetHeaderFrom(r.header);
    if (!w.Open(P(out), true)) {
      state.SkipWithError("the copy could not be opened");
      break;
    }
    for (SwfTag* t : r.tags) w.WriteTag(t, false);
    r.tags.clear();
    length = w.Close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["bytes"] = length;
  std::filesystem::remove(out);
}
BENCHMARK(BM_ReadAndWriteBackHourMovie)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same bytes copied from one file into a new one.
void BM_CopyHourMovieBytes(benchmark::State& state) {
  const auto copy = Scratch("bench-read-hour-copy.swf");
  std::vector<char> buffer(256 * 1024);
  for (auto _ : state) {
    FILE* in = std::fopen(HourMovie().c_str(), "rb");
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
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * std::filesystem::file_size(HourMovie()));
  std::filesystem::remove(copy);
}
BENCHMARK(BM_CopyHourMovieBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompressHourMovie(benchmark::State& state) {
  const auto out = Scratch("bench-read-hour-c.swf");
  for (auto _ : state)
    if (!CompressSwfFile(P(HourMovie()), P(out), true)) state.SkipWithError("compression failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * std::filesystem::file_size(HourMovie()));
  state.counters["compressed"] = static_cast<double>(std::filesystem::file_size(out));
  std::filesystem::remove(out);
}
BENCHMARK(BM_CompressHourMovie)->Unit(benchmark::kMillisecond)->Iterations(1);

// zlib level 9 alone: the same body, from memory to memory.
void BM_Zlib9Alone(benchmark::State& state) {
  std::ifstream in(HourMovie(), std::ios::binary);
  const std::vector<uint8_t> movie((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> out(compressBound(movie.size()));
  uLongf size = 0;
  for (auto _ : state) {
    size = out.size();
    compress2(out.data(), &size, movie.data() + 8, movie.size() - 8, 9);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * movie.size());
  state.counters["compressed"] = static_cast<double>(size + 8);
}
BENCHMARK(BM_Zlib9Alone)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
