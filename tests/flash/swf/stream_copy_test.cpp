// A movie written back tag by tag as it is read is byte for byte the movie written back from
// its whole tag list: every movie of the corpus (compressed ones too), each also damaged and
// cut, and one without its End tag, read through windows small enough that every field
// straddles their edges; and a file that shrinks while it is read is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"
#include "support/TestSupport.h"

namespace {

using swftest::PathOf;

// The movie written back from its whole tag list; empty when it does not load.
std::string WrittenWhole(const std::filesystem::path& in, const std::filesystem::path& out) {
  SwfReader r;
  if (!r.ReadAllTagsFromMemory(PathOf(in), true, 0, true)) return std::string();
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(PathOf(out), true)) return std::string();
  for (SwfTag* t : r.tags) w.WriteTag(t, false);
  r.tags.clear();
  return w.Close() ? testsupport::ReadFile(out) : std::string();
}

// The same, streamed through a window of `window` bytes; empty when it does not load or
// turns out cut (the target then absent).
std::string Streamed(const std::filesystem::path& in, const std::filesystem::path& out, uint32_t window) {
  SwfReader r;
  if (!r.OpenStream(PathOf(in), window)) return std::string();
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(PathOf(out), true) || !StreamSwfTags(r, w)) return std::string();
  return w.Close() ? testsupport::ReadFile(out) : std::string();
}

TEST(SwfStreamCopy, SameBytesAsTheWholeTagList) {
  SKIP_WITHOUT_CORPUS();
  swftest::PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  for (const uint32_t window : {kSwfWindowBytes, 1u, 7u, 4099u}) {
    SCOPED_TRACE(window);
    int movies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
      const std::string whole = WrittenWhole(entry.path(), dir / "whole.swf");
      // A movie refused whole is refused streamed too.
      EXPECT_EQ(Streamed(entry.path(), dir / "streamed.swf", window), whole) << entry.path().filename();
      movies += !whole.empty();
      // Damaged: fields read past their tag's end, or a tag cut, wherever the window ends.
      std::string damaged = testsupport::ReadFile(entry.path());
      damaged[damaged.size() / 2] ^= 0x5A;
      for (const std::string& bytes : {damaged, damaged.substr(0, damaged.size() * 2 / 3)}) {
        testsupport::WriteFile(dir / "damaged.swf", bytes);
        EXPECT_EQ(Streamed(dir / "damaged.swf", dir / "streamed.swf", window),
                  WrittenWhole(dir / "damaged.swf", dir / "whole.swf"))
            << entry.path().filename() << " damaged";
      }
    }
    EXPECT_GT(movies, 40);
    EXPECT_TRUE(temp.Files().empty()) << "the inflated copies of compressed movies are gone";

    // A movie without its End tag, and the same cut inside its last tag.
    const std::string bytes =
        WrittenWhole(testsupport::CorpusDir() / "swf" / "DefineBitsLossless.swf", dir / "w.swf");
    ASSERT_GT(bytes.size(), 12u);
    std::string noEnd = bytes.substr(0, bytes.size() - 2);
    testsupport::WriteFile(dir / "noend.swf", noEnd);
    EXPECT_EQ(Streamed(dir / "noend.swf", dir / "s1.swf", window), WrittenWhole(dir / "noend.swf", dir / "w1.swf"));
    testsupport::WriteFile(dir / "cut.swf", noEnd.substr(0, noEnd.size() - 3));
    EXPECT_EQ(WrittenWhole(dir / "cut.swf", dir / "w2.swf"), "");
    EXPECT_EQ(Streamed(dir / "cut.swf", dir / "s2.swf", window), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "s2.swf"));
  }
}

// A movie of many blocks, longer than the writer's blocks and the reader's window, comes back
// byte for byte. The same file losing its second half after its first tags were read: the
// copy fails, as for a movie cut, and leaves no file, instead of a movie ending in zeros.
TEST(SwfStreamCopy, LongMovieComesBackWholeAndAShrinkingOneIsRefused) {
  testsupport::ScratchDir dir;
  std::vector<SwfTag*> tags;
  for (int i = 0; i < 640; ++i) {
    auto* block = new SoundStreamBlockTag();
    block->data.assign(1000, static_cast<uint8_t>(i));
    tags.push_back(block);
    tags.push_back(new ShowFrameTag());
  }
  tags.push_back(new EndTag());
  const std::string movie = swftest::MovieBytes(6, tags, 640);
  testsupport::WriteFile(dir / "in.swf", movie);
  EXPECT_TRUE(Streamed(dir / "in.swf", dir / "out.swf", kSwfWindowBytes) == movie);
  EXPECT_TRUE(Streamed(dir / "in.swf", dir / "out.swf", 4096) == movie);
  std::filesystem::remove(dir / "out.swf");

  SwfReader r;
  ASSERT_TRUE(r.OpenStream(PathOf(dir / "in.swf"), 4096));
  {
    SwfMovieWriter w;
    w.SetHeaderFrom(r.header);
    ASSERT_TRUE(w.Open(PathOf(dir / "out.swf"), true));
    for (int i = 0; i < 4; ++i) w.WriteTag(r.ReadNextTag(), false);
    std::filesystem::resize_file(dir / "in.swf", movie.size() / 2);
    EXPECT_FALSE(StreamSwfTags(r, w));
  }
  EXPECT_TRUE(r.truncated);
  EXPECT_LE(r.GetSize(), movie.size() / 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.swf"));
}

}  // namespace
