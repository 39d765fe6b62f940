#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "framework/ui/FontInfo.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

// A python3 with fontTools (Debian's python3-fonttools lives beside /usr/bin/python3).
std::string FontToolsPython() {
  for (std::string python : {"python3", "/usr/bin/python3"}) {
    int status = -1;
    testsupport::Run(python + " -c 'import fontTools' >/dev/null 2>&1", &status);
    if (status == 0) return python;
  }
  return {};
}

}  // namespace

// The families listed are those fc-list gives, each under its English name.
TEST(FontOracle, FamiliesEqualFcList) {
  if (!testsupport::HaveTool("fc-list")) GTEST_SKIP() << "fc-list (fontconfig) is not installed";
  int status = -1;
  const std::string out = testsupport::Run("fc-list : family familylang", &status);
  ASSERT_EQ(status, 0);
  std::set<std::wstring> expected;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const auto colon = line.find(":familylang=");
    std::vector<std::string> names, langs;
    std::string item;
    std::istringstream n(line.substr(0, colon));
    while (std::getline(n, item, ',')) names.push_back(item);
    if (colon != std::string::npos) {
      std::istringstream l(line.substr(colon + 12));
      while (std::getline(l, item, ',')) langs.push_back(item);
    }
    if (names.empty()) continue;
    std::string english = names.front();
    for (std::size_t i = 0; i < names.size() && i < langs.size(); ++i)
      if (langs[i] == "en") {
        english = names[i];
        break;
      }
    expected.insert(Utf8ToWide(english));
  }
  const std::vector<std::wstring>& listed = ListFontFamilies();
  EXPECT_EQ(std::set<std::wstring>(listed.begin(), listed.end()), expected);
  EXPECT_EQ(std::set<std::wstring>(listed.begin(), listed.end()).size(), listed.size());
}

// Glyph metrics of DejaVu Sans against what fontTools reads from the same file, taken to
// whole points at the same sizes in the same way.
TEST(FontOracle, DejaVuSansGlyphMetricsMatchFontTools) {
  const FontFamilyID family = FindFontFamily(L"DejaVu Sans");
  if (!family) GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
  const std::string python = FontToolsPython();
  if (python.empty()) GTEST_SKIP() << "python3 fontTools (python3-fonttools) is not installed";
  const std::string file = GetFontFile(family, 0);
  ASSERT_FALSE(file.empty());
  const std::u32string text = U"AWgij%é中Ω.";
  std::string codes;
  for (char32_t c : text) codes += std::to_string(static_cast<unsigned>(c)) + ",";
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir.path() / "m.py", R"(
import math, sys
from fontTools.ttLib import TTFont
f = TTFont(sys.argv[1]); upem = f['head'].unitsPerEm; cmap = f.getBestCmap()
def near(v): return (math.floor(v * 65536) + 0x8000) >> 16
for size in (12, 37, 1024):
    for code in [int(c) for c in sys.argv[2].split(',') if c]:
        if code not in cmap: print(size, code, -1, 0, 0); continue
        name = cmap[code]; adv, lsb = f['hmtx'][name]; g = f['glyf'][name]
        w = (g.xMax - g.xMin) if hasattr(g, 'xMax') else 0; x0 = g.xMin if hasattr(g, 'xMin') else 0
        s = size / upem
        bounds, left, extent = near(w * s), near(x0 * s), near((adv - x0 - w) * s)
        total = bounds + left + extent
        print(size, code, bounds, total, total * 1024 // size)
)");
  int status = -1;
  const std::string want = testsupport::Run(python + " '" + (dir.path() / "m.py").string() + "' '" +
                                                file + "' " + codes, &status);
  ASSERT_EQ(status, 0) << want;
  std::ostringstream got;
  FontInfo f;
  ASSERT_TRUE(f.SetFamilyByName(L"DejaVu Sans"));
  for (int size : {12, 37, 1024}) {
    f.SetSize(size);
    for (char32_t c : text)
      got << size << ' ' << static_cast<unsigned>(c) << ' ' << f.GetGlyphBoundsSize(c) << ' '
          << f.GetGlyphAdvanceSum(c) << ' ' << f.MeasureGlyphAdvanceEm(c) << '\n';
  }
  EXPECT_EQ(got.str(), want);
}
