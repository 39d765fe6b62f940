// The FFmpeg media source judged by ffprobe: files made by sox, lame and ffmpeg report the
// duration ffprobe reports (within a millisecond, or one audio frame where ffprobe itself
// estimates), the picture size and whether they hold sound and video.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "framework/platform/WideText.h"
#include "generation/FfmpegMediaSource.h"
#include "generation/MediaSource.h"
#include "support/TestSupport.h"

namespace {

using testsupport::HaveTool;
std::string Sh(const std::string& command, int* status = nullptr) {
  return testsupport::Run(command, status);
}

#define SKIP_WITHOUT(tool) \
  if (!HaveTool(tool)) GTEST_SKIP() << tool " is not installed"

double ProbeDurationMs(const std::string& file) {
  std::string out = Sh("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'");
  return std::strtod(out.c_str(), nullptr) * 1000.0;
}

// The end of the last audio packet, counted from the stream's start, as ffprobe lists them.
double ProbePacketEndMs(const std::string& file) {
  std::string out = Sh(
      "ffprobe -v error -select_streams a:0 -show_entries packet=pts_time,duration_time "
      "-of csv=p=0 '" + file + "' | LC_ALL=C awk -F, '{e=$1+$2; if (e>m) m=e} END {printf \"%.6f\", m}'");
  return std::strtod(out.c_str(), nullptr) * 1000.0;
}

struct Made {
  std::string name;
  std::string command;  // {} is replaced by the file's path
  double tolerance_ms;  // one MP3 frame where the encoder pads, else 1 ms
  bool sound, video;
  int width, height;
};

TEST(FfmpegMediaSourceOracle, MatchesFfprobe) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("ffprobe");
  SKIP_WITHOUT("sox");
  SKIP_WITHOUT("lame");
  testsupport::ScratchDir dir;
  const std::string ff = "ffmpeg -v error -y ";
  const Made files[] = {
      {"a.wav", ff + "-f lavfi -i sine=frequency=440:duration=1.234 -ar 44100 {}", 1, true, false, 0, 0},
      {"b.aiff", ff + "-f lavfi -i sine=frequency=300:duration=0.5 -ac 2 {}", 1, true, false, 0, 0},
      {"c.aif", "sox -n -r 22050 -c 1 -b 16 {} synth 2.5 sine 500", 1, true, false, 0, 0},
      {"d.wav", "sox -n -r 8000 -c 2 {} synth 0.75 sine 200", 1, true, false, 0, 0},
      {"e.mp3", ff + "-f lavfi -i sine=frequency=440:duration=3.1 -c:a libmp3lame -b:a 128k {}", 1, true, false, 0, 0},
      {"f.mp3", "sox -n -r 44100 -c 2 -b 16 " + std::string("{}.wav synth 4.2 sine 440 && lame --quiet -V 4 {}.wav {}"), 1, true, false, 0, 0},
      {"g.mp4", ff + "-f lavfi -i testsrc=size=176x144:rate=10:duration=2 -f lavfi -i sine=duration=2 -c:v mpeg4 -c:a aac -shortest {}", 1, true, true, 176, 144},
      {"h.mov", ff + "-f lavfi -i testsrc=size=64x48:rate=5:duration=1.6 -c:v mpeg4 {}", 1, false, true, 64, 48},
      {"i.m4a", ff + "-f lavfi -i sine=duration=1.5 -c:a aac {}", 1, true, false, 0, 0},
  };
  for (const Made& m : files) {
    SCOPED_TRACE(m.name);
    const std::string path = (dir / m.name).string();
    std::string cmd = m.command;
    for (size_t p; (p = cmd.find("{}")) != std::string::npos;) cmd.replace(p, 2, "'" + path + "'");
    int status = 0;
    Sh(cmd + " 2>/dev/null", &status);
    ASSERT_EQ(status, 0) << cmd;
    FfmpegMediaSource source;
    ASSERT_TRUE(source.Open(FromNativeString(path)));
    EXPECT_NEAR(source.GetDurationMs(), ProbeDurationMs(path), m.tolerance_ms);
    EXPECT_EQ(source.HasSound(), m.sound);
    EXPECT_EQ(source.HasVideo(), m.video);
    int32_t w = -1, h = -1;
    source.GetSize(w, h);
    EXPECT_EQ(w, m.width);
    EXPECT_EQ(h, m.height);
  }
}

