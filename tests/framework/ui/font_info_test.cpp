#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/ui/FontInfo.h"
#include "support/TestSupport.h"
#include "toolbox/Menus.h"

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
  EXPECT_EQ(f.GetFamilyName(), L"DejaVu Sans Mono");
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

// An id outside the family list leaves the family as it was.
TEST(FontInfo, UnknownFamilyIdLeavesTheFamily) {
  FontInfo f;
  const std::wstring name = f.GetFamilyName();
  const std::int32_t id = f.GetFamilyId();
  const auto count = static_cast<std::int32_t>(ListFontFamilies().size());
  for (std::int32_t bad : {-1, 0, count + 1, 32767, 70000, -70000}) {
    f.SetFamilyById(bad);
    EXPECT_EQ(f.GetFamilyId(), id) << bad;
    EXPECT_EQ(f.GetFamilyName(), name) << bad;
  }
}

namespace {

// A python with fontTools: the first python3 on the path, else the system's.
std::string FontToolsPython() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    int status = -1;
    testsupport::Run(std::string(python) + " -c 'import fontTools' 2>/dev/null", &status);
    if (status == 0) return python;
  }
  return {};
}

}  // namespace

// Two families made from DejaVu Sans for this test through a private fontconfig setup: one
// whose name has an accent, one whose only face is Medium.
TEST(FontInfo, AccentedAndMediumOnlyFamiliesWork) {
  const std::string python = FontToolsPython();
  if (python.empty()) GTEST_SKIP() << "python3 with fontTools (python3-fonttools) is not installed";
  const std::string source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "make.py", R"(import sys
from fontTools.ttLib import TTFont
source, folder = sys.argv[1], sys.argv[2]
for file, family, face, weight in (("cafe.ttf", "Caf\u00e9 Sans", "Regular", 400),
                                   ("medium.ttf", "Medium Only", "Medium", 500)):
    font = TTFont(source)
    name = font["name"]
    name.names = [r for r in name.names if r.nameID not in (1, 2, 3, 4, 6, 16, 17)]
    for nid, text in ((1, family), (2, face), (3, family + " " + face), (4, family + " " + face),
                      (6, (family + "-" + face).replace(" ", "").encode("ascii", "ignore").decode())):
        name.setName(text, nid, 3, 1, 0x409)
    font["OS/2"].usWeightClass = weight
    font.save(folder + "/" + file)
)");
  int status = -1;
  const std::string out =
      testsupport::Run(python + " '" + (dir / "make.py").string() + "' '" + source + "' '" + dir.str() + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  testsupport::WriteFile(dir / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                                             "<include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
                                             "<dir>" + dir.str() + "</dir>\n<cachedir>" + dir.str() + "/cache</cachedir>\n"
                                             "</fontconfig>\n");
  setenv("FONTCONFIG_FILE", (dir / "fonts.conf").c_str(), 1);
  if (FindFontFamily(L"Caf\u00e9 Sans") == 0)
    GTEST_SKIP() << "the font list was read before this test's fonts were installed; run the test alone";

  // Stored under its ASCII spelling, the accented family is found again.
  FontInfo chosen;
  chosen.SetFamilyById(FindFontFamily(L"Caf\u00e9 Sans"));
  chosen.SetSize(14);
  EXPECT_EQ(chosen.GetFamilyName(), L"Cafe Sans");
  FontRecord record;
  chosen.ToRecord(&record);
  FontInfo restored;
  EXPECT_TRUE(restored.FromRecord(chosen.GetFamilyName(), record));
  EXPECT_EQ(restored.GetFamilyId(), chosen.GetFamilyId());
  EXPECT_TRUE(restored.SetFamilyByName(L"cafe sans"));
  EXPECT_FALSE(restored.SetFamilyByName(L"Cafe"));

  // A family of Medium faces only is listed, offered in font menus and measures like any.
  const FontFamilyID medium = FindFontFamily(L"Medium Only");
  ASSERT_NE(medium, 0);
  EXPECT_EQ(GetFontFamilyStyles(medium), std::vector<std::uint16_t>{0});
  MenuRef menu;
  ASSERT_EQ(CreateNewMenu(77, L"", &menu), kNoErr);
  ASSERT_EQ(CreateStandardFontMenu(menu, 0, 100, true, nullptr), kNoErr);
  bool offered = false;
  for (std::uint16_t i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemInfo item;
    GetMenuItem(menu, i, &item);
    offered = offered || item.text == L"Medium Only";
  }
  EXPECT_TRUE(offered);
  FontInfo m;
  ASSERT_TRUE(m.SetFamilyByName(L"Medium Only"));
  m.SetSize(20);
  EXPECT_GT(m.GetAscent(), 0);
  EXPECT_GT(m.GetAscentPlusDescent(), 0);
  EXPECT_GT(m.MeasureGlyphAdvanceEm(U'A'), 0);
  EXPECT_GT(m.GetGlyphBoundsSize(U'A'), 0);
}
