#include "framework/platform/WideText.h"

#include <locale.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "support/TestSupport.h"

namespace {

TEST(WideText, StartsEmptyAndReservingDiscardsOnGrowthOnly) {
  WideText t;
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t.Capacity(), 1u);
  ASSERT_TRUE(t.Assign(L"hello"));
  EXPECT_EQ(t.Capacity(), 6u);
  t.Reserve(4);  // large enough: kept
  EXPECT_STREQ(t.CStr(), L"hello");
  t.Reserve(100);  // growing discards the old contents
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t.Capacity(), 100u);
}

TEST(WideText, AssignHandlesNullAndItsOwnText) {
  WideText t;
  ASSERT_TRUE(t.Assign(L"abcdef"));
  EXPECT_FALSE(t.Assign(nullptr));
  EXPECT_STREQ(t.CStr(), L"abcdef");
  ASSERT_TRUE(t.Assign(t.CStr() + 2));  // overlapping copy from its own buffer
  EXPECT_STREQ(t.CStr(), L"cdef");
  EXPECT_FALSE(t.AssignCFString(nullptr));
  ASSERT_TRUE(t.AssignCFString(toolbox::CreateString(L"\u00E9\U0001F600")));
  EXPECT_EQ(t.Length(), 2u);  // the emoji stays one character
}

TEST(WideText, FormatBuildsLongTextsFromWideArguments) {
  const std::wstring a(200, L'a'), b(150, L'\u00E9'), c(239, L'\u4E2D');
  WideText t;
  ASSERT_TRUE(t.Format(L"%ls|%ls|%ls|%d|%ls", a.c_str(), b.c_str(), c.c_str(), 42,
                       L"\U0001F600 end"));
  const std::wstring expected = a + L"|" + b + L"|" + c + L"|42|\U0001F600 end";
  EXPECT_EQ(std::wstring(t.CStr()), expected);
  EXPECT_EQ(expected.size(), 600u);

  const std::wstring big(600, L'x');
  ASSERT_TRUE(t.Format(L"%ls", big.c_str()));
  EXPECT_EQ(std::wstring(t.CStr()), big);

  ASSERT_TRUE(t.Format(L"%ls", L""));  // an empty result is a success
  EXPECT_EQ(t.Length(), 0u);
}

TEST(WideText, FormatFailsAtOnceOnAnArgumentItCannotConvert) {
  WideText t;
  ASSERT_TRUE(t.Assign(L"before"));
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  EXPECT_FALSE(t.Format(L"name: %s", "caf\xE9"));
  EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 1.0);
  EXPECT_STREQ(t.CStr(), L"before");
  EXPECT_FALSE(t.Format(nullptr));
  EXPECT_STREQ(t.CStr(), L"before");
}

TEST(WideText, FormatStopsAtTheCap) {
  WideText t;
  ASSERT_TRUE(t.Assign(L"kept"));
  const std::wstring huge(WideText::kMaxFormatLength, L'x');
  EXPECT_FALSE(t.Format(L"%ls", huge.c_str()));
  EXPECT_STREQ(t.CStr(), L"kept");
}

TEST(WideText, EqualsAndNumbers) {
  WideText t;
  t.Assign(L"Hello");
  EXPECT_TRUE(t.Equals(L"Hello", true));
  EXPECT_FALSE(t.Equals(L"hello", true));
  EXPECT_TRUE(t.Equals(L"hELLO", false));
  EXPECT_FALSE(t.Equals(nullptr, false));
  t.Assign(L"  -123abc");
  EXPECT_EQ(t.ToLong(), -123);
  t.Assign(L"2.5e1");
  EXPECT_DOUBLE_EQ(t.ToDouble(), 25.0);
}

TEST(WideText, FormatTimeCodeTable) {
  const struct {
    uint32_t ms;
    const wchar_t* text;
  } cases[] = {
      {0, L"00:00.00"},        {5, L"00:00.00"},        {999, L"00:00.99"},
      {1000, L"00:01.00"},     {1234, L"00:01.23"},     {59999, L"00:59.99"},
      {60000, L"01:00.00"},    {61010, L"01:01.01"},    {3600000, L"60:00.00"},
      {4294967295u, L"71582:47.29"},
  };
  for (const auto& c : cases) {
    wchar_t buffer[32];
    EXPECT_EQ(FormatTimeCode(c.ms, buffer, 32), static_cast<int>(wcslen(c.text))) << c.ms;
    EXPECT_STREQ(buffer, c.text) << c.ms;
  }
  wchar_t tiny[4];
  EXPECT_EQ(FormatTimeCode(61010, tiny, 4), -1);
}

