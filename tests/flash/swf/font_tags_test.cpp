#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/FontTags.h"

using namespace swftest;

namespace {

// A glyph: move to (10, 10) with fill 1, a horizontal edge of 20, the end (10 0C AA 57 41 40 00).
SwfShape* Glyph() {
  auto* s = new SwfShape();
  s->SetStyleBits(1, 0);
  auto* move = new SwfStyleChangeRecord(10, 10, s);
  move->SetFillStyle(1, false);
  move->UpdateFlags();
  s->AddRecord(move);
  s->AddRecord(new SwfStraightEdgeRecord(20, 0, kLineHorizontal));
  s->AddRecord(new SwfEndShapeRecord());
  return s;
}

std::vector<std::unique_ptr<SwfTag>> ReadAll(const Bytes& bytes, uint8_t version) {
  SwfReader r;
  Load(r, bytes, version);
  std::vector<std::unique_ptr<SwfTag>> tags;
  while (r.GetPosition() < r.GetSize()) {
    const uint32_t at = r.GetPosition();
    tags.emplace_back(r.ReadNextTag());
    if (r.GetPosition() == at) break;
  }
  return tags;
}

// The DefineFont2 of DefineFont2-CS6.swf: one glyph "!" with layout, name "Verdana" and a 0
// byte, one bound and no kerning records.
const char* kCs6Font =
    "01 00 84 01 08 56 65 72 64 61 6E 61 00 01 00 04 00 21 00 10 0D 64 0A 8C 79 FF 34 37 B1 57 CF F9 5E 5D 87 00 "
    "52 FD 00 6C 4D 6C CB EC 33 6C B4 80 21 00 06 04 D7 00 DD 00 93 01 08 00 00 00";

}  // namespace

TEST(FontTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"DefineFont: two glyphs, offsets 4 and 11", 6, MadeBy<DefineFontTag>([](auto& t) {
         std::vector<std::unique_ptr<SwfShape>> glyphs;
         glyphs.emplace_back(Glyph());
         glyphs.emplace_back(Glyph());
         t.Setup({0, 7}, std::move(glyphs), 1, true);
       }),
       "94 02 01 00 04 00 0B 00 10 0C AA 57 41 40 00 10 0C AA 57 41 40 00"},
      {"DefineFont2 at version 6: name Café as UTF-8 with its byte count, layout, bounds, kerning", 6,
       MadeBy<DefineFont2Tag>([](auto& t) {
         t.name = L"Caf\u00e9", t.flags = kFontHasLayout | kFontWideCodes;
         t.AddGlyph('A', Glyph(), 500, new SwfRect());
         t.SetMetrics(900, 200, 0);
         t.kerning.push_back({'A', 'A', -10});
       }),
       "2B 0C 01 00 84 00 05 43 61 66 C3 A9 01 00 04 00 0B 00 10 0C AA 57 41 40 00 41 00 84 03 C8 00 00 00 F4 01 "
       "08 00 01 00 41 00 41 00 F6 FF"},
      {"DefineFont2 at version 5 keeps ANSI and one-byte codes", 5, MadeBy<DefineFont2Tag>([](auto& t) {
         t.name = L"";
         t.codes.push_back('A');
         t.shapes.emplace_back(Glyph());
       }),
       "13 0C 01 00 10 00 00 01 00 04 00 0B 00 10 0C AA 57 41 40 00 41"},
      {"DefineFont2 without glyphs, bounds or kerning table: the code table offset, then the metrics", 6,
       MadeBy<DefineFont2Tag>([](auto& t) {
         t.name = L"", t.flags = kFontWideCodes;
         t.SetMetrics(100, 20, 0);
         t.hasBounds = t.hasKerning = false;
       }),
       "0F 0C 01 00 84 00 00 00 00 02 00 64 00 14 00 00 00"},
      {"DefineFontInfo", 6, MadeBy<DefineFontInfoTag>([](auto& t) { t.Setup(1, L"Verdana", L"-_", kFontInfoAnsi); }),
       "4D 03 01 00 07 56 65 72 64 61 6E 61 08 2D 5F"},
      {"DefineFontInfo2 with wide codes and a language", 6, MadeBy<DefineFontInfo2Tag>([](auto& t) {
         t.Setup(1, L"Verdana", L"-_", 0x17), t.language = 1;
       }),
       "90 0F 01 00 07 56 65 72 64 61 6E 61 17 01 2D 00 5F 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(FontTags, DamagedFontsStayInsideTheirTag) {
  struct Case {
    const char* name;
    std::string in;  // a tag, then a ShowFrame that must read intact
    std::string out;
    std::string describe;
  } cases[] = {
      {"DefineFont of only its id: no glyphs, written as the id alone", "82 02 01 00 40 00", "82 02 01 00", "font 1"},
      {"DefineFont whose table runs past the tag is kept as read", "86 02 01 00 FE FF 00 00 40 00",
       "86 02 01 00 FE FF 00 00", "font 1 as read [FE FF 00 00]"},
      {"font info whose name length 200 runs past its 12-byte tag is kept as read",
       "4C 03 01 00 C8 41 42 43 44 45 46 47 48 49 40 00", "4C 03 01 00 C8 41 42 43 44 45 46 47 48 49",
       "raw 13 [01 00 C8 41 42 43 44 45 46 47 48 49]"},
      {"DefineFont2 of DefineFont2-CS6.swf without its bound and kerning count",
       "3A 0C " + std::string(kCs6Font).substr(0, 58 * 3 - 1) + " 40 00",
       "3A 0C " + std::string(kCs6Font).substr(0, 58 * 3 - 1), ""},
      {"DefineFont2 cut inside its bounds is kept as read", "3B 0C " + std::string(kCs6Font).substr(0, 59 * 3 - 1) + " 40 00",
       "3B 0C " + std::string(kCs6Font).substr(0, 59 * 3 - 1), ""},
      {"DefineFont2 cut inside its kerning table is kept as read",
       "3F 0C 40 00 00 00 " + std::string(kCs6Font).substr(0, 60 * 3 - 1) + " 01 00 41 41 40 00",
       "3F 0C 40 00 00 00 " + std::string(kCs6Font).substr(0, 60 * 3 - 1) + " 01 00 41 41", ""},
      {"DefineFont2 cut inside its id is kept as read, not read again as a font of no glyphs", "01 0C E0 40 00",
       "01 0C E0", "raw 48 [E0]"},
      {"DefineFont2 cut before its code table offset is kept as read", "07 0C 01 00 00 00 00 00 00 40 00",
       "07 0C 01 00 00 00 00 00 00", "font2 1 flags 0 lang 0 name '' metrics 0,0,0 as read [00 00 00 00 00]"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tags = ReadAll(Hex(c.in), 7);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[1]->GetTagCode(), 1) << "the next tag reads intact";
    if (!c.describe.empty()) {
      EXPECT_EQ(Describe(*tags[0], 7), c.describe);
    }
    EXPECT_EQ(ToHex(Written(*tags[0], 7)), c.out);
    // What is written reads back as itself.
    auto again = ReadAll(Hex(c.out), 7);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(ToHex(Written(*again[0], 7)), c.out);
  }
}

