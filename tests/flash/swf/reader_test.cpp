#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/SwfHeaderRecord.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {
std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}
}  // namespace

TEST(SwfReader, PrimitivesStopAtTheEnd) {
  SwfReader r;
  Load(r, Hex("01 02 03"), 6);
  EXPECT_EQ(r.ReadU32(), 0u);  // three bytes left: 0 and no move
  EXPECT_EQ(r.GetPosition(), 0u);
  EXPECT_EQ(r.PeekU8(), 1);
  EXPECT_EQ(r.ReadU16(), 0x0201);
  EXPECT_EQ(r.ReadU16(), 0u);
  EXPECT_EQ(r.ReadU8(), 3);
  EXPECT_EQ(r.ReadU8(), 0);
  EXPECT_EQ(r.PeekU8(), 0);
  EXPECT_EQ(r.ReadBits(7, false), 0u);  // bits beyond the end read as 0
  r.Seek(100);
  EXPECT_EQ(r.GetPosition(), 3u);
  r.Skip(0xFFFFFFFF);
  EXPECT_EQ(r.GetPosition(), 3u);
}

TEST(SwfReader, ReadsSignedAndUnsignedBitFields) {
  SwfReader r;
  Load(r, Hex("F0 70 FF 80"), 6);  // 11110 000 | 01110 000 | ...
  EXPECT_EQ(static_cast<int32_t>(r.ReadBits(5, true)), -2);
  r.AlignByte();
  EXPECT_EQ(r.ReadBits(5, true), 14u);
  EXPECT_EQ(r.ReadBits(0, true), 0u);
  r.AlignByte();
  EXPECT_EQ(r.ReadBits(9, false), 0x1FFu);
  EXPECT_EQ(r.PeekU8(), 0);  // the pending byte's successor
}

TEST(SwfReader, ReadsStrings) {
  SwfReader r;
  Load(r, Hex("61 62 00 63"), 6);
  std::wstring s;
  r.ReadString(s, 0, false);
  EXPECT_EQ(s, L"ab");
  EXPECT_EQ(r.PeekU8(), 'c');
  r.Seek(0);
  r.ReadString(s, 3, false);
  EXPECT_EQ(s, L"ab");
  r.ReadString(s, 0, false);  // no terminating zero before the end
  EXPECT_EQ(s, L"c");
  r.ReadString(s, 5, false);
  EXPECT_EQ(s, L"");

  // Bytes are kept as read; root paths are noticed when asked.
  SwfReader u;
  Load(u, Hex("63 61 66 C3 A9 00 5F 52 6F 4F 74 2E 78 00"), 6);
  SwfString a, b;
  u.ReadString(a, 0, true);
  EXPECT_EQ(a.Text(), L"caf\u00e9");
  EXPECT_EQ(a.Encode(6), "caf\xC3\xA9");
  EXPECT_FALSE(u.rootPathSeen);
  u.ReadString(b, 0, true);
  EXPECT_TRUE(u.rootPathSeen);
}

TEST(RawTag, UnknownTagsRoundTripWithTheShortestHeader) {
  const RoundTrip cases[] = {
      {"code 16, 5 bytes", 6, [] {
         auto t = std::make_unique<RawTag>(16, 5);
         t->body = {1, 2, 3, 4, 5};
         return std::unique_ptr<SwfObject>(std::move(t));
       },
       "05 04 01 02 03 04 05"},
      {"creator information", 8, [] {
         auto t = std::make_unique<RawTag>(926, 2);
         t->body = {0xAB, 0xCD};
         return std::unique_ptr<SwfObject>(std::move(t));
       },
       "82 E7 AB CD"},
      {"63 bytes take the long form", 6, [] {
         auto t = std::make_unique<RawTag>(77, 63);
         t->body.assign(63, 0x11);
         return std::unique_ptr<SwfObject>(std::move(t));
       },
       "7F 13 3F 00 00 00" + Repeat("11 ", 63)},
  };
  for (auto& c : cases) ExpectRoundTrip(c);

  // A raw tag read with a long header but a 10-byte body comes back with a short header.
  SwfReader r;
  Load(r, Hex("3F 04 0A 00 00 00 00 01 02 03 04 05 06 07 08 09"), 6);
  std::unique_ptr<SwfTag> tag(r.ReadNextTag());
  EXPECT_EQ(Written(*tag, 6).size(), 12u);
}

