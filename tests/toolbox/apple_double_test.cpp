#include <string>

#include <gtest/gtest.h>

#include "toolbox/AppleDouble.h"
#include "toolbox/ResourceFork.h"

namespace {

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

TEST(AppleDouble, RoundTripAndLayout) {
  toolbox::SidecarContents c;
  c.finderInfo.type = toolbox::MakeOSType("pBva");
  c.finderInfo.creator = toolbox::MakeOSType("Bvaw");
  c.finderInfo.flags = 0x4000;
  c.finderInfo.locationV = -3;
  c.finderInfo.extended[15] = 9;
  c.resourceFork = std::string("\0fork\xff", 6);
  const std::string bytes = toolbox::EncodeAppleDouble(c);
  ASSERT_EQ(bytes.size(), 50u + 32u + 6u);
  EXPECT_EQ(bytes.substr(0, 8), Be32(0x00051607) + Be32(0x00020000));
  EXPECT_EQ(bytes.substr(50, 8), "pBvaBvaw");
  toolbox::SidecarContents back;
  ASSERT_TRUE(toolbox::DecodeAppleDouble(bytes, back));
  EXPECT_EQ(back.finderInfo, c.finderInfo);
  EXPECT_EQ(back.resourceFork, c.resourceFork);
}

TEST(AppleDouble, NothingToKeep) {
  toolbox::FinderInfo f;
  EXPECT_TRUE(f.IsEmpty());
  f.type = f.creator = toolbox::kUnknownOSType;
  EXPECT_TRUE(f.IsEmpty());
  f.flags = 1;
  EXPECT_FALSE(f.IsEmpty());
  EXPECT_EQ(toolbox::SidecarPathFor("/a/b.swf"), "/a/._b.swf");
  EXPECT_EQ(toolbox::SidecarPathFor("/a/dir/"), "/a/._dir");
  EXPECT_EQ(toolbox::SidecarPathFor("/"), "");
  EXPECT_TRUE(toolbox::IsSidecarName("._x"));
  EXPECT_FALSE(toolbox::IsSidecarName("._"));
  EXPECT_FALSE(toolbox::IsSidecarName(".x"));
}

TEST(AppleDouble, MalformedInputIsRefused) {
  toolbox::SidecarContents c;
  c.finderInfo.type = 1;
  c.resourceFork = "abc";
  const std::string good = toolbox::EncodeAppleDouble(c);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"truncated header", good.substr(0, 20)},
      {"bad magic", Be32(0x00051600) + good.substr(4)},
      {"bad version", good.substr(0, 4) + Be32(0x00010000) + good.substr(8)},
      {"count beyond data", good.substr(0, 24) + std::string("\xff\xff", 2) + good.substr(26)},
      {"entry past end", good.substr(0, 30) + Be32(0xFFFFFFF0) + good.substr(34)},
      {"length past end", good.substr(0, 46) + Be32(0x7FFFFFFF) + good.substr(50)},
      {"short finder info", good.substr(0, 34) + Be32(8) + good.substr(38)},
      {"cut resource fork", good.substr(0, good.size() - 1)},
  };
  for (const auto& k : cases) {
    toolbox::SidecarContents out;
    out.resourceFork = "junk";
    EXPECT_FALSE(toolbox::DecodeAppleDouble(k.bytes, out)) << k.what;
    EXPECT_TRUE(out.IsEmpty()) << k.what;
  }
}

TEST(ResourceFork, MalformedMapsAreRefused) {
  size_t offset = 0, length = 0;
  const toolbox::OSType size = toolbox::MakeOSType("SIZE");
  // A minimal fork: header, one resource of 10 bytes, a map with one type and one reference.
  std::string data = Be32(10) + std::string(10, 'd');
  std::string typeList = std::string("\0\0", 2) + Be32(size) + std::string("\0\0\0\x0a", 4);
  std::string refs = std::string("\xff\xff\xff\xff", 4) + Be32(0) + Be32(0);
  std::string map = std::string(24, '\0') + std::string("\0\x1c\0\0", 4) + typeList + refs;
  std::string fork = Be32(16) + Be32(16 + static_cast<uint32_t>(data.size())) +
                     Be32(static_cast<uint32_t>(data.size())) + Be32(static_cast<uint32_t>(map.size())) +
                     data + map;
  ASSERT_TRUE(toolbox::FindResourceData(fork, size, -1, offset, length));
  EXPECT_EQ(offset, 20u);
  EXPECT_EQ(length, 10u);
  EXPECT_FALSE(toolbox::FindResourceData(fork, size, 0, offset, length));
  EXPECT_FALSE(toolbox::FindResourceData(fork, toolbox::MakeOSType("STR "), -1, offset, length));
  // Every cut before the reference's unused handle field loses something needed.
  for (size_t cut = 0; cut < fork.size() - 4; ++cut)
    EXPECT_FALSE(toolbox::FindResourceData(fork.substr(0, cut), size, -1, offset, length)) << cut;
  std::string huge = fork;
  huge.replace(16, 4, Be32(0xFFFFFFFF));  // the resource's length
  EXPECT_FALSE(toolbox::FindResourceData(huge, size, -1, offset, length));
  std::string farMap = fork;
  farMap.replace(4, 4, Be32(0xFFFFFFF0));
  EXPECT_FALSE(toolbox::FindResourceData(farMap, size, -1, offset, length));
}

}  // namespace
