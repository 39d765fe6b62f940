#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/DrawingTags.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

// Reads `file` (tags of a version 8 movie) and returns its first two tags.
std::pair<std::unique_ptr<SwfTag>, std::unique_ptr<SwfTag>> FirstTwo(const Bytes& file) {
  SwfReader r;
  Load(r, file, 8);
  std::unique_ptr<SwfTag> first(r.ReadNextTag());
  std::unique_ptr<SwfTag> second(r.ReadNextTag());
  return {std::move(first), std::move(second)};
}

}  // namespace

TEST(BitmapTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"DefineBits", 8, MadeBy<DefineBitsTag>([](auto& t) { t.Set(1, Hex("FF D8 FF D9")); }), "86 01 01 00 FF D8 FF D9"},
      {"JPEGTables", 8, MadeBy<JpegTablesTag>([](auto& t) { t.data = Hex("FF D8 FF DB FF D9"); }),
       "06 02 FF D8 FF DB FF D9"},
      {"empty JPEGTables", 8, MadeBy<JpegTablesTag>([](auto&) {}), "00 02"},
      {"DefineBitsJPEG2", 8, MadeBy<DefineBitsJpeg2Tag>([](auto& t) { t.Set(2, Hex("FF D9 FF D8 FF D9")); }),
       "48 05 02 00 FF D9 FF D8 FF D9"},
      {"DefineBitsJPEG3", 8, MadeBy<DefineBitsJpeg3Tag>([](auto& t) {
         t.Set(3, Hex("FF D8 FF D9")), t.alphaData = Hex("78 DA 01");
       }),
       "CD 08 03 00 04 00 00 00 FF D8 FF D9 78 DA 01"},
      {"DefineBitsLossless, direct colour: long header", 8, MadeBy<DefineBitsLosslessTag>([](auto& t) {
         t.characterId = 1, t.SetWidth(8), t.SetHeight(8), t.data = Hex("78 DA 03 00");
       }),
       "3F 05 0B 00 00 00 01 00 05 08 00 08 00 78 DA 03 00"},
      {"DefineBitsLossless2, colour-mapped", 8, MadeBy<DefineBitsLossless2Tag>([](auto& t) {
         t.characterId = 1, t.format = kBitmapColorMapped, t.SetWidth(2), t.SetHeight(1), t.colorTableSize = 1;
         t.data = Hex("78 DA 03 00");
       }),
       "3F 09 0C 00 00 00 01 00 03 02 00 01 00 01 78 DA 03 00"},
  };
  for (const auto& c : cases) ExpectRoundTrip(c);
}

// A tag built without a length reads its JPEG data to the end-of-image marker; an FF always
// takes the byte after it; without a marker the data ends with the tag.
TEST(BitmapTags, EndOfImageScanOfTagsBuiltWithoutALength) {
  struct Case {
    std::function<SwfTag*()> make;
    std::string bytes, data;
    uint32_t consumed;
  };
  const Case cases[] = {
      {[] { return new DefineBitsTag(0); }, "01 00 FF D8 FF FF D9 FF D9 77 77", "FF D8 FF FF D9 FF D9", 9},
      {[] { return new DefineBitsJpeg2Tag(); }, "01 00 FF D9 FF D8 FF D9 77", "FF D9 FF D8 FF D9", 8},
      {[] { return new DefineBitsTag(0); }, "01 00 FF D8 00 FF", "FF D8 00 FF", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::unique_ptr<SwfTag> tag(c.make());
    SwfReader r;
    Load(r, Hex(c.bytes), 8);
    EXPECT_EQ(tag->Read(r), c.consumed);
    const auto* bits = dynamic_cast<DefineBitsTag*>(tag.get());
    const auto* jpeg2 = dynamic_cast<DefineBitsJpeg2Tag*>(tag.get());
    EXPECT_EQ(ToHex(bits ? bits->data : jpeg2->data), c.data);
  }
}

TEST(BitmapTags, Jpeg3SplitsItsBodyAtTheAlphaOffsetWithinTheBody) {
  SKIP_WITHOUT_CORPUS();
  const std::string movie = testsupport::ReadFile(testsupport::CorpusDir() / "swf/DefineBitsJpeg3.swf");
  SwfReader r;
  Load(r, Bytes(movie.begin(), movie.end()), 0);
  r.header.Read(r, true);
  const DefineBitsJpeg3Tag* jpeg3 = nullptr;
  std::vector<std::unique_ptr<SwfTag>> tags;
  while (r.GetPosition() < r.GetSize()) {
    tags.emplace_back(r.ReadNextTag());
    if (!jpeg3) jpeg3 = dynamic_cast<const DefineBitsJpeg3Tag*>(tags.back().get());
    if (tags.back()->GetTagCode() == 0) break;
  }
  ASSERT_NE(jpeg3, nullptr);
  EXPECT_EQ(jpeg3->data.size(), 288u);
  EXPECT_EQ(jpeg3->alphaData.size(), 12u);
  EXPECT_EQ(tags.back()->GetTagCode(), 0) << "the tags behind it read intact";

  // An offset beyond the body: the JPEG data is what the body holds, nothing more.
  const Bytes far = Hex("CF 08 03 00 00 FF FF 7F FF D8 FF D9 01 02 03 04 05 40 00");
  auto [tag, next] = FirstTwo(far);
  auto* cut = dynamic_cast<DefineBitsJpeg3Tag*>(tag.get());
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(ToHex(cut->data), "FF D8 FF D9 01 02 03 04 05");
  EXPECT_TRUE(cut->alphaData.empty());
  EXPECT_EQ(next->GetTagCode(), 1);
}

// Tags shorter than their fixed fields are kept as read, never with a byte of the next tag.
TEST(BitmapTags, TagsCutInsideTheirFixedFieldsReadEmptyData) {
  const std::string cases[] = {"81 01 07", "05 05 01 00 05 08 00", "C1 08 01", "C3 08 01 00 10"};
  for (const auto& hex : cases) {
    SCOPED_TRACE(hex);
    Bytes file = Hex(hex);
    file.insert(file.end(), {0x40, 0x00});
    auto [tag, next] = FirstTwo(file);
    EXPECT_EQ(ToHex(Written(*tag, 8)), hex);
    EXPECT_EQ(next->GetTagCode(), 1);
  }
}
