#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/DrawingTags.h"

using namespace swftest;

namespace {

SwfShape* Edges(uint8_t fillBits, bool styled) {
  auto* s = new SwfShape();
  s->alpha = 1;
  s->SetFillBits(fillBits);
  if (styled) {
    auto* r = new SwfStyleChangeRecord(kStyleChangeFill0, s);
    r->SetFillStyle(1, false);
    s->AddRecord(r);
  }
  s->AddRecord(new SwfStraightEdgeRecord(400, 0, kLineHorizontal));
  s->AddRecord(new SwfEndShapeRecord());
  return s;
}

// A morph shape filled with a bitmap of hard edges (type 0x42): bitmap id 7, two matrices.
std::unique_ptr<SwfObject> BitmapMorph() {
  auto t = std::make_unique<DefineMorphShapeTag>();
  t->characterId = 1;
  t->startBounds = std::make_unique<SwfRect>();
  t->endBounds = std::make_unique<SwfRect>();
  t->fillStyles = std::make_unique<SwfMorphFillStyleArray>();
  auto* fill = new SwfMorphFillStyle();
  fill->fillType = kFillRepeatingBitmapHard;
  fill->bitmapId = 7;
  fill->startMatrix = std::make_unique<SwfMatrix>();
  fill->endMatrix = std::make_unique<SwfMatrix>();
  t->fillStyles->Append(fill);
  t->lineStyles = std::make_unique<SwfMorphLineStyleArray>();
  t->startEdges.reset(Edges(1, true));
  t->endEdges.reset(Edges(0, false));
  return t;
}

// The same with a solid fill, a gradient and a line style.
std::unique_ptr<SwfObject> ColourMorph() {
  auto object = BitmapMorph();
  auto& t = static_cast<DefineMorphShapeTag&>(*object);
  auto& solid = *t.fillStyles->styles[0];
  solid.Clear();
  solid.fillType = kFillSolid;
  solid.startColor = std::make_unique<SwfRgba>(255, 0, 0, 255);
  solid.endColor = std::make_unique<SwfRgba>(0, 0, 255, 128);
  auto* gradient = new SwfMorphFillStyle();
  gradient->fillType = kFillLinearGradient;
  gradient->startMatrix = std::make_unique<SwfMatrix>();
  gradient->endMatrix = std::make_unique<SwfMatrix>();
  gradient->gradient = std::make_unique<SwfMorphGradient>();
  auto* r = new SwfMorphGradientRecord();
  r->startRatio = 0, r->endRatio = 255;
  r->startColor = std::make_unique<SwfRgba>(1, 2, 3, 4);
  r->endColor = std::make_unique<SwfRgba>(5, 6, 7, 8);
  gradient->gradient->records.emplace_back(r);
  t.fillStyles->Append(gradient);
  auto* line = new SwfMorphLineStyle();
  line->startWidth = 20, line->endWidth = 40;
  line->startColor = std::make_unique<SwfRgba>(0, 0, 0, 255);
  line->endColor = std::make_unique<SwfRgba>(255, 255, 255, 255);
  t.lineStyles->Append(line);
  t.startEdges->SetStyleBits(2, 1);
  return object;
}

}  // namespace

TEST(MorphShape, RoundTrip) {
  const RoundTrip cases[] = {
      // Empty bounds; offset 12: fill styles (7 bytes with the line count) and start edges (5 bytes).
      {"bitmap fill without smoothing", 8, BitmapMorph,
       "9A 0B 01 00 08 00 08 00 0C 00 00 00 01 42 07 00 00 00 00 10 0B C0 C8 00 00 E0 64 00"},
      {"solid and gradient fills, a line", 8, ColourMorph,
       "B8 0B 01 00 08 00 08 00 2A 00 00 00 02 00 FF 00 00 FF 00 00 FF 80 10 00 00 01 00 01 02 03 04 FF 05 06 07 08 "
       "01 14 00 28 00 00 00 00 FF FF FF FF FF 21 09 E0 64 00 00 E0 64 00"},
  };
  for (const auto& c : cases) ExpectRoundTrip(c);
}

TEST(MorphShape, ShiftingIdsMovesTheBitmapOfEveryBitmapType) {
  for (uint8_t type = kFillRepeatingBitmap; type <= kFillClippedBitmapHard; ++type) {
    auto object = BitmapMorph();
    auto& t = static_cast<DefineMorphShapeTag&>(*object);
    t.fillStyles->styles[0]->fillType = type;
    SwfReader r;
    const Bytes bytes = Written(t, 8);
    Load(r, bytes, 8);
    std::unique_ptr<SwfTag> back(r.ReadNextTag());
    auto* morph = dynamic_cast<DefineMorphShapeTag*>(back.get());
    ASSERT_TRUE(morph && !morph->keptAsRead);
    morph->ShiftIdsAndDepths(5, 0, 0);
    EXPECT_EQ(morph->characterId, 6);
    EXPECT_EQ(morph->fillStyles->styles[0]->bitmapId, 12);
  }
}

// An EndEdges offset from the file that points outside the tag, or a fill type of unknown
// size: the body is kept as read, and the next tag is read where it is.
TEST(MorphShape, MorphShapesThatCannotBeFollowedKeepTheirBodyAsRead) {
  const Bytes good = Written(*BitmapMorph(), 8);
  Bytes farOffset = good, unknownFill = good;
  farOffset[8] = 0xF0, farOffset[9] = farOffset[10] = farOffset[11] = 0xFF;
  unknownFill[13] = 0x13;
  for (const Bytes& tag : {farOffset, unknownFill}) {
    SCOPED_TRACE(ToHex(tag));
    Bytes file = tag;
    file.insert(file.end(), {0x40, 0x00});
    SwfReader r;
    Load(r, file, 8);
    std::unique_ptr<SwfTag> first(r.ReadNextTag());
    std::unique_ptr<SwfTag> next(r.ReadNextTag());
    auto* morph = dynamic_cast<DefineMorphShapeTag*>(first.get());
    ASSERT_TRUE(morph);
    EXPECT_TRUE(morph->keptAsRead);
    EXPECT_EQ(next->GetTagCode(), 1);
    EXPECT_EQ(ToHex(Written(*morph, 8)), ToHex(tag));
  }
}
