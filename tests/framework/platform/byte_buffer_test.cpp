#include <gtest/gtest.h>

#include <string>

#include "framework/platform/ByteBuffer.h"

namespace {

std::string Decode(const char* text, int32_t length) {
  ByteBuffer b;
  EXPECT_TRUE(b.DecodeBase64(text, length));
  return std::string(reinterpret_cast<const char*>(b.Data()), b.Size());
}

TEST(ByteBufferTest, DecodesBase64) {
  struct Case {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"TWFu", "Man"}, {"TWE=", "Ma"}, {"TQ==", "M"}, {"TQ", "M"},
      {"TWFuT", "Man"},  // a lone final character yields nothing
      {"T", ""},         {"", ""},
      {"TWFuTWE=", "ManMa"},
      {"/+8=", "\xFF\xEF"},
  };
  for (const Case& c : cases) {
    // A heap copy of exactly the given length, so that any read past it is caught.
    std::unique_ptr<char[]> exact(new char[c.text.size() ? c.text.size() : 1]);
    std::copy(c.text.begin(), c.text.end(), exact.get());
    EXPECT_EQ(Decode(exact.get(), static_cast<int32_t>(c.text.size())), c.bytes) << c.text;
  }
}

TEST(ByteBufferTest, NullNegativeAndForeignCharacters) {
  ByteBuffer b;
  ASSERT_TRUE(b.DecodeBase64("TWFu", 4));
  EXPECT_FALSE(b.DecodeBase64(nullptr, 4));
  EXPECT_EQ(b.Size(), 3u);  // unchanged
  EXPECT_TRUE(b.DecodeBase64("TWFu", -3));
  EXPECT_EQ(b.Size(), 0u);
  // Bytes from 0x80 up index the table as unsigned values and count as 255.
  const char high[] = {'\xC3', '\xA9', 'A', 'A'};
  ASSERT_TRUE(b.DecodeBase64(high, 4));
  ASSERT_EQ(b.Size(), 3u);
  EXPECT_EQ(b.Data()[0], 0xFF);
}

}  // namespace
