#include <gtest/gtest.h>

#include <string>

#include "framework/ui/FontInfo.h"

using namespace toolbox;

namespace {
bool HaveDejaVu() { return FindFontFamily(L"DejaVu Sans") != 0; }
}  // namespace

TEST(FontInfo, StyleNamesAndRecords) {
  struct { std::uint16_t style; const wchar_t* name; } names[] = {
      {0, L"Regular"}, {3, L"Bold Italic"}, {96, L"Condense Extend"}, {4, L"Underline"}};
  FontInfo f;
  for (auto n : names) {
    f.SetStyle(n.style);
    EXPECT_EQ(f.GetStyleName(), n.name);
  }
  f.SetStyle(FontInfo::kBold);
  f.SetSize(12);
  FontRecord r;
  f.ToRecord(&r);
  EXPECT_EQ(r.words, (std::array<std::int32_t, 7>{12, 0, 0, 0, 1, 0, 0}));
  FontInfo g;
  g.SetSize(30);
  EXPECT_TRUE(g.FromRecord(f.GetFamilyName(), r));
  EXPECT_EQ(g.GetSize(), 12);
  EXPECT_TRUE(g.IsBold());
  EXPECT_EQ(g.GetFamilyId(), f.GetFamilyId());
  // Damaged sizes keep the size; style and family still apply.
  for (std::int32_t bad : {0, -12, 0x0C000000}) {
    FontRecord damaged = r;
    damaged.words[0] = bad;
    damaged.words[4] = FontInfo::kItalic;
    EXPECT_TRUE(g.FromRecord(L"NoSuchFont", damaged));
    EXPECT_EQ(g.GetSize(), 12) << bad;
    EXPECT_TRUE(g.IsItalic());
    EXPECT_EQ(g.GetFamilyId(), f.GetFamilyId());
  }
}

TEST(FontInfo, FamiliesAreMatchedWholeAndNeverSubstituted) {
  if (!HaveDejaVu()) GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
  FontInfo f;
  const std::wstring before = f.GetFamilyName();
  const std::int32_t id = f.GetFamilyId();
  EXPECT_FALSE(f.SetFamilyByName(std::wstring(1000, L'D')));
  EXPECT_FALSE(f.SetFamilyByName(L"NoSuchFont"));
  EXPECT_FALSE(f.SetFamilyByName(L"DejaVu Sans with a long tail"));
  EXPECT_EQ(f.GetFamilyName(), before);
  EXPECT_EQ(f.GetFamilyId(), id);
  FontRecord r;
  f.ToRecord(&r);
  EXPECT_TRUE(f.FromRecord(std::wstring(1000, L'D'), r));
  EXPECT_EQ(f.GetFamilyId(), id);
  EXPECT_TRUE(f.SetFamilyByName(L"dejavu sans mono"));
  EXPECT_EQ(f.GetFamilyId(), FindFontFamily(L"DejaVu Sans Mono"));
  FontInfo g;
  g.Assign(f);
  EXPECT_FALSE(g.SetFamily(f));
  g.SetSize(13);
  EXPECT_TRUE(g.EqualsFamilyAndStyle(f));
  EXPECT_TRUE(f.SetFamily(g));
  EXPECT_EQ(f.GetSize(), 13);
}

TEST(FontInfo, MissingGlyphsMeasureNothing) {
  if (!HaveDejaVu()) GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
  FontInfo f;
  ASSERT_TRUE(f.SetFamilyByName(L"DejaVu Sans"));
  const char32_t missing = 0x10FFFD;  // a private-use code point no face has
  EXPECT_EQ(f.GetGlyphBoundsSize(missing), -1);
  EXPECT_EQ(f.GetGlyphAdvanceSum(missing), 0);
  EXPECT_EQ(f.MeasureGlyphAdvanceEm(missing), 0);
  EXPECT_EQ(f.GetGlyphLeftBearing(missing), 0);
  EXPECT_GT(f.MeasureGlyphAdvanceEm(U'A'), 0);
  EXPECT_GT(f.MeasureGlyphAdvanceEm(U'é'), 0);  // a code point above 0x7F is its own glyph
  EXPECT_GE(f.GetAscentPlusDescent(), 12);
  EXPECT_EQ(f.GetHeightEm(), (f.GetAscent() + f.GetDescent()) * 1024 / f.GetAscentPlusDescent());
  f.SetSize(0);
  EXPECT_EQ(f.MeasureGlyphAdvanceEm(U'A'), 0);
  EXPECT_EQ(f.GetAscentEm(), 0);
  f.SetSize(-5);
  EXPECT_EQ(f.GetHeightEm(), 0);
}

TEST(FontInfo, TransliterationIsFixedWhateverTheLocale) {
  struct { const wchar_t* in; const wchar_t* out; } cases[] = {
      {L"Café", L"Cafe"}, {L"Œuvre Straße", L"OEuvre Strasse"}, {L"Łódź Sans", L"Lodz Sans"},
      {L"中文 Sans", L"中文 Sans"}, {L"Plain", L"Plain"}, {L"", L""}};
  for (auto c : cases) EXPECT_EQ(TransliterateFontName(c.in), c.out) << c.in;
  EXPECT_EQ(FixedToNearest(9.6), 10);
  EXPECT_EQ(FixedToNearest(2.4), 2);
  EXPECT_EQ(FixedToNearest(-0.5), 0);
  EXPECT_FALSE(IsFontPanelEnabled());
}

TEST(FontInfo, ApplyToPortSetsTheRequestedParts) {
  GWorldPtr port = nullptr;
  ASSERT_EQ(NewGWorld(&port, 32, Rect{0, 0, 2, 2}), kNoErr);
  GrafPtr previous;
  GetGWorld(&previous);
  SetGWorld(port);
  FontInfo f;
  f.SetSize(18);
  f.SetStyle(FontInfo::kItalic);
  f.ApplyToPort(FontInfo::kApplySize | FontInfo::kApplyFace);
  EXPECT_EQ(GetPortTextSize(port), 18);
  EXPECT_EQ(GetPortTextFace(port), FontInfo::kItalic);
  EXPECT_EQ(GetPortTextFont(port), 0);
  f.ApplyToPort(FontInfo::kApplyFont);
  EXPECT_EQ(GetPortTextFont(port), f.GetFamilyId());
  SetGWorld(previous);
  DisposeGWorld(port);
}
