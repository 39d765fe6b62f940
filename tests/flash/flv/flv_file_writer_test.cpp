#include "flash/flv/FlvFileWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "flash/flv/AmfValue.h"
#include "flash/flv/FlvTag.h"
#include "framework/platform/FileOps.h"
#include "toolbox/Utf8.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;

PathString Wide(const std::filesystem::path& p) { return toolbox::Utf8ToWide(p.string()); }

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

FlvTag* AudioTag(uint32_t timestamp, size_t dataBytes, uint8_t fill = 0x11) {
  auto* tag = new FlvTag(kFlvTagAudio);
  auto audio = std::make_unique<FlvAudioData>();
  audio->SetSoundFormat(0x20);
  audio->SetSoundRate(0x0C);
  audio->SetSoundSize(0x02);
  audio->SetSoundType(0x01);
  std::vector<uint8_t> data(dataBytes, fill);
  audio->SetData(data.data(), static_cast<uint32_t>(data.size()));
  tag->SetBody(std::move(audio));
  tag->timestamp = timestamp;
  return tag;
}

uint32_t U32At(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
         (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}
uint32_t U24At(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 16) | (uint32_t(uint8_t(s[at + 1])) << 8) |
         uint32_t(uint8_t(s[at + 2]));
}

// The framing rules every FLV file keeps: 9-byte header with its own size, a previous-tag
// size of 0 after it, and behind each tag its size (11 + body); stream ids 0; the tags end
// exactly at the end of the file. Returns the tag types, or a message on the first breach.
struct Framing {
  std::string error;
  uint8_t version = 0;
  uint8_t flags = 0;
  std::vector<uint8_t> types;
  std::vector<uint32_t> timestamps;
  std::vector<std::string> bodies;
};

Framing WalkFlv(const std::string& s) {
  Framing f;
  if (s.size() < 13 || s.compare(0, 3, "FLV") != 0) return f.error = "no FLV header", f;
  f.version = uint8_t(s[3]);
  f.flags = uint8_t(s[4]);
  const uint32_t headerSize = U32At(s, 5);
  if (headerSize != 9) return f.error = "header size is not 9", f;
  if ((f.flags & ~0x05) != 0) return f.error = "reserved header flags set", f;
  if (U32At(s, 9) != 0) return f.error = "first previous-tag size is not 0", f;
  size_t at = 13;
  while (at < s.size()) {
    if (s.size() - at < 11) return f.error = "truncated tag header", f;
    const uint8_t type = uint8_t(s[at]) & 0x1F;
    const uint32_t size = U24At(s, at + 1);
    const uint32_t timestamp = U24At(s, at + 4) | (uint32_t(uint8_t(s[at + 7])) << 24);
    if (U24At(s, at + 8) != 0) return f.error = "stream id is not 0", f;
    if (s.size() - at - 11 < size + 4ull) return f.error = "truncated tag body", f;
    if (U32At(s, at + 11 + size) != 11 + size) return f.error = "wrong previous-tag size", f;
    f.types.push_back(type);
    f.timestamps.push_back(timestamp);
    f.bodies.push_back(s.substr(at + 11, size));
    at += 11 + size + 4;
  }
  return f;
}

TEST(FlvFileWriter, HeaderFlags) {
  struct Case {
    bool video, audio;
    uint8_t version;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {false, true, 1, std::string("FLV\x01\x04\0\0\0\x09\0\0\0\0", 13)},
      {true, false, 1, std::string("FLV\x01\x01\0\0\0\x09\0\0\0\0", 13)},
      {true, true, 1, std::string("FLV\x01\x05\0\0\0\x09\0\0\0\0", 13)},
      {false, false, 2, std::string("FLV\x02\x00\0\0\0\x09\0\0\0\0", 13)},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    FlvFileWriter writer;
    writer.SetHeader(true, true, 9);  // every call replaces what was set before
    writer.SetHeader(c.video, c.audio, c.version);
    ASSERT_TRUE(writer.Open(Wide(dir / "a.flv"), true));
    EXPECT_EQ(writer.Close(), 13u);
    EXPECT_EQ(ReadFile(dir / "a.flv"), c.expected);
  }
}

