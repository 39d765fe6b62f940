#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SwfMovies.h"
#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/SwfMovieWriter.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

using namespace swftest;
using testsupport::ReadFile;
using testsupport::ScratchDir;

namespace {

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

SwfTag* ShowFrame() { return new RawTag(1, 0); }

struct FrameRecorder {
  std::vector<uint32_t> frames;
  void OnFrame(uint32_t index) { frames.push_back(index); }
};

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(SwfMovieWriter, WritesHeaderTagsAndCompletesTheHeaderAtClose) {
  ScratchDir dir;
  SwfMovieWriter w;
  w.SetMovieProperties(11000, 8000, 12, 6);
  FrameRecorder rec;
  w.frameWritten.Connect(MakeMemberSlot(&rec, &FrameRecorder::OnFrame));
  ASSERT_TRUE(w.Open(P(dir / "m.swf"), false));
  EXPECT_EQ(w.WriteTag(ShowFrame(), false), 2u);
  EXPECT_EQ(w.WriteTag(new EndTag(), false), 2u);
  const uint32_t length = w.Close();
  const std::string bytes = ReadFile(dir / "m.swf");
  EXPECT_EQ(length, bytes.size());
  EXPECT_EQ(ToHex(bytes), "46 57 53 06 " + ToHex(Bytes{uint8_t(length), 0, 0, 0}) +
                              " 78 00 05 5F 00 00 0F A0 00 00 0C 01 00 40 00 00 00");
  EXPECT_EQ(rec.frames, std::vector<uint32_t>{0});
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"._m.swf", "m.swf"}));  // type and creator kept
  EXPECT_NE(ReadFile(dir / "._m.swf").find("SWFLSWF2"), std::string::npos);
}

TEST(SwfMovieWriter, LabelsAreWrittenOnce) {
  ScratchDir dir;
  SwfMovieWriter w;
  w.SetMovieProperties(400, 400, 29.97f, 6);
  ASSERT_TRUE(w.Open(P(dir / "m.swf"), false));
  EXPECT_EQ(w.WriteTag(new FrameLabelTag(L"Intro"), false), 9u);
  EXPECT_EQ(w.WriteTag(new FrameLabelTag(L"Intro"), false), 0u);
  EXPECT_EQ(w.WriteTag(new FrameLabelTag(L"intro"), false), 9u);
  FrameLabelTag kept(L"Intro");
  EXPECT_EQ(w.WriteTag(&kept, true), 0u);  // dropped, and still the caller's
  EXPECT_EQ(kept.name.Text(), L"Intro");
  EndTag end;
  EXPECT_EQ(w.WriteTag(&end, true), 2u);
  EXPECT_EQ(w.WriteTag(nullptr, false), 0u);
  ASSERT_GT(w.Close(), 0u);
  const std::string bytes = ReadFile(dir / "m.swf");
  EXPECT_EQ(ToHex(bytes.substr(bytes.size() - 20)),
            "C7 0A 49 6E 74 72 6F 00 00 C7 0A 69 6E 74 72 6F 00 00 00 00");
  // 29.97 fps is F8 1D; no ShowFrame gives frame count 0.
  SwfReader r;
  Load(r, Bytes(bytes.begin(), bytes.end()), 0);
  SwfHeaderRecord h;
  ASSERT_GT(h.Read(r, true), 0u);
  EXPECT_FLOAT_EQ(h.frameRate, 29.96875f);
  EXPECT_EQ(h.frameCount, 0);
  EXPECT_EQ(h.fileLength, bytes.size());
}

TEST(SwfMovieWriter, FrameCountBeyondTheFormatIsRefused) {
  for (uint32_t frames : {65535u, 65536u}) {
    ScratchDir dir;
    testsupport::WriteFile(dir / "m.swf", "previous movie");
    SwfMovieWriter w;
    w.SetMovieProperties(400, 400, 12, 6);
    ASSERT_TRUE(w.Open(P(dir / "m.swf"), true));
    RawTag frame(1, 0);
    for (uint32_t i = 0; i < frames; ++i) w.WriteTag(&frame, true);
    w.WriteTag(new EndTag(), false);
    const uint32_t length = w.Close();
    const std::string bytes = ReadFile(dir / "m.swf");
    if (frames == 65535) {
      EXPECT_EQ(length, bytes.size());
      EXPECT_EQ(ToHex(bytes.substr(16, 2)), "FF FF");
    } else {
      EXPECT_EQ(length, 0u) << "a wrapped frame count is never written";
      EXPECT_EQ(bytes, "previous movie");
    }
    EXPECT_EQ(FilesIn(dir.path()).size(), frames == 65535 ? 2u : 1u);
  }
}

