#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

using toolbox::Utf8ToWide;
using toolbox::WideToUtf8;

TEST(Utf8, RoundTripsAgreeWithPython) {
  const std::wstring text = L"\u00e9\u4e2d\U0001F600";
  ASSERT_EQ(text.size(), 3u);  // the emoji is one wide character, not a surrogate pair
  const std::string bytes = WideToUtf8(text);
  if (testsupport::HavePython()) {
    EXPECT_EQ(bytes, testsupport::Python(
                         "import sys; sys.stdout.buffer.write('\\u00e9\\u4e2d\\U0001F600'.encode('utf-8'))"));
  }
  EXPECT_EQ(bytes, "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide(bytes), text);
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
  struct Case {
    std::string in;
    std::wstring out;
  } cases[] = {
      {"a\xFF" "b", L"a\uFFFDb"},
      {"\xC3", L"\uFFFD"},                      // truncated
      {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE4\xB8" "x", L"\uFFFD\uFFFDx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWide(c.in), c.out) << c.in;
    EXPECT_FALSE(toolbox::IsValidUtf8(c.in));
  }
  EXPECT_TRUE(toolbox::IsValidUtf8("plain \xC3\xA9"));
}

TEST(Utf8, UnencodableCodePointsBecomeReplacementCharacters) {
  std::wstring bad;
  bad.push_back(static_cast<wchar_t>(0xD83D));
  bad.push_back(static_cast<wchar_t>(0x110000));
  EXPECT_EQ(WideToUtf8(bad), "\xEF\xBF\xBD\xEF\xBF\xBD");
}