TEST(FlvFileWriter, TagsFollowEachOtherWithTheirSizes) {
  ScratchDir dir;
  const auto path = dir / "run.flv";
  uint32_t size = 0;
  {
    FlvFileWriter writer;
    writer.SetHeader(false, true, 1);
    ASSERT_TRUE(writer.Open(Wide(path), true));
    writer.WriteTag(new FlvTag(kFlvTagScriptData), false);
    writer.WriteTag(AudioTag(0, 417), false);
    FlvTag kept(kFlvTagAudio);
    kept.timestamp = 17000000;
    writer.WriteTag(&kept, true);  // the caller still owns it
    writer.WriteTag(nullptr, false);
    EXPECT_EQ(kept.GetType(), kFlvTagAudio);
    size = writer.Close();
    EXPECT_EQ(writer.Close(), 0u);  // nothing open any more
  }
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(size, bytes.size());
  EXPECT_EQ(size, 13u + (11 + 21 + 4) + (11 + 418 + 4) + (11 + 1 + 4));
  Framing f = WalkFlv(bytes);
  ASSERT_EQ(f.error, "");
  EXPECT_EQ(f.types, (std::vector<uint8_t>{18, 8, 8}));
  EXPECT_EQ(f.timestamps, (std::vector<uint32_t>{0, 0, 17000000}));
  // The file's type and creator sit in its sidecar.
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"._run.flv", "run.flv"}));
  ForkFile fork;
  ASSERT_TRUE(fork.SetPath(Wide(path)));
  FinderInfoRecord info;
  fork.GetFinderInfo(info);
  EXPECT_EQ(info.type, toolbox::MakeOSType("MFL2"));
  EXPECT_EQ(info.creator, toolbox::MakeOSType("FLV2"));
}

TEST(FlvFileWriter, NothingOpen) {
  FlvFileWriter never;
  EXPECT_EQ(never.Close(), 0u);
  never.WriteTag(AudioTag(0, 10), false);  // deleted although nothing is written

  ScratchDir dir;
  FlvFileWriter writer;
  EXPECT_FALSE(writer.Open(Wide(dir / "missing-folder" / "a.flv"), true));
  EXPECT_EQ(writer.Close(), 0u);
  EXPECT_FALSE(writer.Open(Wide(dir.path()) + L"/", true));  // a folder, not a file name
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{});
}

TEST(FlvFileWriter, DestructorCompletesTheFile) {
  ScratchDir dir;
  {
    FlvFileWriter writer;
    writer.SetHeader(false, true, 1);
    ASSERT_TRUE(writer.Open(Wide(dir / "d.flv"), true));
    writer.WriteTag(AudioTag(0, 3), false);
  }
  Framing f = WalkFlv(ReadFile(dir / "d.flv"));
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.types.size(), 1u);
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"._d.flv", "d.flv"}));
}

TEST(FlvFileWriter, ExistingTargetIsKeptWhenReplacingIsNotAllowed) {
  ScratchDir dir;
  WriteFile(dir / "old.flv", "precious");
  FlvFileWriter writer;
  EXPECT_FALSE(writer.Open(Wide(dir / "old.flv"), false));
  EXPECT_EQ(writer.Close(), 0u);
  EXPECT_EQ(ReadFile(dir / "old.flv"), "precious");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"old.flv"});
}

// Every failure leaves the old target byte-identical, removes the temporary file and makes
// Close report 0.
TEST(FlvFileWriter, FailedRunLeavesTheTargetAsItWas) {
  ScratchDir dir;
  const auto target = dir / "movie.flv";
  WriteFile(target, "the movie that was there");

  {  // a tag that cannot be framed
    FlvFileWriter writer;
    ASSERT_TRUE(writer.Open(Wide(target), true));
    writer.WriteTag(AudioTag(0, 100), false);
    writer.WriteTag(new FlvTag(3), false);  // no body
    writer.WriteTag(AudioTag(26, 100), false);
    EXPECT_EQ(writer.Close(), 0u);
  }
  EXPECT_EQ(ReadFile(target), "the movie that was there");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"movie.flv"});

  // The file size limit stands in for a full disk; it applies to the child process only.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // let writes past the limit fail instead of killing us
    struct rlimit limit = {4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
    FlvFileWriter writer;
    writer.SetHeader(false, true, 1);
    if (!writer.Open(Wide(target), true)) _exit(11);
    for (int i = 0; i < 20; ++i) writer.WriteTag(AudioTag(26 * i, 417), false);
    _exit(writer.Close() == 0 ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setrlimit, 11: Open, 12: Close reported success";
  EXPECT_EQ(ReadFile(target), "the movie that was there");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"movie.flv"});

  {  // the same run without the limit replaces the target
    FlvFileWriter writer;
    writer.SetHeader(false, true, 1);
    ASSERT_TRUE(writer.Open(Wide(target), true));
    for (int i = 0; i < 20; ++i) writer.WriteTag(AudioTag(26 * i, 417), false);
    EXPECT_EQ(writer.Close(), 13u + 20 * (11 + 418 + 4));
  }
  EXPECT_EQ(WalkFlv(ReadFile(target)).types.size(), 20u);
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"._movie.flv", "movie.flv"}));
}

