#include "toolbox/CFString.h"

#include "support/TestSupport.h"

namespace {

using toolbox::CreateString;
using toolbox::CreateStringWithBytes;
using toolbox::CreateStringWithUtf16;
using toolbox::StringEncoding;

TEST(CFString, Utf16PairsCombineAndLoneSurrogatesAreReplaced) {
  const struct {
    std::u16string units;
    std::wstring text;
  } cases[] = {
      {u"a\xD83D\xDE00" u"b", L"a\U0001F600b"},
      {u"\xD83D", L"\uFFFD"},                    // lone high at the end
      {u"\xDE00x", L"\uFFFDx"},                  // lone low
      {u"\xD83D\xD83D\xDE00", L"\uFFFD\U0001F600"},
      {u"\xDBFF\xDFFF", L"\U0010FFFF"},
  };
  for (const auto& c : cases) {
    auto s = CreateStringWithUtf16(c.units);
    EXPECT_EQ(s->Text(), c.text);
  }
  EXPECT_EQ(toolbox::GetUtf16(*CreateString(L"a\U0001F600\U0010FFFF")),
            u"a\xD83D\xDE00\xDBFF\xDFFF");
}

TEST(CFString, CodePointsThatAreNotCharactersAreReplaced) {
  std::wstring bad = L"x";
  bad.push_back(static_cast<wchar_t>(0xD800));
  bad.push_back(static_cast<wchar_t>(0x110000));
  bad.push_back(static_cast<wchar_t>(-1));
  EXPECT_EQ(CreateString(bad)->Text(), L"x\uFFFD\uFFFD\uFFFD");
}

TEST(CFString, BytesInEachEncoding) {
  EXPECT_EQ(CreateStringWithBytes("\xC3\xA9\xFF", StringEncoding::kUtf8)->Text(), L"\u00E9\uFFFD");
  EXPECT_EQ(CreateStringWithBytes("\x8E\xDB", StringEncoding::kMacRoman)->Text(), L"\u00E9\u20AC");
  EXPECT_EQ(CreateStringWithBytes("\xE9\x80", StringEncoding::kIsoLatin1)->Text(), L"\u00E9\u0080");
  EXPECT_FALSE(CreateStringWithBytes("x", static_cast<StringEncoding>(12345)));

  auto s = CreateString(L"\u00E9\u20AC\u4E2D");
  EXPECT_EQ(toolbox::GetBytes(*s, StringEncoding::kUtf8), "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD");
  EXPECT_EQ(toolbox::GetBytes(*s, StringEncoding::kMacRoman), "\x8E\xDB?");
  EXPECT_EQ(toolbox::GetBytes(*s, StringEncoding::kIsoLatin1), "\xE9??");
  EXPECT_EQ(toolbox::GetBytes(*s, static_cast<StringEncoding>(12345)), "");
}

TEST(CFString, Equality) {
  EXPECT_TRUE(toolbox::EqualStrings(nullptr, nullptr));
  EXPECT_FALSE(toolbox::EqualStrings(CreateString(L""), nullptr));
  EXPECT_TRUE(toolbox::EqualStrings(CreateString(L"10019"), CreateString(L"10019")));
  EXPECT_FALSE(toolbox::EqualStrings(CreateString(L"1"), CreateString(L"01")));
}

}  // namespace
