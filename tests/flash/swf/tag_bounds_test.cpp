// Every read of a tag's fields stays within that tag: a tag too short for its fields is kept
// as read and the next tag reads as itself; and the tags that were misread (an edit text with
// a font class, a glyphless DefineFont2 without its code table offset, button action lists
// behind padding or with bytes behind their End) read as their bytes say and write back whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "SwfTestSupport.h"
#include "flash/swf/ButtonTags.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"
#include "flash/swf/SwfStyles.h"
#include "flash/swf/TextTags.h"
#include "support/TestSupport.h"

namespace {

using swftest::Bytes;
using swftest::Hex;
using swftest::ToHex;

Bytes TagBytes(uint16_t code, const Bytes& body) {
  Bytes out;
  BuildTagHeader(out, code, static_cast<uint32_t>(body.size()), false);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// Reads `bytes` as a movie's tags of `version`; the tags are owned by the caller.
std::vector<std::unique_ptr<SwfTag>> ReadTags(const Bytes& bytes, uint8_t version) {
  SwfReader r;
  swftest::Load(r, bytes, version);
  r.ReadTagsUntil(nullptr, 0);
  std::vector<std::unique_ptr<SwfTag>> tags;
  for (SwfTag* t : r.tags) tags.emplace_back(t);
  r.tags.clear();
  return tags;
}

Bytes WrittenAll(const std::vector<std::unique_ptr<SwfTag>>& tags, uint8_t version) {
  Bytes out;
  for (auto& t : tags) {
    const Bytes one = swftest::Written(*t, version);
    out.insert(out.end(), one.begin(), one.end());
  }
  return out;
}

// Each tag cut short before its fixed fields end, followed by SetBackgroundColor AA BB CC and
// a ShowFrame: the short tag is written back as it was, and the colour is the next tag's.
TEST(TagBounds, ShortTagsKeepTheirBytesAndLeaveTheNextTagAlone) {
  const struct {
    const char* name;
    uint16_t code;
    const char* body;
  } cases[] = {
      {"DefineVideoStream of 4 bytes", 60, "01 00 02 00"},
      {"PlaceObject2 whose character id is missing", 26, "06 01 00"},
      {"PlaceObject2 whose clip actions are missing", 26, "82 01 00 02 00"},
      {"StartSound without its sound info", 15, "01 00"},
      {"DefineButton2 without its action offset", 34, "01 00 00"},
      {"DefineSound without its sample count", 14, "01 00 2E"},
      {"PlaceObject without its depth", 4, "01 00"},
      {"DefineEditText cut inside its flags", 37, "02 00 00 81"},
      {"DefineEditText cut inside its font height", 37, "02 00 00 01 00 03 00 F0"},
      {"PlaceObject2 whose clip actions lack their end marker", 26, "82 01 00 01 00 00 00 01 00 00 00 01 00 00 00 02 00 00 00 07 00"},
      {"DefineButton2 whose action list's size runs past its body", 34,
       "01 00 00 0A 00 08 02 00 01 00 00 04 00 10 00 08 00 96 03 00 00 41 00 26 00"},
      {"DoInitAction cut inside a Push", 59, "02 00 96 03 00 00"},
      {"DefineButtonSound without its last two sounds", 17, "03 00 00 00 02 00 00"},
      {"DefineShape3 of one byte", 32, "01"},
      {"DefineMorphShape of one byte", 46, "01"},
      {"DefineFont of one byte", 10, "01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes movie = TagBytes(c.code, Hex(c.body));
    const Bytes rest = TagBytes(9, Hex("AA BB CC"));
    movie.insert(movie.end(), rest.begin(), rest.end());
    movie.insert(movie.end(), {0x40, 0x00});
    const auto tags = ReadTags(movie, 8);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0]->GetTagCode(), c.code);
    auto* colour = dynamic_cast<SetBackgroundColorTag*>(tags[1].get());
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->color.r, 0xAA);
    EXPECT_EQ(colour->color.b, 0xCC);
    EXPECT_EQ(ToHex(WrittenAll(tags, 8)), ToHex(movie));
  }
}