TEST(SwfReader, ReadsTagsInTurnAndCountsFrames) {
  // Tags follow one another; the factory counts every ShowFrame.
  SwfReader r;
  Load(r, Hex("05 04 01 02 03 04 05 40 00 00 00"), 6);
  std::unique_ptr<SwfTag> a(r.ReadNextTag()), b(r.ReadNextTag()), c(r.ReadNextTag());
  EXPECT_EQ(a->GetTagCode(), 16);
  EXPECT_EQ(b->GetTagCode(), 1);
  EXPECT_EQ(c->GetTagCode(), 0);
  EXPECT_EQ(r.frameCount, 1u);
  EXPECT_EQ(r.GetPosition(), 11u);
}

// A movie whose second tag claims 0xFFFFFFF0 bytes: the end is clamped to the input, the
// body holds only the bytes present, and reading ends there at once.
TEST(SwfReader, ForgedTagLengthIsClampedToTheInput) {
  SwfBitWriter movie(6);
  SwfHeaderRecord header;
  header.Set(0, 0, 11000, 8000, 12, 6);
  header.Write(movie);
  movie.WriteBytes(Hex("43 02 FF FF FF"));            // SetBackgroundColor
  movie.WriteBytes(Hex("3F 04 F0 FF FF FF 01 02 03"));  // code 16, length 0xFFFFFFF0
  SwfReader r;
  r.LoadFromWriter(movie);
  ASSERT_GT(header.Read(r, true), 0u);
  std::vector<std::unique_ptr<SwfTag>> tags;
  for (int guard = 0; guard < 10; ++guard) {
    const uint32_t before = r.GetPosition();
    tags.emplace_back(r.ReadNextTag());
    if (tags.back()->GetTagCode() == 0) break;
    ASSERT_GT(r.GetPosition(), before) << "every tag moves forward";
  }
  ASSERT_EQ(tags.size(), 3u);  // background, the forged tag, then the end of the input
  auto* forged = dynamic_cast<RawTag*>(tags[1].get());
  ASSERT_TRUE(forged);
  EXPECT_EQ(ToHex(forged->body), "01 02 03");
  EXPECT_LE(forged->body.capacity(), movie.GetBuffer().size());
  EXPECT_EQ(r.GetPosition(), r.GetSize());
}

TEST(SwfHeaderRecord, FrameRateIsEightDotEight) {
  SwfHeaderRecord h;
  h.Set(0, 0, 11000, 8000, 29.97f, 6);
  h.SetFrameCount(3);
  h.SetFileLength(100);
  SwfBitWriter w(4);
  EXPECT_EQ(h.Write(w), 1u);
  EXPECT_EQ(ToHex(w.GetBuffer()), "46 57 53 06 64 00 00 00 78 00 05 5F 00 00 0F A0 00 F8 1D 03 00");
  SwfReader r;
  r.LoadFromWriter(w);
  SwfHeaderRecord back;
  EXPECT_EQ(back.Read(r, true), 21u);
  EXPECT_FLOAT_EQ(back.frameRate, 29.96875f);
  EXPECT_EQ(back.GetWidth(), 11000);
  EXPECT_EQ(back.GetHeight(), 8000);
  EXPECT_EQ(back.version, 6);
  EXPECT_EQ(back.frameCount, 3);
  SwfReader bad;
  Load(bad, Hex("43 57 53 06"), 6);
  EXPECT_EQ(back.Read(bad, true), 0u);
}
