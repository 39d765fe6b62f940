#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "SwfTestSupport.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfText.h"

using namespace swftest;

TEST(SwfBitWriter, PacksBitsHighestFirstAndPadsBeforeBytes) {
  struct Case {
    const char* name;
    std::function<void(SwfBitWriter&)> write;
    const char* hex;
  } cases[] = {
      {"bits then byte", [](SwfBitWriter& w) { w.WriteBits(5, 3), w.WriteU8(0xFF); }, "A0 FF"},
      {"u16 u32 s16 little-endian",
       [](SwfBitWriter& w) { w.WriteU16(0x1234), w.WriteU32(0xA1B2C3D4), w.WriteS16(-2); },
       "34 12 D4 C3 B2 A1 FE FF"},
      {"only low bits of a signed value", [](SwfBitWriter& w) { w.WriteBits(static_cast<uint32_t>(-2), 5); }, "F0"},
      {"count 0 writes nothing", [](SwfBitWriter& w) { w.WriteBits(0xFFFF, 0); }, ""},
      {"32 bits", [](SwfBitWriter& w) { w.WriteBits(0x80000001u, 32); }, "80 00 00 01"},
      {"empty wide string writes no padding",
       [](SwfBitWriter& w) { w.WriteBits(1, 1), w.WriteWideString(L""), w.WriteBits(1, 1); }, "C0"},
      {"wide string without zero", [](SwfBitWriter& w) { w.WriteWideString(L"abc"); }, "61 62 63"},
      {"null record", [](SwfBitWriter& w) { w.WriteRecord(nullptr); }, ""},
  };
  for (auto& c : cases) {
    SwfBitWriter w(6);
    c.write(w);
    EXPECT_EQ(ToHex(w.GetBuffer()), ToHex(Hex(c.hex))) << c.name;
  }
}

TEST(SwfBitWriter, FullPendingByteIsCountedOnlyWhenFlushed) {
  SwfBitWriter w(4);
  for (int i = 0; i < 8; ++i) w.WriteBits(1, 1);
  EXPECT_EQ(w.GetByteCount(), 0u);
  w.Align();
  EXPECT_EQ(w.GetByteCount(), 1u);
  w.Align();
  EXPECT_EQ(ToHex(w.GetBuffer()), "FF");
  w.Clear();
  EXPECT_EQ(w.GetByteCount(), 0u);
  EXPECT_EQ(w.GetVersion(), 4);
}

TEST(SwfBitWriter, AppendBitsJoinsWithoutGapAndAppendWriterAligns) {
  SwfBitWriter a(4), b(4);
  a.WriteBits(3, 2);  // 11
  b.WriteBits(5, 3);  // 101
  a.AppendBits(b);
  a.WriteBits(0, 3);
  EXPECT_EQ(ToHex(a.GetBuffer()), "E8");  // 11101 000

  SwfBitWriter c(4), d(4);
  c.WriteU8(1);
  d.WriteBits(1, 1);
  c.AppendWriter(d);
  EXPECT_EQ(ToHex(c.GetBuffer()), "01 80");
  c.Reserve(1000);
  EXPECT_GE(c.Capacity(), 1000u);
}

// Padding a bit field never clears a failure: a writer that failed with bits pending still
// fails the writer it joins, and that one stays failed through its own padding until cleared.
TEST(SwfBitWriter, AFailureOutlivesPadding) {
  SwfBitWriter failed(6), joined(6);
  failed.WriteBits(1, 1);
  failed.Fail("a record too long");
  joined.AppendWriter(failed);
  EXPECT_TRUE(failed.Failed());
  EXPECT_EQ(joined.FailureReason(), "a record too long");
  joined.WriteBits(1, 1);
  joined.WriteU8(0);
  EXPECT_TRUE(joined.Failed());
  joined.Clear();
  EXPECT_FALSE(joined.Failed());
}