TEST(FontTags, OlderFontsWithoutBoundsAndKerning) {
  auto cut = ReadAll(Hex("3A 0C " + std::string(kCs6Font).substr(0, 58 * 3 - 1)), 7);
  auto& font = dynamic_cast<DefineFont2Tag&>(*cut[0]);
  EXPECT_FALSE(font.keptAsRead);
  ASSERT_EQ(font.shapes.size(), 1u);
  EXPECT_EQ(font.advances, std::vector<int16_t>{403});
  EXPECT_FALSE(font.hasBounds);
  EXPECT_FALSE(font.hasKerning);
  EXPECT_TRUE(font.kerning.empty());

  auto whole = ReadAll(Hex(std::string("3E 0C ") + kCs6Font), 7);
  auto& full = dynamic_cast<DefineFont2Tag&>(*whole[0]);
  EXPECT_TRUE(full.hasBounds && full.hasKerning);
  ASSERT_EQ(full.bounds.size(), 1u);
  EXPECT_EQ(Describe(*full.bounds[0], 7), "rect 0,0,0,0");
  EXPECT_TRUE(full.kerning.empty());
  // The name keeps its 0 byte under its length 8.
  EXPECT_EQ(ToHex(full.name.Encode(7)), "56 65 72 64 61 6E 61 00");
  EXPECT_EQ(ToHex(Written(full, 7)), ToHex(Hex(std::string("3E 0C ") + kCs6Font)));
}

TEST(FontTags, FlagsNamesAndShifts) {
  // Version 6 and later: ANSI and Shift-JIS give way to wide codes.
  DefineFont2Tag ansi;
  EXPECT_EQ(Written(ansi, 6)[4], kFontWideCodes);
  EXPECT_EQ(Written(ansi, 5)[4], kFontAnsi);

  DefineFont2Tag suffixed(L"Verdana", 12, 0);
  suffixed.nameSuffix = true;
  const Bytes named = Written(suffixed, 6);
  EXPECT_EQ(ToHex(Bytes(named.begin() + 6, named.begin() + 16)), "09 56 65 72 64 61 6E 61 31 32");
  // A name is cut at 255 bytes, never inside a character.
  EXPECT_EQ(FontNameBytes(std::wstring(200, L'\u00e9'), false, 1, 6).size(), 254u);

  // A first entry set wrongly still goes out as the table's size; a missing outline as an
  // empty shape.
  DefineFontTag wrong;
  std::vector<std::unique_ptr<SwfShape>> glyphs;
  glyphs.emplace_back(nullptr);
  wrong.Setup({99}, std::move(glyphs), 1, false);
  EXPECT_EQ(ToHex(Written(wrong, 6)), "86 02 01 00 02 00 00 00");

  DefineFontTag f;
  DefineFont2Tag f2;
  DefineFontInfoTag i(2);
  DefineFontInfo2Tag i2(2);
  f.characterId = 2, f2.characterId = 2;
  for (SwfTag* t : std::vector<SwfTag*>{&f, &f2, &i, &i2}) t->ShiftIdsAndDepths(5, 1, 1);
  EXPECT_EQ(f.characterId, 7);
  EXPECT_EQ(f2.characterId, 7);
  EXPECT_EQ(i.fontId, 7);
  EXPECT_EQ(i2.fontId, 7);
}

// A font built without bounds but with a kerning table: the bounds are written before the
// table (empty), so that the kerning reads back as kerning.
TEST(FontTags, KerningWithoutBoundsReadsBackAsKerning) {
  DefineFont2Tag built(L"K", 1, kFontHasLayout | kFontWideCodes);
  built.AddGlyph('A', Glyph(), 500, nullptr);
  built.AddGlyph('V', Glyph(), 600, nullptr);
  built.hasBounds = false;
  built.kerning = {{'A', 'V', -40}, {'V', 'A', -30}};
  const Bytes written = Written(built, 6);
  auto read = ReadAll(written, 6);
  auto& font = dynamic_cast<DefineFont2Tag&>(*read.at(0));
  EXPECT_EQ(font.advances, (std::vector<int16_t>{500, 600}));
  ASSERT_EQ(font.kerning.size(), 2u);
  EXPECT_EQ(font.kerning[1].adjustment, -30);
  EXPECT_EQ(ToHex(Written(font, 6)), ToHex(written));
}