// Real tags of the corpus, each shortened by one byte up to twelve, followed by
// SetBackgroundColor AA BB CC: none reads into the colour or writes its bytes back inside
// itself.
TEST(TagBounds, ShortenedCorpusTagsStayInsideTheirTag) {
  SKIP_WITHOUT_CORPUS();
  int shortened = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    SwfReader light;
    if (!light.ReadAllTags(swftest::PathOf(entry.path()))) continue;
    const uint8_t version = light.GetVersion();
    for (SwfTag* t : light.tags) {
      auto* raw = dynamic_cast<RawTag*>(t);
      const uint16_t code = t->GetTagCode();
      if (!raw || (code != 4 && code != 14 && code != 15 && code != 26 && code != 34 && code != 37 && code != 60))
        continue;
      for (size_t cut = 1; cut <= raw->body.size() && cut <= 12; ++cut) {
        SCOPED_TRACE(entry.path().filename().string() + " tag " + std::to_string(code) + " less " + std::to_string(cut));
        Bytes movie = TagBytes(code, Bytes(raw->body.begin(), raw->body.end() - static_cast<std::ptrdiff_t>(cut)));
        const Bytes rest = TagBytes(9, Hex("AA BB CC"));
        movie.insert(movie.end(), rest.begin(), rest.end());
        const auto tags = ReadTags(movie, version);
        ASSERT_EQ(tags.size(), 2u);
        auto* colour = dynamic_cast<SetBackgroundColorTag*>(tags[1].get());
        ASSERT_NE(colour, nullptr);
        EXPECT_EQ(colour->color.r, 0xAA);
        // The short tag carries none of the next tag's bytes (it may close what was cut: a
        // string's 0, an action list's End), and what is written reads back as itself.
        const std::string written = ToHex(swftest::Written(*tags[0], version));
        if (ToHex(raw->body).find("AA BB CC") == std::string::npos) {
          EXPECT_EQ(written.find("AA BB CC"), std::string::npos) << written;
        }
        const Bytes again = WrittenAll(tags, version);
        EXPECT_EQ(ToHex(WrittenAll(ReadTags(again, version), version)), ToHex(again));
        ++shortened;
      }
    }
    light.ClearTags(true);
  }
  EXPECT_GT(shortened, 40);
}

// The light read (every tag raw but the colour and the labels) keeps a short colour as it is.
TEST(TagBounds, LightReadKeepsAShortColourAsItIs) {
  testsupport::ScratchDir dir;
  auto* colour = new RawTag(9, 2);
  colour->body = {0x11, 0x22};
  testsupport::WriteFile(dir / "m.swf", swftest::MovieBytes(6, {colour, new ShowFrameTag(), new EndTag()}));
  SwfReader light;
  ASSERT_TRUE(light.ReadAllTags(swftest::PathOf(dir / "m.swf")));
  ASSERT_EQ(light.tags.size(), 3u);
  EXPECT_EQ(ToHex(swftest::Written(*light.tags[0], 6)), "42 02 11 22");
  light.ClearTags(true);
}

// A cut movie fails streamed with the reason the other readers give.
TEST(TagBounds, StreamingACutMovieFailsWithTheLoadersReason) {
  testsupport::ScratchDir dir;
  std::string movie = swftest::MovieBytes(6, {new SetBackgroundColorTag(1, 2, 3), new ShowFrameTag(), new EndTag()});
  testsupport::WriteFile(dir / "cut.swf", movie.substr(0, movie.size() - 6));
  SwfReader whole, streamed;
  EXPECT_FALSE(whole.ReadAllTagsFromMemory(swftest::PathOf(dir / "cut.swf"), true, 0, true));
  ASSERT_TRUE(streamed.OpenStream(swftest::PathOf(dir / "cut.swf")));
  SwfMovieWriter w;
  w.SetHeaderFrom(streamed.header);
  ASSERT_TRUE(w.Open(swftest::PathOf(dir / "out.swf"), true));
  EXPECT_FALSE(StreamSwfTags(streamed, w));
  EXPECT_EQ(streamed.errorCode, kSwfErrorNotSwf);
  EXPECT_EQ(streamed.errorCode, whole.errorCode);
}

// An edit text with the font class flag (version 9): id 2, no bounds, has text and font, the
// class "F", height 240, variable "v", text "hi".
TEST(TagBounds, EditTextWithAFontClassKeepsItsHeightAndText) {
  const Bytes body = Hex("02 00 00 81 80 03 00 46 00 F0 00 76 00 68 69 00");
  auto check = [](const std::vector<std::unique_ptr<SwfTag>>& tags) {
    ASSERT_EQ(tags.size(), 1u);
    auto* edit = dynamic_cast<DefineEditTextTag*>(tags[0].get());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->fontId, 3);
    EXPECT_EQ(edit->fontClass.Text(), L"F");
    EXPECT_EQ(edit->fontHeight, 240);
    EXPECT_EQ(edit->variableName.Text(), L"v");
    EXPECT_EQ(edit->initialText.Text(), L"hi");
  };
  const auto tags = ReadTags(TagBytes(37, body), 9);
  check(tags);
  // Written back (with the layout block reading adds) and read again: the same fields.
  ASSERT_EQ(tags.size(), 1u);
  check(ReadTags(swftest::Written(*tags[0], 9), 9));
}

