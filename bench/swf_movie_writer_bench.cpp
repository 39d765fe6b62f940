// Writing a one-hour stream movie (128 kbit/s MP3 at 12 fps: 43,200 frames, one sound block
// each) through the movie writer, beside copying the same number of bytes from file to file.
#include <benchmark/benchmark.h>

#include "HourMovie.h"

namespace {

using namespace hourmovie;

void BM_WriteHourStreamMovie(benchmark::State& state) {
  const auto path = Scratch("bench-hour.swf");
  uint32_t length = 0;
  for (auto _ : state) length = WriteHourMovie(path, false);
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
  const uint32_t length = WriteHourMovie(movie, false);
  for (auto _ : state) {
    if (!CopyFileBytes(movie, copy)) {
      state.SkipWithError("the files could not be opened");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["bytes"] = length;
  std::filesystem::remove(movie);
  std::filesystem::remove(copy);
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
