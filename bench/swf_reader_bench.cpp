// Reading the one-hour stream movie (43,200 frames, one sound block each) into a tag list and
// writing it back through the movie writer, beside copying its bytes; and compressing it to
// CWS, beside zlib at level 9 alone on the same bytes in memory.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "HourMovie.h"
#include "flash/swf/SwfCompression.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"

namespace {

using namespace hourmovie;

const std::filesystem::path& HourMovie() {
  static const std::filesystem::path path = [] {
    auto p = Scratch("bench-read-hour.swf");
    WriteHourMovie(p, true);
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

// The same, each tag written as soon as it is read from a window over the file: the same
// bytes out.
void BM_StreamHourMovieBack(benchmark::State& state) {
  const auto out = Scratch("bench-stream-hour-again.swf");
  uint32_t length = 0;
  for (auto _ : state) {
    SwfReader r;
    if (!r.OpenStream(P(HourMovie()))) {
      state.SkipWithError("the movie could not be read");
      break;
    }
    SwfMovieWriter w;
    w.SetHeaderFrom(r.header);
    if (!w.Open(P(out), true) || !StreamSwfTags(r, w)) {
      state.SkipWithError("the copy could not be written");
      break;
    }
    length = w.Close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["bytes"] = length;
  std::filesystem::remove(out);
}
BENCHMARK(BM_StreamHourMovieBack)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same bytes copied from one file into a new one.
void BM_CopyHourMovieBytes(benchmark::State& state) {
  const auto copy = Scratch("bench-read-hour-copy.swf");
  for (auto _ : state) {
    if (!CopyFileBytes(HourMovie(), copy)) {
      state.SkipWithError("the files could not be opened");
      break;
    }
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