// A DefineFont2 without glyphs whose layout follows the glyph count at once (no code table
// offset): ascent 100, descent 20, leading 5, no kerning.
TEST(TagBounds, GlyphlessFontWithoutCodeTableOffsetKeepsItsMetrics) {
  const struct {
    const char* name;
    const char* body;
  } cases[] = {
      {"without the offset", "01 00 80 00 01 41 00 00 64 00 14 00 05 00 00 00"},
      {"with the offset", "01 00 80 00 01 41 00 00 02 00 64 00 14 00 05 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto tags = ReadTags(TagBytes(48, Hex(c.body)), 6);
    ASSERT_EQ(tags.size(), 1u);
    auto* font = dynamic_cast<DefineFont2Tag*>(tags[0].get());
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(font->keptAsRead);
    EXPECT_EQ(font->ascent, 100);
    EXPECT_EQ(font->descent, 20);
    EXPECT_EQ(font->leading, 5);
    EXPECT_TRUE(font->hasKerning);
    const auto again = ReadTags(swftest::Written(*font, 6), 6);
    auto* reread = dynamic_cast<DefineFont2Tag*>(again[0].get());
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->ascent, 100);
    EXPECT_EQ(reread->leading, 5);
  }
}

// Button action lists start where the action offset points (behind one byte of padding here),
// and the bytes behind the End of a list without actions are written back.
TEST(TagBounds, ButtonActionListsAreReadWhereTheyAreAndKeptWhole) {
  // DefineButton2 1: one record (up state, character 2, depth 1), padding 00, then the last
  // list: condition 0x0008, Stop, End.
  const auto padded = ReadTags(TagBytes(34, Hex("01 00 00 0B 00 01 02 00 01 00 00 04 00 00 00 00 08 00 07 00")), 6);
  ASSERT_EQ(padded.size(), 1u);
  auto* button = dynamic_cast<DefineButton2Tag*>(padded[0].get());
  ASSERT_NE(button, nullptr);
  ASSERT_FALSE(button->keptAsRead);
  ASSERT_EQ(button->conditions.size(), 1u);
  EXPECT_EQ(button->conditions[0], 0x0008);
  ASSERT_EQ(button->actionLists.size(), 1u);
  EXPECT_EQ(button->actionLists[0]->actions.size(), 1u);
  EXPECT_EQ(ToHex(swftest::Written(*button, 6)),
            ToHex(TagBytes(34, Hex("01 00 00 0A 00 01 02 00 01 00 00 04 00 00 00 08 00 07 00"))));

  const struct {
    const char* name;
    uint16_t code;
    const char* body;
  } kept[] = {
      {"DefineButton", 7, "01 00 01 02 00 01 00 00 00 00 AB CD"},
      {"DefineButton2", 34, "01 00 00 0A 00 01 02 00 01 00 00 04 00 00 00 08 00 00 AB CD"},
      {"DefineButton2 offset into its records", 34, "01 00 00 04 00 01 02 00 01 00 00 04 00 00 00 08 00 07 00"},
  };
  for (const auto& c : kept) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = TagBytes(c.code, Hex(c.body));
    EXPECT_EQ(ToHex(WrittenAll(ReadTags(bytes, 6), 6)), ToHex(bytes));
  }
}

// A shape's records select no more than 32,767 styles of a kind: a style array refuses more,
// in every build.
TEST(TagBounds, StyleArraysRefuseMoreStylesThanRecordsCanSelect) {
  SwfFillStyleArray fills(false);
  SwfLineStyleArray lines(false);
  for (size_t i = 0; i < kMaxShapeStyles; ++i) {
    ASSERT_TRUE(fills.Append(new SwfFillStyle()));
    ASSERT_TRUE(lines.Append(new SwfLineStyle()));
  }
  EXPECT_FALSE(fills.Append(new SwfFillStyle()));
  EXPECT_FALSE(lines.Append(new SwfLineStyle()));
  EXPECT_EQ(fills.styles.size(), kMaxShapeStyles);
  EXPECT_EQ(lines.styles.size(), kMaxShapeStyles);
}

}  // namespace
