#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "framework/platform/RefObject.h"
#include "framework/platform/Streams.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

TEST(RefObjectTest, NewObjectsHaveIdZeroCountOneAndAreEqual) {
  RefObject a, b;
  EXPECT_EQ(a.id, 0u);
  EXPECT_EQ(a.refCount, 1u);
  EXPECT_TRUE(a.Equals(b));
  b.id = 7;
  EXPECT_FALSE(a.Equals(b));
  std::unique_ptr<RefObject> c(b.Clone());
  EXPECT_EQ(c->id, 0u);
}

TEST(RefObjectTest, ObjectListClearDeletesAndSkipsNull) {
  static int destroyed = 0;
  struct Counted : RefObject {
    ~Counted() override { ++destroyed; }
  };
  ObjectList list;
  list.Items() = {new Counted, nullptr, new Counted};
  list.Clear();
  EXPECT_EQ(destroyed, 2);
  EXPECT_TRUE(list.Items().empty());
}

TEST(RefObjectTest, FillBytes) {
  std::vector<uint8_t> none;
  FillBytes(none, 9);
  EXPECT_TRUE(none.empty());
  std::vector<uint8_t> three(3);
  FillBytes(three, 0xAB);
  EXPECT_EQ(three, Bytes({0xAB, 0xAB, 0xAB}));
}

TEST(MemoryInputStreamTest, ReadsAndReportsBothEnds) {
  MemoryInputStream in(Bytes({1, 2, 3, 4, 5, 6}));
  std::vector<uint8_t> into(10);
  EXPECT_EQ(in.Skip(2), 2);
  EXPECT_EQ(in.Available(), 4);
  EXPECT_EQ(in.Read(into, 0, 10), 4);  // ten asked for, four left
  EXPECT_EQ(into[0], 3);
  EXPECT_EQ(into[3], 6);
  EXPECT_EQ(in.Read(into, 0, 10), -1);
  EXPECT_EQ(in.ReadByte(), 0);
}

TEST(MemoryInputStreamTest, MarkAndReset) {
  MemoryInputStream in(Bytes({10, 20, 30}));
  EXPECT_FALSE(in.MarkSupported());
  in.Mark();
  EXPECT_EQ(in.ReadByte(), 10);
  EXPECT_EQ(in.ReadByte(), 20);
  in.Reset();
  EXPECT_EQ(in.ReadByte(), 10);
}

TEST(MemoryInputStreamTest, SkipIsClampedToTheBytes) {
  struct Case {
    int32_t first, second;
    int32_t position;
    int next;
  } cases[] = {
      {0, -10, 0, 0xA0},       // before the start: back at the first byte
      {2, INT32_MAX, 4, 0},    // far past the end: at the end
      {3, INT32_MIN, 0, 0xA0},
      {1, 1, 2, 0xA2},
  };
  for (const Case& c : cases) {
    MemoryInputStream in(Bytes({0xA0, 0xA1, 0xA2, 0xA3}));
    in.Skip(c.first);
    EXPECT_EQ(in.Skip(c.second), c.position) << c.first << "," << c.second;
    EXPECT_EQ(in.ReadByte(), c.next);
  }
}

TEST(MemoryInputStreamTest, ReadNeverLeavesTheDestination) {
  struct Case {
    size_t size;
    int32_t offset, count, result;
  } cases[] = {
      {2, 0, 10, 2},     // destination too small
      {4, 3, 10, 1},
      {4, 4, 10, 0},     // offset at the end
      {4, 5, 1, 0},      // offset outside
      {4, -1, 2, 0},
      {4, 0, -1, 0},     // a negative count copies nothing
      {4, 0, 0, 0},
  };
  for (const Case& c : cases) {
    MemoryInputStream in(Bytes({1, 2, 3, 4, 5, 6}));
    std::vector<uint8_t> into(c.size);
    EXPECT_EQ(in.Read(into, c.offset, c.count), c.result) << c.size << "," << c.offset << "," << c.count;
    EXPECT_EQ(in.Position(), c.result);
  }
}

TEST(MemoryInputStreamTest, LengthNeverExceedsTheVector) {
  MemoryInputStream in(Bytes({1, 2}), 100);
  EXPECT_EQ(in.Available(), 2);
  MemoryInputStream shorter(Bytes({1, 2, 3}), 1);
  EXPECT_EQ(shorter.Skip(5), 1);
  EXPECT_EQ(shorter.ReadByte(), 0);
  MemoryInputStream negative(Bytes({1}), -4);
  EXPECT_EQ(negative.Available(), 0);
}

TEST(ByteOutputStreamTest, WritesBytesToItsTarget) {
  std::ostringstream out;
  ByteOutputStream s(&out);
  s.Write(Bytes({'a', 'b'}));
  s.Write(Bytes({'x', 'c', 'd', 'y'}), 1, 2);
  s.Write(Bytes({'z'}), 0, 5);  // count past the vector: only what it holds
  s.Write(Bytes({'q'}), 3, 1);
  s.WriteByte(0xFF);
  s.Flush();
  EXPECT_EQ(out.str(), std::string("abcdz\xFF"));
}

TEST(FileOutputStreamTest, WithoutTargetEveryOperationDoesNothing) {
  FileOutputStream s;
  s.Write(Bytes({1, 2}));
  s.Write(Bytes({1, 2}), 0, 2);
  s.WriteByte(3);
  s.Flush();
  s.Close();
  SUCCEED();
}

}  // namespace