// One encoder for every SWF string: UTF-8 from version 6, Latin-1 below, never the locale.
TEST(SwfText, EncodesByVersion) {
  struct Case {
    std::wstring text;
    uint8_t version;
    const char* hex;
  } cases[] = {
      {L"caf\u00e9", 6, "63 61 66 C3 A9"},
      {L"caf\u00e9", 5, "63 61 66 E9"},
      {L"\u4e2d", 6, "E4 B8 AD"},
      {L"a\u4e2db", 5, "61 3F 62"},  // no character vanishes below version 6
      {L"\U0001F600", 8, "F0 9F 98 80"},
      {L"\u00ff\u0100", 5, "FF 3F"},
      {std::wstring{L'a', static_cast<wchar_t>(-1), static_cast<wchar_t>(0x110000)}, 5, "61 3F 3F"},
      {std::wstring{L'a', static_cast<wchar_t>(-1), static_cast<wchar_t>(0xDC00)}, 6,
       "61 EF BF BD EF BF BD"},
  };
  for (auto& c : cases) {
    const std::string bytes = EncodeSwfText(c.text, c.version);
    EXPECT_EQ(ToHex(bytes), ToHex(Hex(c.hex)));
    EXPECT_EQ(SwfString(c.text).EncodedSize(c.version), bytes.size());
    SwfBitWriter w(c.version);
    w.WriteWideString(c.text);
    EXPECT_EQ(ToHex(w.GetBuffer()), ToHex(Hex(c.hex)));
  }
  EXPECT_EQ(DecodeSwfText("caf\xC3\xA9", 6), L"caf\u00e9");
  EXPECT_EQ(DecodeSwfText("caf\xE9", 5), L"caf\u00e9");
  // Bytes read from a file are written back as they were, whatever the version.
  const SwfString read = SwfString::FromFile("caf\xC3\xA9", 6);
  EXPECT_EQ(read.Text(), L"caf\u00e9");
  EXPECT_EQ(read.Encode(6), "caf\xC3\xA9");
  EXPECT_EQ(read.Encode(5), "caf\xC3\xA9");
}

// Copies share one text, which a string read from a file decodes when first asked for, on
// whichever thread asks first.
TEST(SwfText, CopiesShareTextDecodedOnceForAllThreads) {
  std::vector<SwfString> copies(8, SwfString::FromFile("caf\xE9", 5));
  std::vector<std::wstring> seen(copies.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < copies.size(); ++i) threads.emplace_back([&, i] { seen[i] = copies[i].Text(); });
  for (auto& t : threads) t.join();
  for (const auto& text : seen) EXPECT_EQ(text, L"caf\u00e9");
  copies[0] = SwfString(L"other");
  copies[1].clear();
  EXPECT_EQ(copies[2].Encode(6), "caf\xE9");
  EXPECT_TRUE(copies[1].empty());
  EXPECT_FALSE(copies[1].IsFromFile());
  EXPECT_EQ(copies[2], SwfString::FromFile("caf\xE9", 5));
  EXPECT_FALSE(copies[2] == SwfString::FromFile("caf\xC3\xA9", 6));  // same text, other bytes
  EXPECT_FALSE(copies[2] == SwfString(L"caf\u00e9"));                // same text, not read
  EXPECT_TRUE(SwfString::FromFile("", 6).IsFromFile());
  EXPECT_EQ(SwfString(L""), SwfString());
}

TEST(SwfTagHeader, ShortUpTo62BytesLongFrom63OrWhenForced) {
  struct Case {
    uint16_t code;
    uint32_t length;
    bool forceLong;
    const char* hex;
  } cases[] = {
      {1, 0, false, "40 00"},
      {0, 0, false, "00 00"},
      {16, 62, false, "3E 04"},
      {16, 63, false, "3F 04 3F 00 00 00"},
      {12, 3, true, "3F 03 03 00 00 00"},
      {926, 0, false, "80 E7"},
  };
  for (auto& c : cases) {
    RawTag tag(c.code, 0);
    SwfBitWriter w(6);
    w.WriteBits(1, 1);  // the header starts on a byte boundary
    WriteTagHeader(tag, w, c.length, c.forceLong);
    Bytes expected = Hex("80 " + std::string(c.hex));
    EXPECT_EQ(ToHex(w.GetBuffer()), ToHex(expected));
    Bytes built;
    BuildTagHeader(built, tag, c.length, c.forceLong);
    EXPECT_EQ(ToHex(built), c.hex);
  }
}
