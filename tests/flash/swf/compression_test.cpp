#include <gtest/gtest.h>

#include <filesystem>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/SwfCompression.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string SmallMovie() {
  return MovieBytes(6, {new SetBackgroundColorTag(1, 2, 3), new FrameLabelTag(L"f"), new RawTag(1, 0), new EndTag()});
}

// A movie holding a 1 MiB zero-filled tag: it deflates to a few hundred bytes, and its last
// input chunk inflates to far more than one output chunk.
std::string ZeroMovie() {
  auto* zeros = new RawTag(77, 1 << 20);
  zeros->body.assign(1 << 20, 0);
  return MovieBytes(6, {zeros, new RawTag(1, 0), new EndTag()});
}

std::vector<std::string> Listing(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(SwfCompression, CompressAndDecompressAreExactInverses) {
  testsupport::ScratchDir dir;
  for (const std::string& fws : {SmallMovie(), ZeroMovie(), std::string("FWS\x06\x08\x00\x00\x00", 8)}) {
    WriteFile(dir / "a.swf", fws);
    ASSERT_TRUE(CompressSwfFile(PathOf(dir / "a.swf"), PathOf(dir / "b.swf"), true));
    const std::string cws = ReadFile(dir / "b.swf");
    EXPECT_EQ(cws.substr(0, 3), "CWS");
    EXPECT_EQ(cws.substr(3, 5), fws.substr(3, 5)) << "version and length copied";
    EXPECT_TRUE(IsCompressedSwfFile(PathOf(dir / "b.swf")));
    EXPECT_TRUE(HasSwfSignature(PathOf(dir / "b.swf")));
    if (fws.size() > (1 << 20)) {
      EXPECT_LT(cws.size(), 3000u);
    }
    ASSERT_TRUE(DecompressSwfFile(PathOf(dir / "b.swf"), PathOf(dir / "c.swf"), true));
    EXPECT_TRUE(ReadFile(dir / "c.swf") == fws);
  }
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"._b.swf", "._c.swf", "a.swf", "b.swf", "c.swf"}))
      << "type and creator kept beside the results, no temporary file left";
}

TEST(SwfCompression, WrongInputsFailAndLeaveTargetsAsTheyWere) {
  testsupport::ScratchDir dir;
  const std::string fws = SmallMovie();
  const std::string cws = Compressed(fws);
  WriteFile(dir / "f.swf", fws);
  WriteFile(dir / "c.swf", cws);
  WriteFile(dir / "cut.swf", cws.substr(0, cws.size() - 6));
  WriteFile(dir / "bad.swf", cws.substr(0, 12) + std::string(40, '\x55'));
  WriteFile(dir / "old.swf", "previous movie");
  WriteFile(dir / "text.txt", "hello");
  // Streams that do not match their header's length: a 1 MiB movie declaring 100 bytes, and a
  // movie declaring 10 bytes more than it holds.
  auto declaring = [](std::string movie, uint32_t length) {
    for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<char>(length >> (8 * i));
    return movie;
  };
  WriteFile(dir / "long.swf", declaring(Compressed(ZeroMovie()), 100));
  WriteFile(dir / "short.swf", declaring(cws, static_cast<uint32_t>(fws.size() + 10)));

  struct Case {
    const char* name;
    bool (*convert)(const PathString&, const PathString&, bool);
    const char* source;
    bool replace;
  } cases[] = {
      {"compress a compressed movie", CompressSwfFile, "c.swf", true},
      {"compress a text file", CompressSwfFile, "text.txt", true},
      {"decompress an uncompressed movie", DecompressSwfFile, "f.swf", true},
      {"decompress a truncated stream", DecompressSwfFile, "cut.swf", true},
      {"decompress a corrupt stream", DecompressSwfFile, "bad.swf", true},
      {"decompress a stream longer than declared", DecompressSwfFile, "long.swf", true},
      {"decompress a stream shorter than declared", DecompressSwfFile, "short.swf", true},
      {"decompress onto a file without replace", DecompressSwfFile, "c.swf", false},
      {"compress onto a file without replace", CompressSwfFile, "f.swf", false},
      {"missing source", DecompressSwfFile, "none.swf", true},
  };
  const auto before = Listing(dir.path());
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.convert(PathOf(dir / c.source), PathOf(dir / "old.swf"), c.replace));
    EXPECT_EQ(ReadFile(dir / "old.swf"), "previous movie");
    if (c.replace) {
      EXPECT_FALSE(c.convert(PathOf(dir / c.source), PathOf(dir / "new.swf"), true));
    }
    EXPECT_EQ(Listing(dir.path()), before) << "no partial or temporary file";
  }
}

TEST(SwfCompression, DecompressInPlace) {
  testsupport::ScratchDir dir;
  const std::string fws = SmallMovie();
  const std::string cws = Compressed(fws);
  const std::string cut = cws.substr(0, cws.size() - 6);
  const auto path = dir / "m.swf";
  for (bool backup : {false, true}) {
    SCOPED_TRACE(backup ? "with backup" : "without backup");
    // An uncompressed movie is left alone and gets no backup.
    WriteFile(path, fws);
    EXPECT_TRUE(DecompressSwfFileInPlace(PathOf(path), backup));
    EXPECT_TRUE(ReadFile(path) == fws);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"m.swf"});
    // A damaged one stays as it was.
    WriteFile(path, cut);
    EXPECT_FALSE(DecompressSwfFileInPlace(PathOf(path), backup));
    EXPECT_TRUE(ReadFile(path) == cut);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"m.swf"});
    // A good one is inflated; the backup keeps the compressed bytes.
    WriteFile(path, cws);
    EXPECT_TRUE(DecompressSwfFileInPlace(PathOf(path), backup));
    EXPECT_TRUE(ReadFile(path) == fws);
    if (backup) {
      EXPECT_TRUE(ReadFile(dir / "m.swf~") == cws);
      std::filesystem::remove(dir / "m.swf~");
    }
    std::filesystem::remove(dir / "._m.swf");
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"m.swf"});
  }
  EXPECT_FALSE(DecompressSwfFileInPlace(PathOf(dir / "missing.swf"), false));
}
