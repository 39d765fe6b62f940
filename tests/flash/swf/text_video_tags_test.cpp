#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/TextTags.h"
#include "flash/swf/VideoTags.h"

using namespace swftest;

namespace {

SwfGlyphRecord* Glyphs(std::initializer_list<SwfGlyphEntry> entries) {
  auto* g = new SwfGlyphRecord(static_cast<uint8_t>(entries.size()));
  g->entries = entries;
  return g;
}

void Add(DefineTextTag& t, SwfTextRecordBase* r) { t.records.emplace_back(r); }

// Every tag of the bytes, read one after another.
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

}  // namespace

TEST(TextVideoTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"DefineText2: style with font, colour and offsets; advances 300 and -600 take 11 bits", 6,
       MadeBy<DefineText2Tag>([](auto& t) {
         t.Setup(2, new SwfRect(), new SwfMatrix(), 0, 0);
         auto* s = new SwfTextRecord();
         s->SetFontId(1), s->SetColor(new SwfRgba(0, 0, 0xFF, 0xFF)), s->SetOffset(10, 240), s->SetTextHeight(360);
         Add(t, s);
         Add(t, Glyphs({{5, 300}, {1, -600}}));
       }),
       "5A 08 02 00 08 00 00 03 0B 8F 01 00 00 00 FF FF 0A 00 F0 00 68 01 02 A4 B0 DA 80 00"},
      {"DefineText: a style record alone, RGB colour, then the end", 6, MadeBy<DefineTextTag>([](auto& t) {
         t.Setup(1, new SwfRect(), new SwfMatrix(), 0, 0);
         auto* s = new SwfTextRecord(0x88);
         s->fontId = 2, s->textHeight = 240, s->SetColor(new SwfRgb(0xFF, 0, 0));
         Add(t, s);
       }),
       "D0 02 01 00 08 00 00 00 01 8C 02 00 FF 00 00 F0 00 00"},
      {"DefineText: a glyph record alone", 6, MadeBy<DefineTextTag>([](auto& t) {
         t.Setup(1, new SwfRect(), new SwfMatrix(), 0, 0);
         Add(t, Glyphs({{1, 10}}));
       }),
       "CA 02 01 00 08 00 00 01 05 01 A8 00"},
      {"DefineText2: a style record with glyph count 0 in the middle", 6, MadeBy<DefineText2Tag>([](auto& t) {
         t.Setup(1, new SwfRect(), new SwfMatrix(), 0, 0);
         auto* s = new SwfTextRecord();
         s->SetFontId(1), s->SetTextHeight(240);
         Add(t, s);
         Add(t, Glyphs({}));
         auto* s2 = new SwfTextRecord(kTextHasXOffset);
         s2->xOffset = 20;
         Add(t, s2);
         Add(t, Glyphs({{0, 100}, {1, 100}, {2, 100}}));
       }),
       "56 08 01 00 08 00 00 02 08 88 01 00 F0 00 00 81 14 00 03 19 16 49 90 00"},
      {"edit text with font, layout and the initial text café (UTF-8 at version 6)", 6,
       MadeBy<DefineEditTextTag>([](auto& t) {
         t.characterId = 3, t.bounds = std::make_unique<SwfRect>();
         t.flags = kEditHasText | kEditHasFont, t.fontId = 1, t.SetFontHeight(240);
         t.variableName = L"foo", t.initialText = L"caf\u00e9";
       }),
       "5D 09 03 00 08 00 81 20 01 00 F0 00 00 00 00 00 00 00 00 00 00 66 6F 6F 00 63 61 66 C3 A9 00"},
      {"edit text 0x8001 with colour and max length: flag bytes high first", 6, MadeBy<DefineEditTextTag>([](auto& t) {
         t.Setup(4, new SwfRgba(0x11, 0x22, 0x33, 0xFF), SwfString());
         t.bounds = std::make_unique<SwfRect>();
         t.flags |= kEditHasText | kEditUseOutlines | kEditHasMaxLength, t.maxLength = 10;
       }),
       "4E 09 04 00 08 00 86 01 11 22 33 FF 0A 00 00 00"},
      {"video stream: 300 frames of 320 x 240, smoothing and deblocking 2", 6, MadeBy<DefineVideoStreamTag>([](auto& t) {
         t.Setup(300, 320, 240), t.SetDeblocking(2), t.characterId = 1;
       }),
       "0A 0F 01 00 2C 01 40 01 F0 00 05 02"},
      {"video frame", 6, MadeBy<VideoFrameTag>([](auto& t) {
         t.streamId = 1, t.frameNumber = 2, t.data = {0xAA, 0xBB}, t.bodyLength = 6;
       }),
       "46 0F 01 00 02 00 AA BB"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(TextVideoTags, CreatorInfoWritesItsMarkAndReadsItBack) {
  AudioEditionCreatorTag audio(1, 8);
  const Bytes w = Written(audio, 6);
  const std::string body = "\x10Orvenna Software\x16http://www.orvenna.com\x07" "Brivane";
  ASSERT_EQ(w.size(), 2 + body.size() + 12);
  EXPECT_EQ(ToHex(Bytes(w.begin(), w.begin() + 2)), "BC E7");  // code 926, 60 bytes
  EXPECT_EQ(ToHex(Bytes(w.begin() + 2, w.end() - 12)), ToHex(body));
  EXPECT_EQ(ToHex(Bytes(w.end() - 12, w.end())), "34 00 00 00 01 00 4D 00 00 00 08 00");
  EXPECT_EQ(VideoEditionCreatorTag(1, 8).productName, "Zentaro");

  // Through the factory the tag stays raw; its own Read gives the object.
  auto tags = ReadAll(w, 6);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_NE(dynamic_cast<RawTag*>(tags[0].get()), nullptr);
  SwfReader r;
  Load(r, Bytes(w.begin() + 2, w.end()), 6);
  CreatorInfoTag back;
  EXPECT_EQ(back.Read(r), w.size() - 2);
  EXPECT_EQ(Describe(back, 6), "creator919 1.8 52 77 Brivane");
}

TEST(TextVideoTags, DamagedAndShortBodiesStayInsideTheirTag) {
  struct Case {
    const char* name;
    const char* in;   // a tag, then a ShowFrame that must read intact
    const char* out;  // the first tag written back
    const char* describe;
  } cases[] = {
      {"DefineText2 without its End byte", "55 08 01 00 08 00 00 02 08 88 01 00 F0 00 00 81 14 00 03 19 16 49 90 40 00",
       "56 08 01 00 08 00 00 02 08 88 01 00 F0 00 00 81 14 00 03 19 16 49 90 00",
       "text33 1 bits 2/8 rect 0,0,0,0 matrix translate 0,0 [style 136 font 1 x 0 y 0 height 240] [glyphs] "
       "[style 129 font 0 x 20 y 0 height 0] [glyphs 0/100 1/100 2/100]"},
      {"a glyph count beyond the bytes left is cut there", "4B 08 01 00 08 00 00 02 08 80 7F 19 16 40 00",
       "4C 08 01 00 08 00 00 02 08 80 01 19 00 00", "text33 1 bits 2/8 rect 0,0,0,0 matrix translate 0,0 [style 128 font 0 x 0 y 0 height 0] [glyphs 0/100]"},
      {"glyph records cut to nothing, outside a style record, are left out: a 0 count there ends the records",
       "DC 02 02 00 58 18 60 A1 48 B8 80 00 01 18 60 A1 48 B8 80 00 01 18 60 A1 48 B8 80 00 01 18 40 00",
       "DB 02 02 00 58 18 60 A1 48 B8 80 00 01 18 04 A1 48 B8 80 00 01 18 60 A1 48 B8 80 00 00",
       "text11 2 bits 1/24 rect 24,773,82,369 matrix translate 0,0 [glyphs 1/4362609 0/4 0/-3996406 0/-7632896] "
       "[glyphs] [glyphs]"},
      {"DefineText cut inside its style record is kept as read", "C9 02 02 00 00 00 00 00 8C 01 00 40 00",
       "C9 02 02 00 00 00 00 00 8C 01 00", "raw 11 [02 00 00 00 00 00 8C 01 00]"},
      {"DefineText whose glyph indices are 33 bits wide is kept as read: what follows them stays where it is",
       "D3 02 01 00 00 00 21 00 80 01 00 00 00 00 00 88 09 00 0C 00 00 40 00",
       "D3 02 01 00 00 00 21 00 80 01 00 00 00 00 00 88 09 00 0C 00 00",
       "raw 11 [01 00 00 00 21 00 80 01 00 00 00 00 00 88 09 00 0C 00 00]"},
      {"DefineEditText cut before its flagged initial text is kept as read", "48 09 02 00 08 00 80 00 76 00 40 00",
       "48 09 02 00 08 00 80 00 76 00", "raw 37 [02 00 08 00 80 00 76 00]"},
      {"video frame of body length 2 is kept as read", "42 0F 01 00 40 00", "42 0F 01 00", "raw 61 [01 00]"},
      {"edit text read with font but without layout gains the zero layout block",
       "4C 09 02 00 08 00 01 00 01 00 F0 00 76 00 40 00",
       "55 09 02 00 08 00 01 20 01 00 F0 00 00 00 00 00 00 00 00 00 00 76 00",
       "edittext 2 flags 288 font 1 height 240 max 0 layout 0,0,0,0,0 var '76' text '' rect 0,0,0,0"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tags = ReadAll(Hex(c.in), 6);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[1]->GetTagCode(), 1) << "the next tag reads intact";
    EXPECT_EQ(Describe(*tags[0], 6), c.describe);
    EXPECT_EQ(ToHex(Written(*tags[0], 6)), c.out);
    // What is written reads back as itself.
    auto again = ReadAll(Hex(c.out), 6);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(ToHex(Written(*again[0], 6)), c.out);
  }
}

TEST(TextVideoTags, SettersAndShifts) {
  DefineVideoStreamTag v;
  v.Setup(70000, 8, 8);
  EXPECT_EQ(ToHex(Written(v, 6)), "0A 0F 00 00 70 11 08 00 08 00 01 02");  // 70,000 as 4,464

  // A run longer than a glyph record holds goes out in records of 127, each behind a bare
  // style record, so every glyph reads back.
  DefineText2Tag t;
  Add(t, new SwfTextRecord(kTextHasFont));
  auto* g = new SwfGlyphRecord();
  for (uint32_t i = 0; i < 300; ++i) g->entries.push_back({i, 10});
  Add(t, g);
  auto back = ReadAll(Written(t, 6), 6);
  auto& read = dynamic_cast<DefineTextTag&>(*back[0]);
  ASSERT_EQ(read.records.size(), 6u);
  size_t glyphs = 0;
  for (auto& r : read.records)
    if (auto* x = dynamic_cast<SwfGlyphRecord*>(r.get())) glyphs += x->entries.size();
  EXPECT_EQ(glyphs, 300u);

  // An offset is written with its flag even where the flag is clear.
  SwfTextRecord offset;
  offset.xOffset = 50;
  SwfBitWriter w(6);
  offset.Write(w);
  EXPECT_EQ(ToHex(w.GetBuffer()), "81 32 00");

  // Shifting moves the character ids and every font id that is not 0.
  auto* named = new SwfTextRecord();
  named->SetFontId(2);
  auto* unnamed = new SwfTextRecord();
  DefineTextTag text;
  text.characterId = 3;
  Add(text, named), Add(text, unnamed);
  text.ShiftIdsAndDepths(5, 1, 1);
  EXPECT_EQ(text.characterId, 8);
  EXPECT_EQ(named->fontId, 7);
  EXPECT_EQ(unnamed->fontId, 0);
  DefineEditTextTag edit;
  edit.fontId = 2;
  edit.ShiftIdsAndDepths(5, 1, 1);
  EXPECT_EQ(edit.characterId, 6);
  EXPECT_EQ(edit.fontId, 7);
  VideoFrameTag frame;
  frame.streamId = 65535;
  frame.ShiftIdsAndDepths(2, 0, 0);
  EXPECT_EQ(frame.streamId, 1);
}
