// A movie written back tag by tag as it is read is byte for byte the movie written back from
// its whole tag list: every movie of the corpus (compressed ones too), one cut short and one
// without its End tag.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

namespace {

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

// The movie written back from its whole tag list; empty when it does not load.
std::string WrittenWhole(const std::filesystem::path& in, const std::filesystem::path& out) {
  SwfReader r;
  if (!r.ReadAllTagsFromMemory(P(in), true, 0, true)) return std::string();
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(P(out), true)) return std::string();
  for (SwfTag* t : r.tags) w.WriteTag(t, false);
  r.tags.clear();
  return w.Close() ? testsupport::ReadFile(out) : std::string();
}

// The same, streamed; empty when it does not load or turns out cut (the target then absent).
std::string Streamed(const std::filesystem::path& in, const std::filesystem::path& out) {
  SwfReader r;
  if (!r.ReadAllTagsFromMemory(P(in), true, 0, false)) return std::string();
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(P(out), true) || !StreamSwfTags(r, w)) return std::string();
  return w.Close() ? testsupport::ReadFile(out) : std::string();
}

TEST(SwfStreamCopy, SameBytesAsTheWholeTagList) {
  SKIP_WITHOUT_CORPUS();
  testsupport::ScratchDir dir;
  int movies = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    const std::string whole = WrittenWhole(entry.path(), dir / "whole.swf");
    if (whole.empty()) continue;
    EXPECT_EQ(Streamed(entry.path(), dir / "streamed.swf"), whole) << entry.path().filename();
    ++movies;
  }
  EXPECT_GT(movies, 40);

  // A movie without its End tag, and the same cut inside its last tag.
  const std::string bytes = WrittenWhole(testsupport::CorpusDir() / "swf" / "DefineBitsLossless.swf", dir / "w.swf");
  ASSERT_GT(bytes.size(), 12u);
  std::string noEnd = bytes.substr(0, bytes.size() - 2);
  testsupport::WriteFile(dir / "noend.swf", noEnd);
  EXPECT_EQ(Streamed(dir / "noend.swf", dir / "s1.swf"), WrittenWhole(dir / "noend.swf", dir / "w1.swf"));
  testsupport::WriteFile(dir / "cut.swf", noEnd.substr(0, noEnd.size() - 3));
  EXPECT_EQ(WrittenWhole(dir / "cut.swf", dir / "w2.swf"), "");
  EXPECT_EQ(Streamed(dir / "cut.swf", dir / "s2.swf"), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "s2.swf"));
}

}  // namespace
