#include "framework/platform/TextEncoding.h"

#include <cmath>
#include <cstring>

#include "support/TestSupport.h"

namespace {

TEST(TextEncoding, DocumentAndFileNameEncodings) {
  EXPECT_EQ(GetDocumentEncoding(), toolbox::StringEncoding::kUtf8);
  EXPECT_STREQ(GetDocumentEncodingName(), L"UTF-8");
  EXPECT_EQ(GetFileNameEncoding(), toolbox::StringEncoding::kUtf8);
}

TEST(TextEncoding, MacRomanKeepsWhatItCanAndMarksTheRest) {
  EXPECT_EQ(WideToMacRoman(L"a\u20ACb\u2713"), "a\xDB" "b?");
  EXPECT_EQ(WideToMacRoman(L"\U0001F600\uF8FF\u00C4"), "?\xF0\x80");
  EXPECT_EQ(MacRomanToWide("\x80\xDB\xF0\xFF"), L"\u00C4\u20AC\uF8FF\u02C7");
  EXPECT_EQ(WideToMacRoman(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncoding, DistanceToLine) {
  const struct {
    double px, py, x1, y1, x2, y2, distance;
  } cases[] = {
      {0, 1, 0, 0, 1, 0, 1},
      {0, -1, 0, 0, 1, 0, -1},
      {5, 0, 0, 0, 0, 10, -5},   // right of an upward line
      {0, 0, 0, 2, 2, 0, -std::sqrt(2.0)},
      {3, 3, 1, 1, 1, 1, 0},     // no line: two equal points
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(DistanceToLine(c.px, c.py, c.x1, c.y1, c.x2, c.y2), c.distance, 1e-6);
  }
}

TEST(TextEncoding, UnknownTypeCreator) {
  char field[10];
  std::memset(field, 'x', sizeof field);
  SetUnknownTypeCreator(field);
  EXPECT_EQ(std::memcmp(field, "????????\0\0", 10), 0);
}

}  // namespace
