#include "flash/flv/StreamBitWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Flushed(StreamBitWriter& w) { return w.GetBuffer(true); }

struct OrderCase {
  std::string name;
  std::function<void(StreamBitWriter&)> write;
  Bytes big;
  Bytes little;
};

TEST(StreamBitWriter, ByteOrderOfEachMember) {
  const std::vector<OrderCase> cases = {
      {"u16", [](StreamBitWriter& w) { w.WriteU16(0x1234); }, {0x12, 0x34}, {0x34, 0x12}},
      {"s16", [](StreamBitWriter& w) { w.Write(int16_t{-2}); }, {0xFF, 0xFE}, {0xFE, 0xFF}},
      {"u32",
       [](StreamBitWriter& w) { w.WriteU32(0x01020304); },
       {1, 2, 3, 4},
       {4, 3, 2, 1}},
      {"s32 through Write",
       [](StreamBitWriter& w) { w.Write(int32_t{0x0A0B0C0D}); },
       {0x0A, 0x0B, 0x0C, 0x0D},
       {0x0D, 0x0C, 0x0B, 0x0A}},
      {"double 1.0",
       [](StreamBitWriter& w) { w.Write(1.0); },
       {0x3F, 0xF0, 0, 0, 0, 0, 0, 0},
       {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
      {"float -2.5",
       [](StreamBitWriter& w) { w.Write(-2.5f); },
       {0xC0, 0x20, 0, 0},
       {0, 0, 0x20, 0xC0}},
      {"bytes of every char type",
       [](StreamBitWriter& w) {
         w.Write('A');
         w.Write(static_cast<signed char>(-1));
         w.Write(static_cast<unsigned char>(0x80));
       },
       {0x41, 0xFF, 0x80},
       {0x41, 0xFF, 0x80}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BigEndianBitWriter big;
    c.write(big);
    EXPECT_EQ(Flushed(big), c.big);
    LittleEndianBitWriter little;
    c.write(little);
    EXPECT_EQ(Flushed(little), c.little);
  }
}

TEST(StreamBitWriter, CompletedByteWaitsUntilFlushed) {
  BigEndianBitWriter w;
  w.WriteBits(5, 3);
  w.WriteBits(1, 5);
  EXPECT_EQ(w.GetSize(), 1u);
  uint8_t pending = 0;
  EXPECT_TRUE(w.GetBuffer(false, &pending).empty());
  EXPECT_EQ(pending, 0xA1);
  EXPECT_EQ(w.GetBuffer(true, &pending), Bytes{0xA1});
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(w.GetSize(), 1u);
}

TEST(StreamBitWriter, BitWrites) {
  struct Case {
    std::string name;
    std::function<void(StreamBitWriter&)> write;
    Bytes expected;
    uint32_t size;
  };
  const std::vector<Case> cases = {
      {"byte write aligns first",
       [](StreamBitWriter& w) {
         w.WriteBits(1, 1);
         w.WriteU8(0xFF);
       },
       {0x80, 0xFF},
       2},
      {"count 0 writes nothing", [](StreamBitWriter& w) { w.WriteBits(0xFFFFFFFF, 0); }, {}, 0},
      {"32 bits", [](StreamBitWriter& w) { w.WriteBits(0xDEADBEEF, 32); },
       {0xDE, 0xAD, 0xBE, 0xEF}, 4},
      {"only the low bits of the value",
       [](StreamBitWriter& w) { w.WriteBits(0xFFFFFFF3, 4); },
       {0x30},
       1},
      {"nine bits span two bytes",
       [](StreamBitWriter& w) { w.WriteBits(0x1FF, 9); },
       {0xFF, 0x80},
       2},
      {"a count above 32 is taken as 32",
       [](StreamBitWriter& w) { w.WriteBits(0x80000001, 40); },
       {0x80, 0, 0, 0x01},
       4},
      {"u16 after a nibble",
       [](StreamBitWriter& w) {
         w.WriteBits(0xF, 4);
         w.WriteU16(0x0102);
       },
       {0xF0, 0x01, 0x02},
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BigEndianBitWriter w;
    c.write(w);
    EXPECT_EQ(w.GetSize(), c.size);
    EXPECT_EQ(Flushed(w), c.expected);
  }
}

TEST(StreamBitWriter, AppendWriterReproducesBits) {
  BigEndianBitWriter src;
  src.WriteU16(0xABCD);
  src.WriteBits(0b101, 3);

  BigEndianBitWriter whole;
  whole.WriteBits(1, 1);
  whole.AppendWriter(src);
  // 1, then ABCD, then 101: 1101 0101 1110 0110 1101 ....
  EXPECT_EQ(whole.GetSize(), 3u);
  EXPECT_EQ(Flushed(whole), (Bytes{0xD5, 0xE6, 0xD0}));

  BigEndianBitWriter bits;
  bits.AppendWriterBits(src, 8 * 2 + 3);
  EXPECT_EQ(Flushed(bits), (Bytes{0xAB, 0xCD, 0xA0}));

  // A count inside the vector takes its partial byte from the vector.
  BigEndianBitWriter part;
  part.AppendWriterBits(src, 12);
  EXPECT_EQ(Flushed(part), (Bytes{0xAB, 0xC0}));

  // A count beyond what the other holds stops at its end.
  BigEndianBitWriter over;
  over.AppendWriterBits(src, 1000);
  EXPECT_EQ(Flushed(over), (Bytes{0xAB, 0xCD, 0xA0}));
}

TEST(StreamBitWriter, AppendBitsTakesACompletedPendingByte) {
  // A byte completed by WriteBits still sits in the accumulator, after the vector.
  BigEndianBitWriter b;
  b.WriteBits(0xFF, 8);
  BigEndianBitWriter a;
  a.AppendWriterBits(b, 8);
  BigEndianBitWriter whole;
  whole.AppendWriter(b);
  EXPECT_EQ(Flushed(a), (Bytes{0xFF}));
  EXPECT_EQ(Flushed(whole), (Bytes{0xFF}));
}

TEST(StreamBitWriter, AppendToItself) {
  BigEndianBitWriter w;
  w.WriteU8(0x12);
  w.WriteBits(0xF, 4);
  w.AppendWriter(w);
  EXPECT_EQ(Flushed(w), (Bytes{0x12, 0xF1, 0x2F}));
}

}  // namespace
