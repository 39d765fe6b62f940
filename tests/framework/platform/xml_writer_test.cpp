#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/platform/XmlWriter.h"

namespace {

TEST(XmlWriterTest, EscapesValues) {
  struct Case {
    std::wstring in, out;
  } cases[] = {
      {L"", L""},
      {L"a<b & \"c\"", L"a&lt;b &amp; &quot;c&quot;"},
      {L"it's > 1", L"it&apos;s &gt; 1"},
      {L"a\nb\rc", L"a&#x0a;b&#x0d;c"},
      {L"a\tb", L"a&#x09;b"},
      {L"\u00c4\u00e9", L"&#xc4;&#xe9;"},
      {L"\u0080", L"&#x80;"},
      {L"\u4e2d", L"&#x4e2d;"},
      {L"\U0001F600\U0010FFFF", L"&#x1f600;&#x10ffff;"},
      {L"plain ASCII ~!", L"plain ASCII ~!"},
      // XML 1.0 cannot carry these; each becomes the replacement character.
      {L"\x01\x08\x0b\x0c\x0e\x1f", L"&#xfffd;&#xfffd;&#xfffd;&#xfffd;&#xfffd;&#xfffd;"},
      {std::wstring{wchar_t(0xD800), wchar_t(0xDFFF)}, L"&#xfffd;&#xfffd;"},
      {L"\ufffe\uffff\ufffd", L"&#xfffd;&#xfffd;&#xfffd;"},
      {std::wstring{wchar_t(0x110000), L'\x7f'}, L"&#xfffd;\x7f"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeXmlText(c.in), c.out);
}

TEST(XmlWriterTest, FormatsDoublesAsPrintfG) {
  struct Case {
    double v;
    std::wstring text;
  } cases[] = {
      {0.5, L"0.5"},          {44.1, L"44.1"},   {1e-07, L"1e-07"},
      {1234567.0, L"1.23457e+06"}, {12.0, L"12"}, {-3.25, L"-3.25"},
      {0.0, L"0"},            {100000.0, L"100000"}, {1e6, L"1e+06"},
      {static_cast<double>(0.1f), L"0.1"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatXmlDouble(c.v), c.text) << c.v;
}

}  // namespace