TEST(SwfMovieWriter, FailuresLeaveTheTargetAsItWas) {
  ScratchDir dir;
  testsupport::WriteFile(dir / "m.swf", "previous movie");
  {
    SwfMovieWriter w;
    EXPECT_FALSE(w.Open(P(dir / "m.swf"), false)) << "an existing movie is replaced only when asked";
    ASSERT_TRUE(w.Open(P(dir / "m.swf"), true));
    w.WriteTag(ShowFrame(), false);
    EXPECT_EQ(ReadFile(dir / "m.swf"), "previous movie");  // nothing touched before Close
  }  // destroyed without Close
  EXPECT_EQ(ReadFile(dir / "m.swf"), "previous movie");
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"m.swf"});

  SwfMovieWriter w;
  EXPECT_FALSE(w.Open(P(dir.path()), true)) << "a folder";
  EXPECT_FALSE(w.Open(P(dir / "missing/m.swf"), true));
  EXPECT_FALSE(w.Open(L"/dev/full", true)) << "a device is never replaced";
  struct stat st;
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(w.WriteTag(ShowFrame(), false), 0u);
  EXPECT_EQ(w.Close(), 0u);
}

// A full disk: the file-size limit makes writes fail as a full disk would.
TEST(SwfMovieWriter, FullDiskIsReportedAsFailure) {
  ScratchDir dir;
  const std::string previous(1000, 'p');
  testsupport::WriteFile(dir / "m.swf", previous);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    SwfMovieWriter w;
    w.SetMovieProperties(400, 400, 12, 6);
    if (!w.Open(P(dir / "m.swf"), true)) _exit(2);
    for (int i = 0; i < 100; ++i) {
      auto* block = new RawTag(19, 0);
      block->body.assign(10000, 0xAA);
      w.WriteTag(block, false);
      w.WriteTag(ShowFrame(), false);
    }
    w.WriteTag(new EndTag(), false);
    _exit(w.Close() == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "Close must report the failed writes";
  EXPECT_EQ(ReadFile(dir / "m.swf"), previous);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"m.swf"});
}

TEST(SwfMovieWriter, StageHelpers) {
  EXPECT_FALSE(IsBelowMinimumStage(25600, 19200));
  EXPECT_TRUE(IsBelowMinimumStage(25599, 19200));
  EXPECT_TRUE(IsBelowMinimumStage(25600, 19199));
  SwfMovieWriter w;
  uint32_t width, height;
  w.GetFrameSize(width, height);
  EXPECT_EQ(width, 20u);
  SwfHeaderRecord h;
  h.Set(-20, 0, 200, 100, 24, 8);
  w.SetHeaderFrom(h);
  w.GetFrameSize(width, height);
  EXPECT_EQ(width, 220u);
  EXPECT_EQ(height, 100u);
  EXPECT_EQ(w.GetVersion(), 8);
}

// The scripted movie of the player test, read back: the header counts its frames and every
// tag reads as what was written.
TEST(SwfMovieWriter, ScriptMovieReadsBack) {
  ScratchDir dir;
  ScriptMovie movie;
  const uint32_t length = WriteScriptMovie(P(dir / "s.swf"), movie);
  const std::string bytes = ReadFile(dir / "s.swf");
  ASSERT_EQ(length, bytes.size());
  SwfReader r;
  Load(r, Bytes(bytes.begin(), bytes.end()), 0);
  ASSERT_GT(r.header.Read(r, true), 0u);
  EXPECT_EQ(r.header.version, 6);
  EXPECT_EQ(r.header.frameCount, 3);
  EXPECT_EQ(r.header.GetWidth(), 11000);
  std::vector<uint16_t> codes;
  while (r.GetPosition() < r.GetSize()) {
    std::unique_ptr<SwfTag> t(r.ReadNextTag());
    codes.push_back(t->GetTagCode());
    SwfReader again;
    const Bytes once = Written(*t, 6);
    Load(again, once, 6);
    std::unique_ptr<SwfTag> back(again.ReadNextTag());
    EXPECT_EQ(Describe(*back, 6), Describe(*t, 6));
  }
  EXPECT_EQ(codes, (std::vector<uint16_t>{9, 43, 12, 1, 43, 12, 1, 12, 1, 0}));
  EXPECT_EQ(r.frameCount, 3u);
}
