#include <gtest/gtest.h>

#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"

using namespace swftest;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

std::string Codes(const DefineSpriteTag& s) {
  std::string out;
  for (auto& t : s.tags) out += std::to_string(t->GetTagCode()) + " ";
  return out;
}

}  // namespace

TEST(DefineSprite, RoundTrip) {
  const RoundTrip cases[] = {
      {"one frame, End written", 6, [] {
         auto s = std::make_unique<DefineSpriteTag>(7, 0);
         s->AddTag(new ShowFrameTag());
         s->AddTag(new EndTag());
         return std::unique_ptr<SwfObject>(std::move(s));
       },
       "C8 09 07 00 01 00 40 00 00 00"},
      {"placements and a label", 6, [] {
         auto s = std::make_unique<DefineSpriteTag>(9, 0);
         auto* p = new PlaceObject2Tag();
         p->SetCharacterId(1), p->depth = 3;
         s->AddTag(p);
         s->AddTag(new FrameLabelTag(L"a"));
         s->AddTag(new ShowFrameTag());
         s->AddTag(new RemoveObject2Tag(3));
         s->AddTag(new ShowFrameTag());
         s->AddTag(new EndTag());
         return std::unique_ptr<SwfObject>(std::move(s));
       },
       "DA 09 09 00 02 00 85 06 02 03 00 01 00 C3 0A 61 00 00 40 00 02 07 03 00 40 00 00 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(DefineSprite, BuildingAndInserting) {
  DefineSpriteTag fresh(7, 0);
  EXPECT_EQ(fresh.lowestDepth, -1);
  EXPECT_EQ(fresh.highestDepth, -1);

  // Without its End tag the sprite is written the same: the End is added.
  DefineSpriteTag noEnd(7, 0);
  noEnd.AddTag(new ShowFrameTag());
  EXPECT_EQ(ToHex(Written(noEnd, 6)), "C8 09 07 00 01 00 40 00 00 00");
  EXPECT_EQ(noEnd.tags.size(), 1u) << "writing does not change the sprite";

  // Codes a sprite cannot hold stay the caller's.
  auto shape = std::make_unique<RawTag>(2, 0);
  EXPECT_FALSE(noEnd.AddTag(shape.get()));
  EXPECT_EQ(noEnd.tags.size(), 1u);
  EXPECT_EQ(noEnd.frameCount, 1);

  // Inserting into frame 2 of a one-frame sprite: End dropped, two frames appended.
  DefineSpriteTag s(7, 0);
  s.AddTag(new ShowFrameTag());
  s.AddTag(new EndTag());
  EXPECT_TRUE(s.InsertTagAtFrame(new FrameLabelTag(L"x"), 2));
  EXPECT_EQ(Codes(s), "1 1 43 1 ");
  EXPECT_EQ(s.frameCount, 3);
  EXPECT_EQ(ToHex(Written(s, 6)).substr(0, 17), "D1 09 07 00 03 00");
  EXPECT_EQ(ToHex(Written(s, 6)).substr(ToHex(Written(s, 6)).size() - 5), "00 00");

  DefineSpriteTag empty(1, 0);
  EXPECT_FALSE(empty.InsertTagAtFrame(nullptr, 0));
  EXPECT_EQ(Codes(empty), "1 ");
  EXPECT_EQ(empty.frameCount, 1);

  // A sprite built with a frame count its ShowFrames do not reach keeps the tag out.
  DefineSpriteTag claimed(1, 5);
  auto label = std::make_unique<FrameLabelTag>(L"y");
  EXPECT_FALSE(claimed.InsertTagAtFrame(label.get(), 2));
  EXPECT_TRUE(claimed.tags.empty());
}

TEST(DefineSprite, ReadDepthRange) {
  SwfReader r;
  Load(r, Hex("D2 09 01 00 01 00 85 06 02 03 00 01 00 85 06 02 09 00 02 00 40 00 00 00"), 6);
  std::unique_ptr<SwfTag> tag(r.ReadNextTag());
  auto* s = dynamic_cast<DefineSpriteTag*>(tag.get());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->lowestDepth, 3);
  EXPECT_EQ(s->highestDepth, 9);
  Load(r, Hex("C8 09 07 00 01 00 40 00 00 00"), 6);
  tag.reset(r.ReadNextTag());
  EXPECT_EQ(static_cast<DefineSpriteTag*>(tag.get())->lowestDepth, -1);
  EXPECT_EQ(static_cast<DefineSpriteTag*>(tag.get())->highestDepth, -1);
}

// A sprite body without its End tag ends with the sprite: the movie's next tags are read
// once, at the top level.
TEST(DefineSprite, NestedTagsStopAtTheSpritesEnd) {
  SwfReader r;
  Load(r, Hex("C6 09 07 00 01 00 40 00 83 00 01 02 03 40 00 00 00"), 6);
  r.ReadTagsUntil(nullptr, 0);
  std::vector<std::unique_ptr<SwfTag>> owned(r.tags.begin(), r.tags.end());
  ASSERT_EQ(r.tags.size(), 4u);
  auto* s = dynamic_cast<DefineSpriteTag*>(r.tags[0]);
  ASSERT_TRUE(s);
  EXPECT_EQ(Codes(*s), "1 ");
  SwfBitWriter w(6);
  for (SwfTag* t : r.tags) t->Write(w);
  EXPECT_EQ(ToHex(w.GetBuffer()), "C8 09 07 00 01 00 40 00 00 00 83 00 01 02 03 40 00 00 00");
}

// Sprites cannot nest: one inside a sprite is kept raw, so deep nesting costs no stack.
TEST(DefineSprite, NestedSpritesAreKeptRaw) {
  const Bytes nested = Hex(Repeat("FF 09 FF FF FF 7F 01 00 01 00 ", 100000));
  SwfReader r;
  Load(r, nested, 6);
  std::unique_ptr<SwfTag> tag(r.ReadNextTag());
  auto* s = dynamic_cast<DefineSpriteTag*>(tag.get());
  ASSERT_TRUE(s);
  ASSERT_EQ(s->tags.size(), 1u);
  auto* inner = dynamic_cast<RawTag*>(s->tags[0].get());
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->code, 39);
  EXPECT_EQ(inner->body.size(), nested.size() - 16);
  EXPECT_EQ(r.GetPosition(), r.GetSize());
  // Written back, the inner bytes are what they were.
  const Bytes again = Written(*s, 6);
  EXPECT_EQ(again.size(), nested.size() + 2);  // the End tag the sprite lacked
}

