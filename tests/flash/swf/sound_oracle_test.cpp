// MP3 sound in written movies, judged by ffprobe and ffmpeg: the stream is found with the
// head's rate and channels, copies out as exactly the frames put in and decodes cleanly;
// an event sound reports its sample count as its duration.
#include <gtest/gtest.h>

#include "SwfMovies.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

using namespace swftest;
static std::string Shell(const std::string& c, int* s = nullptr) { return testsupport::Run(c, s); }
using testsupport::ScratchDir;

namespace {

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

// A tone encoded by lame: `seconds` of 440 Hz at `rate` with `channels`.
std::vector<Mp3Frame> EncodeTone(const ScratchDir& dir, int rate, int channels, int kbps, double seconds) {
  const auto wav = dir / "tone.wav", mp3 = dir / "tone.mp3";
  int status = 0;
  Shell("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 '" + wav.string() +
          "' synth " + std::to_string(seconds) + " sine 440 2>&1",
      &status);
  if (status != 0) return {};
  Shell("lame --silent -b " + std::to_string(kbps) + " '" + wav.string() + "' '" + mp3.string() + "' 2>&1", &status);
  if (status != 0) return {};
  return SplitMp3Frames(testsupport::ReadFile(mp3));
}

std::string Bytes(const std::vector<Mp3Frame>& frames) {
  std::string all;
  for (auto& f : frames) all += f.bytes;
  return all;
}

class SoundOracle : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "lame", "ffprobe", "ffmpeg"})
      if (!testsupport::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  }
};

}  // namespace

TEST_F(SoundOracle, StreamIsReadAsMp3AndCopiesOutExactly) {
  struct Case {
    int rate, channels, kbps;
    float fps;
  } cases[] = {{44100, 1, 128, 12}, {22050, 2, 64, 15}, {11025, 1, 32, 24}};
  for (auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    ScratchDir dir;
    const auto frames = EncodeTone(dir, c.rate, c.channels, c.kbps, 3.0);
    ASSERT_GT(frames.size(), 20u);
    ASSERT_EQ(frames[0].sampleRate, static_cast<uint32_t>(c.rate));
    const auto movie = dir / "m.swf";
    ASSERT_GT(WriteStreamMovie(P(movie), frames, c.fps, 6), 0u);

    EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of default=nw=1 '" +
                  movie.string() + "' 2>&1"),
              "codec_name=mp3\nsample_rate=" + std::to_string(c.rate) + "\nchannels=" + std::to_string(c.channels) +
                  "\n");
    const auto out = dir / "out.mp3";
    Shell("ffmpeg -v error -y -i '" + movie.string() + "' -c copy -f mp3 '" + out.string() + "' 2>&1");
    const auto back = SplitMp3Frames(testsupport::ReadFile(out));
    EXPECT_EQ(back.size(), frames.size());
    EXPECT_TRUE(Bytes(back) == Bytes(frames)) << "the frames copied out are the frames put in";
    EXPECT_EQ(Shell("ffmpeg -v error -i '" + movie.string() + "' -f null - 2>&1"), "");
  }
}

TEST_F(SoundOracle, EventSoundReportsItsSampleCount) {
  ScratchDir dir;
  const auto frames = EncodeTone(dir, 44100, 2, 128, 2.0);
  ASSERT_GT(frames.size(), 20u);
  const auto movie = dir / "m.swf";
  ASSERT_GT(WriteEventSoundMovie(P(movie), frames, 6), 0u);
  const uint32_t samples = static_cast<uint32_t>(frames.size() * 1152);
  EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration_ts -of "
                "default=nw=1 '" + movie.string() + "' 2>&1"),
            "codec_name=mp3\nsample_rate=44100\nchannels=2\nduration_ts=" + std::to_string(samples) + "\n");
  EXPECT_EQ(Shell("ffmpeg -v error -i '" + movie.string() + "' -f null - 2>&1"), "");
}