TEST(FfmpegMediaSourceOracle, HeaderlessVbrMp3IsCountedNotEstimated) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("ffprobe");
  SKIP_WITHOUT("lame");
  testsupport::ScratchDir dir;
  const std::string wav = (dir / "v.wav").string(), mp3 = (dir / "v.mp3").string();
  int status = 0;
  // Silence then noise: the bit rate varies a lot, so an estimate from the first frames'
  // rate is far off; -t drops the Xing header.
  Sh("ffmpeg -v error -y -f lavfi -i 'anullsrc=r=44100:cl=mono:d=3' -f lavfi -i "
      "'anoisesrc=d=3:r=44100' -filter_complex '[0][1]concat=n=2:v=0:a=1' '" + wav + "' && "
      "lame --quiet -t -V 2 '" + wav + "' '" + mp3 + "'",
      &status);
  ASSERT_EQ(status, 0);
  FfmpegMediaSource source;
  ASSERT_TRUE(source.Open(FromNativeString(mp3)));
  const double counted = ProbePacketEndMs(mp3);
  EXPECT_GT(counted, 5900);
  EXPECT_NEAR(source.GetDurationMs(), counted, 1.0);
}

TEST(FfmpegMediaSourceOracle, VideoOnlyFileHasNoSoundAndCoverArtIsNoVideo) {
  SKIP_WITHOUT("ffmpeg");
  testsupport::ScratchDir dir;
  const std::string cover = (dir / "cover.png").string(), mp3 = (dir / "art.mp3").string();
  int status = 0;
  Sh("ffmpeg -v error -y -f lavfi -i color=c=red:s=32x32:d=1 -frames:v 1 '" + cover +
          "' && ffmpeg -v error -y -f lavfi -i sine=duration=1 -i '" + cover +
          "' -map 0:a -map 1:v -c:a libmp3lame -c:v png -disposition:v attached_pic '" + mp3 + "'",
      &status);
  ASSERT_EQ(status, 0);
  FfmpegMediaSource source;
  ASSERT_TRUE(source.Open(FromNativeString(mp3)));
  EXPECT_TRUE(source.HasSound());
  EXPECT_FALSE(source.HasVideo());
  int32_t w = -1, h = -1;
  source.GetSize(w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST(FfmpegMediaSourceOracle, BadFilesFailCleanly) {
  SKIP_WITHOUT("ffmpeg");
  testsupport::ScratchDir dir;
  const std::string good = (dir / "good.wav").string();
  int status = 0;
  Sh("ffmpeg -v error -y -f lavfi -i sine=duration=1 '" + good + "'", &status);
  ASSERT_EQ(status, 0);
  const std::string bytes = testsupport::ReadFile(good);
  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  testsupport::WriteFile(dir / "noise.wav", noise);
  testsupport::WriteFile(dir / "empty.mp3", "");
  testsupport::WriteFile(dir / "head.wav", bytes.substr(0, 20));
  // A playlist that points at another local file: not a format the check reads.
  testsupport::WriteFile(dir / "list.mp3", "#EXTM3U\n#EXTINF:1,\n" + good + "\n");
  testsupport::WriteFile(dir / "concat.wav", "ffconcat version 1.0\nfile '" + good + "'\n");
  for (const char* name : {"noise.wav", "empty.mp3", "head.wav", "list.mp3", "concat.wav", "missing.wav"}) {
    FfmpegMediaSource source;
    EXPECT_FALSE(source.Open(FromNativeString((dir / name).string()))) << name;
    EXPECT_FALSE(source.HasSound()) << name;
    EXPECT_EQ(source.GetDurationMs(), 0u) << name;
  }
  // A truncated file that still has a header opens, with a shorter duration.
  testsupport::WriteFile(dir / "half.wav", bytes.substr(0, bytes.size() / 2));
  FfmpegMediaSource half;
  if (half.Open(FromNativeString((dir / "half.wav").string()))) {
    EXPECT_LE(half.GetDurationMs(), 1000u);
  }
  // A colon in the name is not a protocol.
  testsupport::WriteFile(dir / "http:x.wav", bytes);
  FfmpegMediaSource colon;
  EXPECT_TRUE(colon.Open(FromNativeString((dir / "http:x.wav").string())));
}

}  // namespace