TEST(WideText, CompareNoCaseTable) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    int result;
  } cases[] = {
      {L"abc", L"ABD", -1},
      {L"abc", L"ab", 1},
      {L"ab", L"abc", -1},
      {L"HeLLo", L"hello", 0},
      {L"", L"", 0},
      {L"\u00C9t\u00C9", L"\u00E9t\u00E9", 0},  // Latin-1
      {L"\u0160", L"\u0161", 0},                // Latin Extended-A
      {L"\u0141\u0179", L"\u0142\u017A", 0},    // the odd-numbered capitals
      {L"\u03A3\u0391", L"\u03C3\u03B1", 0},    // Greek
      {L"\u0416\u0401", L"\u0436\u0451", 0},    // Cyrillic
      {L"I", L"i", 0},                          // the same in every locale
      {L"\u00D7", L"\u00F7", -1},               // signs are not letters
      {L"a", nullptr, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareNoCase(c.a, c.b), c.result) << (c.a ? c.a : L"(null)");
  }
}

TEST(WideText, TrimWhitespace) {
  EXPECT_EQ(TrimWhitespace(L"   "), L"");
  EXPECT_EQ(TrimWhitespace(nullptr), L"");
  EXPECT_EQ(TrimWhitespace(L""), L"");
  EXPECT_EQ(TrimWhitespace(L"\t a b \n"), L"a b");
  EXPECT_EQ(TrimWhitespace(L"\u3000name\u2003"), L"name");
  EXPECT_EQ(TrimWhitespace(L"\u00A0x\u00A0"), L"\u00A0x\u00A0");  // no-break spaces stay
}

TEST(WideText, ParseNumbersSaturateAtThirtyTwoBits) {
  const struct {
    const wchar_t* text;
    int32_t value;
  } longs[] = {
      {L"42", 42},          {L"  -17xyz", -17},       {L"+8", 8},
      {L"", 0},             {L"abc", 0},              {L"2147483647", INT32_MAX},
      {L"2147483648", INT32_MAX}, {L"-2147483649", INT32_MIN},
      {L"99999999999999999999999", INT32_MAX},
  };
  for (const auto& c : longs) {
    int32_t out = 7;
    EXPECT_EQ(ParseLong(c.text, &out), c.value) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
  EXPECT_EQ(ParseLong(nullptr, nullptr), 0);

  const struct {
    const wchar_t* text;
    uint32_t value;
  } hexes[] = {
      {L"ff", 0xFF},           {L"0x1A", 0x1A},          {L"DEADBEEF", 0xDEADBEEF},
      {L"100000000", 0xFFFFFFFF}, {L"-1", 0xFFFFFFFF},   {L"-2", 0xFFFFFFFE},
      {L"-100000000", 0xFFFFFFFF}, {L"zz", 0},
  };
  for (const auto& c : hexes) EXPECT_EQ(ParseHex(c.text), c.value) << c.text;

  double d = 0;
  EXPECT_DOUBLE_EQ(ParseDouble(L" 12.5px", &d), 12.5);
  EXPECT_DOUBLE_EQ(d, 12.5);
  EXPECT_DOUBLE_EQ(ParseDouble(L"-0.25", nullptr), -0.25);
  EXPECT_DOUBLE_EQ(ParseDouble(L"1,5", nullptr), 1.0);  // ',' is never a decimal point
  EXPECT_DOUBLE_EQ(ParseDouble(nullptr, nullptr), 0.0);
}

// Parsing, formatting and comparing give the same results when the thread runs under a
// locale with another decimal point and another case mapping.
TEST(WideText, ResultsDoNotFollowTheLocale) {
  locale_t turkish = newlocale(LC_ALL_MASK, "tr_TR.UTF-8", static_cast<locale_t>(nullptr));
  if (!turkish) GTEST_SKIP() << "the tr_TR.UTF-8 locale is not installed";
  locale_t previous = uselocale(turkish);
  WideText t;
  const bool formatted = t.Format(L"%.2f|%ls", 1.5, L"\u00E9");
  const double parsed = ParseDouble(L"2.75", nullptr);
  const int compared = CompareNoCase(L"FILE", L"file");
  wchar_t number[256];
  FormatInt(-1234567, number);
  uselocale(previous);
  freelocale(turkish);
  EXPECT_TRUE(formatted);
  EXPECT_STREQ(t.CStr(), L"1.50|\u00E9");
  EXPECT_DOUBLE_EQ(parsed, 2.75);
  EXPECT_EQ(compared, 0);
  EXPECT_STREQ(number, L"-1234567");
}

TEST(PascalStrings, WideToPascalClampsAndMarksWideCharacters) {
  toolbox::Str255 out;
  const std::wstring long_text(300, L'x');
  WideToPascal(long_text.c_str(), out);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[255], 'x');

  WideToPascal(L"caf\u00E9\u20AC", out);
  ASSERT_EQ(out[0], 5);
  EXPECT_EQ(std::memcmp(out + 1, "caf\xE9?", 5), 0);

  wchar_t wide[256];
  PascalToWide(out, wide);
  EXPECT_STREQ(wide, L"caf\u00E9?");
  WideToPascal(nullptr, out);
  EXPECT_EQ(out[0], 0);
  PascalToWide(nullptr, wide);
  EXPECT_STREQ(wide, L"");
}

