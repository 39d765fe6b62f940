// The base64 decoder against python3's base64 module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/platform/ByteBuffer.h"
#include "support/TestSupport.h"

namespace {

int Hex(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

TEST(ByteBufferOracleTest, DecodesWhatPythonEncodes) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 missing";
  // Each line: the bytes in hexadecimal, a blank, their base64 text.
  const std::string out = testsupport::Python(
      "import base64, random\n"
      "r = random.Random(4)\n"
      "for n in list(range(12)) + [r.randrange(0, 300) for _ in range(188)]:\n"
      "    b = bytes(r.randrange(256) for _ in range(n))\n"
      "    print(b.hex(), base64.b64encode(b).decode())\n");
  size_t start = 0, lines = 0;
  while (start < out.size()) {
    const size_t end = out.find('\n', start);
    const std::string line = out.substr(start, end - start);
    start = end == std::string::npos ? out.size() : end + 1;
    const size_t blank = line.find(' ');
    ASSERT_NE(blank, std::string::npos);
    std::string bytes;
    for (size_t i = 0; i + 1 < blank; i += 2)
      bytes.push_back(static_cast<char>(Hex(line[i]) * 16 + Hex(line[i + 1])));
    // An exact-size heap copy, so that a read past the given length is caught.
    const std::string text = line.substr(blank + 1);
    std::vector<char> exact(text.begin(), text.end());
    ByteBuffer b;
    ASSERT_TRUE(b.DecodeBase64(exact.empty() ? "" : exact.data(), static_cast<int32_t>(exact.size())));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.Data()), b.Size()), bytes) << text;
    ++lines;
  }
  EXPECT_EQ(lines, 200u);
}

}  // namespace
