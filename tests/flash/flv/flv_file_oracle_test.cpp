// FLV files of MP3 audio written by FlvFileWriter, judged by ffprobe/ffmpeg (and flvmeta
// where installed).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "flash/flv/AmfValue.h"
#include "flash/flv/FlvFileWriter.h"
#include "flash/flv/FlvTag.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

namespace {

using testsupport::HaveTool;
using testsupport::ReadFile;
using testsupport::ScratchDir;

struct Mp3Frame {
  size_t offset;
  size_t size;
};

struct Mp3Stream {
  std::string bytes;
  std::vector<Mp3Frame> frames;
  int sampleRate = 0;
  int channels = 0;
  int samplesPerFrame = 0;
};

// Splits an MPEG audio layer III stream into frames; skips an ID3v2 tag in front and stops
// at the first bytes that are not a frame (an ID3v1 tag, say).
Mp3Stream SplitMp3(std::string bytes) {
  Mp3Stream s;
  s.bytes = std::move(bytes);
  const auto b = [&](size_t i) { return static_cast<uint8_t>(s.bytes[i]); };
  size_t at = 0;
  if (s.bytes.size() >= 10 && s.bytes.compare(0, 3, "ID3") == 0)
    at = 10 + ((b(6) & 0x7F) << 21 | (b(7) & 0x7F) << 14 | (b(8) & 0x7F) << 7 | (b(9) & 0x7F));
  static const int kBitrates[2][15] = {
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},  // MPEG-1
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};     // MPEG-2, 2.5
  static const int kRates[3] = {44100, 48000, 32000};
  while (at + 4 <= s.bytes.size()) {
    if (b(at) != 0xFF || (b(at + 1) & 0xE0) != 0xE0) break;
    const int version = (b(at + 1) >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (b(at + 1) >> 1) & 3;    // 1 is layer III
    const int bitrateIndex = b(at + 2) >> 4;
    const int rateIndex = (b(at + 2) >> 2) & 3;
    const int padding = (b(at + 2) >> 1) & 1;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
      break;
    const bool mpeg1 = version == 3;
    const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int bitrate = kBitrates[mpeg1 ? 0 : 1][bitrateIndex] * 1000;
    const size_t size = (mpeg1 ? 144 : 72) * bitrate / rate + padding;
    if (at + size > s.bytes.size()) break;
    s.frames.push_back({at, size});
    s.sampleRate = rate;
    s.channels = (b(at + 3) >> 6) == 3 ? 1 : 2;
    s.samplesPerFrame = mpeg1 ? 1152 : 576;
    at += size;
  }
  return s;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Makes an MP3 of a tone with sox and lame.
Mp3Stream MakeMp3(const ScratchDir& dir, int rate, int channels, int kbps, double seconds) {
  const auto wav = dir / "tone.wav";
  const auto mp3 = dir / "tone.mp3";
  int status = 0;
  testsupport::Run("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 " +
          Quote(wav) + " synth " + std::to_string(seconds) + " sine 440 gain -6 2>&1",
      &status);
  EXPECT_EQ(status, 0) << "sox failed";
  testsupport::Run("lame --quiet --cbr -b " + std::to_string(kbps) + " " + Quote(wav) + " " + Quote(mp3) +
          " 2>&1",
      &status);
  EXPECT_EQ(status, 0) << "lame failed";
  return SplitMp3(ReadFile(mp3));
}

std::unique_ptr<AmfProperty> NumberProperty(const wchar_t* name, double value) {
  auto p = std::make_unique<AmfProperty>();
  p->SetName(MakeWideString(name));
  auto v = std::make_unique<AmfValue>(kAmfNumber);
  v->SetNumber(value);
  p->SetValue(std::move(v));
  return p;
}

struct Metadata {
  double duration;
  double audioDataRate;
};

// Writes the file in the order the FLV builder uses: header, onMetaData, audio tags.
uint32_t WriteMp3Flv(const std::filesystem::path& path, const Mp3Stream& mp3,
                     const Metadata& meta, uint8_t rateFlag, size_t framesPerTag,
                     uint32_t timeOffsetMs = 0) {
  FlvFileWriter writer;
  writer.SetHeader(false, true, 1);
  if (!writer.Open(toolbox::Utf8ToWide(path.string()), true)) return 0;

  auto* tag = new FlvTag(kFlvTagScriptData);
  auto script = std::make_unique<FlvScriptDataTag>();
  script->SetName(MakeWideString(L"onMetaData"));
  auto array = std::make_unique<AmfValue>(kAmfEcmaArray);
  array->AddProperty(NumberProperty(L"duration", meta.duration));
  array->AddProperty(NumberProperty(L"videodatarate", 0));
  array->AddProperty(NumberProperty(L"audiodatarate", meta.audioDataRate));
  array->AddProperty(NumberProperty(L"framerate", 0));
  array->AddProperty(NumberProperty(L"width", 0));
  array->AddProperty(NumberProperty(L"height", 0));
  array->AddProperty(NumberProperty(L"audiocodecid", 2));
  auto creator = std::make_unique<AmfProperty>();
  creator->SetName(MakeWideString(L"metadatacreator"));
  auto text = std::make_unique<AmfValue>(kAmfString);
  text->SetString(MakeWideString(L"Orvenna"));
  creator->SetValue(std::move(text));
  array->AddProperty(std::move(creator));
  script->SetValue(std::move(array));
  tag->SetBody(std::move(script));
  writer.WriteTag(tag, false);

  for (size_t first = 0; first < mp3.frames.size(); first += framesPerTag) {
    const size_t last = std::min(first + framesPerTag, mp3.frames.size()) - 1;
    const size_t begin = mp3.frames[first].offset;
    const size_t end = mp3.frames[last].offset + mp3.frames[last].size;
    auto* audioTag = new FlvTag(kFlvTagAudio);
    auto audio = std::make_unique<FlvAudioData>();
    audio->SetSoundFormat(0x20);
    audio->SetSoundRate(rateFlag);
    audio->SetSoundSize(0x02);
    audio->SetSoundType(mp3.channels == 2 ? 1 : 0);
    audio->SetData(reinterpret_cast<const uint8_t*>(mp3.bytes.data()) + begin,
                   static_cast<uint32_t>(end - begin));
    audioTag->SetBody(std::move(audio));
    audioTag->timestamp = timeOffsetMs + static_cast<uint32_t>(std::llround(
                                             1000.0 * first * mp3.samplesPerFrame / mp3.sampleRate));
    writer.WriteTag(audioTag, false);
  }
  return writer.Close();
}

// ffprobe's key=value lines, later keys winning.
std::map<std::string, std::string> Probe(const std::filesystem::path& file,
                                         const std::string& entries) {
  int status = 0;
  std::string out = testsupport::Run("ffprobe -v error -show_entries " + entries + " -of default=nw=1 " +
                            Quote(file) + " 2>&1",
                        &status);
  EXPECT_EQ(status, 0) << out;
  std::map<std::string, std::string> values;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// flvmeta's summary line when it found no error (warnings about what the metadata holds are
// the builder's business).
bool NoErrorLine(const std::string& report) {
  return report.rfind("0 error(s)", 0) == 0 || report.find("\n0 error(s)") != std::string::npos;
}

#define SKIP_WITHOUT_TOOLS()                                                               \
  do {                                                                                     \
    for (const char* tool : {"ffprobe", "ffmpeg", "sox", "lame"})                          \
      if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";                    \
  } while (0)

TEST(FlvMp3Oracle, FfprobeReadsStreamAndMetadata) {
  SKIP_WITHOUT_TOOLS();
  struct Case {
    int rate, channels, kbps;
    uint8_t rateFlag;
    size_t framesPerTag;
  };
  const std::vector<Case> cases = {
      {44100, 2, 128, 0x0C, 1},
      {44100, 1, 64, 0x0C, 5},
      {22050, 1, 32, 0x08, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    ScratchDir dir;
    Mp3Stream mp3 = MakeMp3(dir, c.rate, c.channels, c.kbps, 3.0);
    ASSERT_GT(mp3.frames.size(), 50u);
    ASSERT_EQ(mp3.sampleRate, c.rate);
    ASSERT_EQ(mp3.channels, c.channels);
    const double duration = double(mp3.frames.size()) * mp3.samplesPerFrame / mp3.sampleRate;
    const auto flv = dir / "out.flv";
    const uint32_t size = WriteMp3Flv(flv, mp3, {duration, double(c.kbps)}, c.rateFlag,
                                      c.framesPerTag);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(size, std::filesystem::file_size(flv));

    auto stream = Probe(flv, "stream=codec_name,sample_rate,channels");
    EXPECT_EQ(stream["codec_name"], "mp3");
    EXPECT_EQ(stream["sample_rate"], std::to_string(c.rate));
    EXPECT_EQ(stream["channels"], std::to_string(c.channels));
    auto format = Probe(flv, "format=format_name,duration:format_tags");
    EXPECT_EQ(format["format_name"], "flv");
    EXPECT_NEAR(std::stod(format["duration"]), duration, 0.001);
    EXPECT_EQ(format["TAG:metadatacreator"], "Orvenna");

    // With the metadata trusted, the stream's codec comes from audiocodecid.
    int status = 0;
    std::string fromMeta = testsupport::Run("ffprobe -v error -flv_metadata 1 -show_entries "
                               "stream=codec_name -of default=nw=1:nk=1 " + Quote(flv) + " 2>&1",
                               &status);
    EXPECT_EQ(fromMeta, "mp3\n");

    // Every frame decodes without a message.
    std::string decode =
        testsupport::Run("ffmpeg -nostdin -v error -i " + Quote(flv) + " -f null - 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(decode, "");

    // The audio comes out as the MP3 bytes that went in.
    const auto copy = dir / "copy.mp3";
    testsupport::Run("ffmpeg -nostdin -v error -i " + Quote(flv) + " -c copy -f mp3 -write_xing 0 -id3v2_version 0 " +
            Quote(copy) + " 2>&1",
        &status);
    const std::string copied = ReadFile(copy);
    const size_t audioStart = mp3.frames.front().offset;
    const size_t audioEnd = mp3.frames.back().offset + mp3.frames.back().size;
    EXPECT_TRUE(copied == mp3.bytes.substr(audioStart, audioEnd - audioStart))
        << "copied " << copied.size() << " bytes";

    // The trusted metadata also gives the stream's bit rate, from audiodatarate in kbit/s.
    auto trusted = testsupport::Run("ffprobe -v error -flv_metadata 1 -show_entries "
                                    "stream=bit_rate -of default=nw=1:nk=1 " + Quote(flv) +
                                        " 2>&1",
                                    &status);
    EXPECT_EQ(trusted, std::to_string(c.kbps * 1024) + "\n");

    if (HaveTool("flvmeta") && testsupport::HavePython()) {
      std::string check = testsupport::Run("flvmeta --check " + Quote(flv) + " 2>&1", &status);
      EXPECT_TRUE(NoErrorLine(check)) << check;
      // The onMetaData values in their order, as another reader finds them.
      std::string dump = testsupport::Run(
          "flvmeta --dump --json " + Quote(flv) +
              " | python3 -c 'import json,sys\n"
              "for k, v in json.load(sys.stdin).items():\n"
              "  print(k, (\"%.6f\" % v) if isinstance(v, (int, float)) else v)'",
          &status);
      char expected[512];
      snprintf(expected, sizeof expected,
               "duration %.6f\nvideodatarate 0.000000\naudiodatarate %.6f\n"
               "framerate 0.000000\nwidth 0.000000\nheight 0.000000\n"
               "audiocodecid 2.000000\nmetadatacreator Orvenna\n",
               duration, double(c.kbps));
      EXPECT_EQ(dump, expected);
    }
  }
}

// Timestamps past 2^24 ms continue in the extended byte: an audio tag at 17,000,000 ms is
// read at 17000 s, not at 17000000 - 2^24 ms, and the timeline keeps rising across 2^24.
TEST(FlvMp3Oracle, TimestampsPast24Bits) {
  SKIP_WITHOUT_TOOLS();
  ScratchDir dir;
  Mp3Stream mp3 = MakeMp3(dir, 44100, 2, 128, 0.2);
  ASSERT_GE(mp3.frames.size(), 3u);
  const auto flv = dir / "late.flv";
  {
    FlvFileWriter writer;
    writer.SetHeader(false, true, 1);
    ASSERT_TRUE(writer.Open(toolbox::Utf8ToWide(flv.string()), true));
    const uint32_t times[] = {0u, 16777000u, 17000000u};
    for (size_t i = 0; i < 3; ++i) {
      const uint32_t ts = times[i];
      auto* tag = new FlvTag(kFlvTagAudio);
      auto* audio = static_cast<FlvAudioData*>(tag->GetBody());
      audio->SetSoundFormat(0x20);
      audio->SetSoundRate(0x0C);
      audio->SetSoundSize(0x02);
      audio->SetSoundType(0x01);
      const Mp3Frame& f = mp3.frames[i];
      audio->SetData(reinterpret_cast<const uint8_t*>(mp3.bytes.data()) + f.offset,
                     static_cast<uint32_t>(f.size));
      tag->timestamp = ts;
      writer.WriteTag(tag, false);
    }
    ASSERT_GT(writer.Close(), 0u);
  }
  int status = 0;
  std::string pts = testsupport::Run("ffprobe -v error -select_streams a -show_entries packet=pts_time "
                        "-of csv=p=0 " + Quote(flv) + " 2>&1",
                        &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(pts, "0.000000\n16777.000000\n17000.000000\n");
  // flvmeta reports decreasing timestamps and unused extended bits when they wrap.
  if (HaveTool("flvmeta")) {
    std::string check = testsupport::Run("flvmeta --check " + Quote(flv) + " 2>&1", &status);
    EXPECT_TRUE(NoErrorLine(check)) << check;
    EXPECT_EQ(check.find("extended"), std::string::npos) << check;
  }
}

}  // namespace