TEST(NativeStrings, RoundTripKeepsEveryCharacter) {
  const std::wstring text = L"\u00E9\u4E2D\U0001F600";
  ASSERT_EQ(text.size(), 3u);
  const std::string bytes = ToNativeString(text);
  EXPECT_EQ(bytes, "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(FromNativeString(bytes), text);
  EXPECT_EQ(FromNativeString("a\xFF"), L"a\uFFFD");
  EXPECT_EQ(ToNativeString(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(FromNativeString(static_cast<const char*>(nullptr)), L"");
}

TEST(CFStringHolder, Utf16FormsCombinePairsAndNeverSplitThem) {
  std::wstring text(254, L'a');
  text += L"\U0001F600zz";  // the emoji's pair would be units 255 and 256
  CFStringHolder holder(text.c_str());
  EXPECT_EQ(holder.Length(), 257u);
  toolbox::HFSUniStr255 name;
  ASSERT_TRUE(holder.ToHFSUniStr255(name));
  EXPECT_EQ(name.length, 254);

  CFStringHolder long_holder(std::wstring(300, L'b').c_str());
  ASSERT_TRUE(long_holder.ToHFSUniStr255(name));
  EXPECT_EQ(name.length, 255);

  CFStringHolder emoji(L"x\U0001F600");
  auto units = emoji.ToUniChars();
  ASSERT_TRUE(units);
  EXPECT_EQ(std::u16string(units.get()), u"x\U0001F600");
  EXPECT_EQ(emoji.ToWide(), L"x\U0001F600");

  CFStringHolder empty;
  EXPECT_FALSE(empty.ToHFSUniStr255(name));
  EXPECT_EQ(name.length, 0);
  EXPECT_FALSE(empty.ToUniChars());
  EXPECT_FALSE(CFStringHolder(L"").ToUniChars());
}

TEST(CFStringHolder, NarrowFormsAndCopies) {
  auto holder = CFStringHolder::FromCString("caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(holder.ToWide(), L"caf\u00E9 \u20AC");
  EXPECT_EQ(holder.ToNarrow(toolbox::StringEncoding::kUtf8), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(holder.ToNarrow(toolbox::StringEncoding::kMacRoman), "caf\x8E \xDB");
  EXPECT_EQ(holder.ToNarrow(toolbox::StringEncoding::kIsoLatin1), "caf\xE9 ?");

  toolbox::Str255 pascal;
  ASSERT_TRUE(holder.ToPascal(pascal));
  EXPECT_EQ(pascal[0], 9);
  EXPECT_FALSE(CFStringHolder(std::wstring(100, L'\u4E2D').c_str()).ToPascal(pascal));
  EXPECT_EQ(pascal[0], 0);

  wchar_t out[4];
  ASSERT_TRUE(CopyCFStringToWide(holder.Get(), out, 4));
  EXPECT_STREQ(out, L"caf");
  EXPECT_FALSE(CopyCFStringToWide(nullptr, out, 4));

  EXPECT_TRUE(holder.AssignWide(L"new"));
  EXPECT_FALSE(holder.AssignWide(nullptr));
  EXPECT_TRUE(holder.IsEmpty());
  EXPECT_EQ(holder.ToNarrow(toolbox::StringEncoding::kUtf8), "");
  EXPECT_FALSE(CFStringHolder::FromCString(nullptr).Get());
  holder.Adopt(toolbox::CreateString(L"x"));
  holder.Release();
  EXPECT_EQ(holder.Length(), 0u);
}

// Every numbered text the system shows. A number missing from the strings file would show
// as its own digits.
const int kNumberedTexts[] = {
    101,   102,   103,   112,   131,   1066,  1073,  1074,  1075,  1076,  1077,
    1078,  1079,  2700,  2701,  2702,  2705,  2707,  2802,  2803,  10000, 10018,
    10019, 10020, 10024, 10025, 10026, 10027, 11007, 11008,
};

TEST(NumberedTexts, EveryNumberInUseHasWording) {
  for (int number : kNumberedTexts) {
    toolbox::CFStringRef text;
    EXPECT_TRUE(GetLocalizedCFString(text, number)) << number;
    WideText wording(number);
    EXPECT_NE(std::wstring(wording.CStr()), std::to_wstring(number)) << number;
    EXPECT_GT(wording.Length(), 0u) << number;
  }
}

TEST(NumberedTexts, FormatsTakeOneWidePath) {
  for (int number : {2802, 2803}) {
    WideText format(number);
    WideText message;
    ASSERT_TRUE(message.Format(format.CStr(), L"/tmp/\u00E9\U0001F600.mp3")) << number;
    EXPECT_NE(std::wstring(message.CStr()).find(L"/tmp/\u00E9\U0001F600.mp3"),
              std::wstring::npos);
  }
}

TEST(NumberedTexts, AMissingNumberShowsItself) {
  WideText text;
  ASSERT_TRUE(LoadLocalizedString(text, 987654));
  EXPECT_STREQ(text.CStr(), L"987654");
  EXPECT_STREQ(WideText(-3).CStr(), L"-3");
  toolbox::CFStringRef out = toolbox::CreateString(L"stale");
  EXPECT_FALSE(GetLocalizedCFString(out, 987654));
  EXPECT_FALSE(out);
}

}  // namespace
