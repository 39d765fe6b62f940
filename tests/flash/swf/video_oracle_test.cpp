// A video movie that FFmpeg writes (its stream is character 0) read and written back through
// the object model: every PlaceObject2 reads back the same, and ffprobe reads the rewritten
// movie's video stream with the same frame count.
#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::ScratchDir;

namespace {

std::vector<std::string> Placements(const std::filesystem::path& movie) {
  SwfReader r;
  EXPECT_TRUE(r.ReadAllTagsFromMemory(PathOf(movie), true, 0, true));
  std::vector<std::string> out;
  for (SwfTag* t : r.tags)
    if (t->GetTagCode() == 26) out.push_back(Describe(*t, r.GetVersion()));
  r.ClearTags(true);
  return out;
}

std::string VideoFrames(const std::filesystem::path& movie) {
  return testsupport::Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=codec_name,nb_read_frames -of default=nw=1 '" + movie.string() + "' 2>&1");
}

}  // namespace

TEST(VideoOracle, FfmpegVideoMovieIsWrittenBackWithItsPlacements) {
  for (const char* tool : {"ffmpeg", "ffprobe"})
    if (!testsupport::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  ScratchDir dir;
  const auto made = dir / "made.swf", again = dir / "again.swf";
  testsupport::Run("ffmpeg -v error -y -f lavfi -i testsrc=d=1:s=160x120:r=10 -c:v flv1 '" + made.string() + "' 2>&1");
  ASSERT_TRUE(std::filesystem::exists(made));

  SwfReader r;
  ASSERT_TRUE(r.ReadAllTagsFromMemory(PathOf(made), true, 0, true));
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  ASSERT_TRUE(w.Open(PathOf(again), true));
  for (SwfTag* t : r.tags) w.WriteTag(t, true);
  ASSERT_GT(w.Close(), 0u) << w.GetFailureReason();
  r.ClearTags(true);

  const auto placements = Placements(made);
  ASSERT_EQ(placements.size(), 10u);
  EXPECT_NE(placements[0].find(" id 0 "), std::string::npos) << "the stream, character 0, is placed";
  EXPECT_EQ(Placements(again), placements);
  EXPECT_EQ(VideoFrames(made), "codec_name=flv1\nnb_read_frames=10\n");
  EXPECT_EQ(VideoFrames(again), VideoFrames(made));
}