// The scratch writer reserves for the number of tags only up to a cap.
TEST(DefineSprite, LongSpritesReserveWithinTheCap) {
  DefineSpriteTag s(1, 0);
  for (int i = 0; i < 200000; ++i) s.AddTag(new ShowFrameTag());
  EXPECT_EQ(s.frameCount, 200000 & 0xFFFF);
  EXPECT_LE(DefineSpriteTag::ScratchReserve(s.tags.size()), kMaxSpriteReserveBytes);
  const Bytes bytes = Written(s, 6);
  ASSERT_EQ(bytes.size(), 6u + 4 + 200000 * 2 + 2);
  EXPECT_EQ(ToHex(Bytes(bytes.begin(), bytes.begin() + 6)), "FF 09 86 1A 06 00");
  EXPECT_EQ(ToHex(Bytes(bytes.end() - 4, bytes.end())), "40 00 00 00");
}

TEST(DefineSprite, ShiftingLeavesDepthsAlone) {
  DefineSpriteTag s(5, 0);
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(2), p->depth = 4;
  s.AddTag(p);
  s.AddTag(new RemoveObjectTag(2, 4));
  s.ShiftIdsAndDepths(100, 50, 0);
  EXPECT_EQ(s.characterId, 105);
  EXPECT_EQ(p->characterId, 102);
  EXPECT_EQ(p->depth, 4);
  EXPECT_EQ(static_cast<RemoveObjectTag*>(s.tags[1].get())->characterId, 102);
}
