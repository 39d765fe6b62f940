// A video movie that FFmpeg writes (its stream is character 0) read and written back through
// the object model: python3 finds every PlaceObject2 unchanged, and ffprobe reads the
// rewritten movie's video stream with the same frame count.
#include <gtest/gtest.h>

#include <algorithm>

#include "SwfTestSupport.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::ScratchDir;

namespace {

// The movie's PlaceObject2 tags as python3 decodes them, one a line: flags, depth, character,
// matrix values, ratio and name (a matrix may be written with other bit widths).
std::string Placements(const std::filesystem::path& movie) {
  return testsupport::Run("python3 -c '\n"
                          "import struct, sys\n"
                          "d = open(sys.argv[1], \"rb\").read()\n"
                          "def matrix(b, p):\n"
                          "    bits = \"\".join(format(x, \"08b\") for x in b[p:p + 40]); i = 0; out = []\n"
                          "    for optional in (1, 1, 0):\n"
                          "        if optional and bits[i] == \"0\": i += 1; continue\n"
                          "        i += optional; n = int(bits[i:i + 5], 2); i += 5\n"
                          "        for _ in (0, 1): v = int(bits[i:i + n] or \"0\", 2); i += n; out.append(v - (v >> max(n - 1, 0) << n if n else 0))\n"
                          "    return out, p + (i + 7) // 8\n"
                          "at = 8 + (5 + 4 * (d[8] >> 3) + 7) // 8 + 4\n"
                          "while at < len(d):\n"
                          "    h = struct.unpack_from(\"<H\", d, at)[0]; at += 2; n = h & 63\n"
                          "    if n == 63: n = struct.unpack_from(\"<I\", d, at)[0]; at += 4\n"
                          "    if h >> 6 == 26:\n"
                          "        b = d[at:at + n]; f = b[0]; p = 3; row = [f, struct.unpack_from(\"<H\", b, 1)[0]]\n"
                          "        if f & 2: row.append(struct.unpack_from(\"<H\", b, p)[0]); p += 2\n"
                          "        if f & 4: m, p = matrix(b, p); row.append(m)\n"
                          "        if f & 16: row.append(struct.unpack_from(\"<H\", b, p)[0]); p += 2\n"
                          "        if f & 32: row.append(b[p:b.index(0, p)])\n"
                          "        print(row)\n"
                          "    at += n\n"
                          "' '" + movie.string() + "'");
}

std::string VideoFrames(const std::filesystem::path& movie) {
  return testsupport::Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=codec_name,nb_read_frames "
             "-of default=nw=1 '" + movie.string() + "' 2>&1");
}

}  // namespace

TEST(VideoOracle, FfmpegVideoMovieIsWrittenBackWithItsPlacements) {
  for (const char* tool : {"ffmpeg", "ffprobe", "python3"})
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

  const std::string placements = Placements(made);
  EXPECT_EQ(std::count(placements.begin(), placements.end(), '\n'), 10) << placements;
  EXPECT_NE(placements.find("[54, 1, 0, [65536, 65536, 0, 0, 0, 0], 0, b'video']"), std::string::npos)
      << "the stream, character 0, is placed";
  EXPECT_EQ(Placements(again), placements);
  EXPECT_EQ(VideoFrames(made), "codec_name=flv1\nnb_read_frames=10\n");
  EXPECT_EQ(VideoFrames(again), VideoFrames(made));
}