// dummy.flv comes from another tool; its header and tag framing obey the same rules as
// what this writer produces, and its metadata tag has the same outer shape.
TEST(FlvFileWriter, FramingAgreesWithAnFlvFromAnotherTool) {
  SKIP_WITHOUT_CORPUS();
  const std::string other = ReadFile(testsupport::CorpusDir() / "dummy.flv");
  ASSERT_FALSE(other.empty());
  Framing theirs = WalkFlv(other);
  ASSERT_EQ(theirs.error, "");
  ASSERT_FALSE(theirs.types.empty());
  EXPECT_EQ(theirs.version, 1);
  EXPECT_EQ(theirs.types[0], kFlvTagScriptData);

  ScratchDir dir;
  FlvFileWriter writer;
  writer.SetHeader(true, false, 1);
  ASSERT_TRUE(writer.Open(Wide(dir / "mine.flv"), true));
  auto* meta = new FlvTag(kFlvTagScriptData);
  auto script = std::make_unique<FlvScriptDataTag>();
  script->SetName(MakeWideString(L"onMetaData"));
  auto array = std::make_unique<AmfValue>(kAmfEcmaArray);
  auto p = std::make_unique<AmfProperty>();
  p->SetName(MakeWideString(L"duration"));
  auto v = std::make_unique<AmfValue>(kAmfNumber);
  v->SetNumber(0.16);
  p->SetValue(std::move(v));
  array->AddProperty(std::move(p));
  script->SetValue(std::move(array));
  meta->SetBody(std::move(script));
  writer.WriteTag(meta, false);
  auto* video = new FlvTag(kFlvTagVideo);
  // Frame type and codec from the other file's first video tag.
  size_t firstVideo = 0;
  while (theirs.types[firstVideo] != kFlvTagVideo) ++firstVideo;
  const std::string& theirVideo = theirs.bodies[firstVideo];
  video->GetBody()->Read(reinterpret_cast<const uint8_t*>(theirVideo.data()),
                         static_cast<uint32_t>(theirVideo.size()));
  video->timestamp = theirs.timestamps[firstVideo];
  writer.WriteTag(video, false);
  ASSERT_GT(writer.Close(), 0u);

  const std::string mine = ReadFile(dir / "mine.flv");
  Framing ours = WalkFlv(mine);
  ASSERT_EQ(ours.error, "");
  // Same 13 header bytes for the same flags.
  EXPECT_EQ(mine.substr(0, 13), other.substr(0, 13));
  ASSERT_EQ(ours.types, (std::vector<uint8_t>{18, 9}));
  // The same video body is framed identically: header, body, size.
  EXPECT_EQ(ours.bodies[1], theirVideo);
  // Metadata: name marker, "onMetaData", ECMA array marker; the body ends with 00 00 09.
  const std::string prefix("\x02\x00\x0AonMetaData\x08", 14);
  EXPECT_EQ(theirs.bodies[0].substr(0, 14), prefix);
  EXPECT_EQ(ours.bodies[0].substr(0, 14), prefix);
  EXPECT_EQ(theirs.bodies[0].substr(theirs.bodies[0].size() - 3), std::string("\0\0\x09", 3));
  EXPECT_EQ(ours.bodies[0].substr(ours.bodies[0].size() - 3), std::string("\0\0\x09", 3));
  // Their "duration" property is written just as ours.
  const std::string duration("\x00\x08" "duration\x00\x3F\xC4\x7A\xE1\x47\xAE\x14\x7B", 19);
  EXPECT_NE(theirs.bodies[0].find(duration), std::string::npos);
  EXPECT_NE(ours.bodies[0].find(duration), std::string::npos);
}

}  // namespace
