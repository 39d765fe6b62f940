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
    std::wstring shown;  // for a person to read: the bytes of what is not UTF-8
  } cases[] = {
      {"a\xFF" "b", L"a\uFFFDb", L"a\\xFFb"},
      {"\xC3", L"\uFFFD", L"\\xC3"},                      // truncated
      {"\xC0\xAF", L"\uFFFD\uFFFD", L"\\xC0\\xAF"},            // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD", L"\\xED\\xA0\\x80"},  // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", L"\\xF4\\x90\\x80\\x80"},  // above U+10FFFF
      {"\xE4\xB8" "x\xC3\xA9", L"\uFFFD\uFFFDx\u00E9", L"\\xE4\\xB8x\u00E9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWide(c.in), c.out) << c.in;
    EXPECT_EQ(toolbox::Utf8ToWideShowingBytes(c.in), c.shown) << c.in;
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

// ASCII goes through in blocks of eight bytes: a sequence decodes the same wherever it
// falls against a block, and every code point class measures and writes as Python encodes
// it (what cannot be written becomes U+FFFD).
TEST(Utf8, AsciiBlocksChangeNothing) {
  const std::string tails[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xFF", "\xC3",
                               "\xE4\xB8" "x", "\xED\xA0\x80", "\xC0\xAF", "\x7F"};
  for (const std::string& tail : tails) {
    const std::wstring alone = Utf8ToWide(tail);
    for (size_t n = 0; n <= 17; ++n) {
      const std::string ascii(n, 'a');
      const std::wstring wide(n, L'a');
      EXPECT_EQ(Utf8ToWide(ascii + tail + ascii), wide + alone + wide) << n << " " << tail;
      EXPECT_EQ(toolbox::IsValidUtf8(ascii + tail), toolbox::IsValidUtf8(tail)) << n << " " << tail;
    }
  }
  const long points[] = {0, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDFFF, 0xE000, 0xFFFF,
                         0x10000, 0x10FFFF, 0x110000, 0x7FFFFFFF, -1};
  std::wstring all;
  std::string python = "import sys\nfor c in [";
  for (const long cp : points) {
    const std::wstring one(1, static_cast<wchar_t>(cp));
    EXPECT_EQ(toolbox::Utf8Size(one), WideToUtf8(one).size()) << cp;
    EXPECT_EQ(toolbox::Utf8Size(L"ascii" + one), WideToUtf8(L"ascii" + one).size()) << cp;
    all += one;
    python += std::to_string(cp) + ",";
  }
  python += "]:\n  ok = 0 <= c <= 0x10FFFF and not 0xD800 <= c <= 0xDFFF\n"
            "  sys.stdout.buffer.write((chr(c) if ok else '\\ufffd').encode('utf-8'))\n";
  EXPECT_EQ(toolbox::Utf8Size(all), WideToUtf8(all).size());
  if (testsupport::HavePython()) {
    EXPECT_EQ(WideToUtf8(all), testsupport::Python(python));
  }
}
