#include <gtest/gtest.h>

#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SwfActions.h"

using namespace swftest;

namespace {

template <class T>
std::unique_ptr<SwfObject> Own(T* t) {
  return std::unique_ptr<SwfObject>(t);
}

SwfClipActionRecord* Clip(uint32_t events, SwfAction* action, uint8_t key = 0) {
  auto* r = new SwfClipActionRecord(events);
  r->keyCode = key;
  r->actions->AddAction(action);
  return r;
}

PlaceObject2Tag* Placed(uint16_t id, uint16_t depth) {
  auto* t = new PlaceObject2Tag();
  t->SetCharacterId(id);
  t->depth = depth;
  return t;
}

}  // namespace

TEST(DisplayListTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"ShowFrame", 6, [] { return Own(new ShowFrameTag()); }, "40 00"},
      {"FreeCharacter", 6, [] { return Own(new FreeCharacterTag(0x1234)); }, "C2 00 34 12"},
      {"RemoveObject", 6, [] { return Own(new RemoveObjectTag(3, 7)); }, "44 01 03 00 07 00"},
      {"RemoveObject2", 6, [] { return Own(new RemoveObject2Tag(9)); }, "02 07 09 00"},
      {"PlaceObject without colour transform", 4, [] {
         auto* t = new PlaceObjectTag();
         t->characterId = 2, t->depth = 1;
         t->matrix = std::make_unique<SwfMatrix>();
         return Own(t);
       },
       "05 01 02 00 01 00 00"},
      {"PlaceObject2 moves depth 5 with a new matrix only", 6, [] {
         auto* t = new PlaceObject2Tag();
         t->depth = 5, t->move = 1;
         t->SetMatrix(new SwfMatrix());
         return Own(t);
       },
       "84 06 05 05 00 00"},
      {"PlaceObject2 with a name", 6, [] {
         auto* t = Placed(3, 1);
         t->SetName(L"ab");
         return Own(t);
       },
       "88 06 22 01 00 03 00 61 62 00"},
      {"PlaceObject2 placing character 0 keeps its character flag", 6, [] { return Own(Placed(0, 1)); },
       "85 06 02 01 00 00 00"},
      {"PlaceObject2 ratio and clip depth", 6, [] {
         auto* t = Placed(3, 1);
         t->hasRatio = 1, t->ratio = 0x100;
         t->hasClipDepth = 1, t->clipDepth = 4;
         return Own(t);
       },
       "89 06 52 01 00 03 00 00 01 04 00"},
      {"version 5 clip actions are 16 bits", 5, [] {
         auto* t = Placed(1, 1);
         t->AddClipAction(Clip(kClipEventLoad, new ActionStop()));
         return Own(t);
       },
       "93 06 82 01 00 01 00 00 00 01 00 01 00 02 00 00 00 07 00 00 00"},
      {"version 6 clip actions are 32 bits; a key press carries its key", 6, [] {
         auto* t = Placed(1, 1);
         t->AddClipAction(Clip(kClipEventLoad, new ActionStop()));
         t->AddClipAction(Clip(kClipEventKeyPress, new ActionPlay(), 0x0D));
         return Own(t);
       },
       "A4 06 82 01 00 01 00 00 00 01 00 02 00 01 00 00 00 02 00 00 00 07 00 "
       "00 00 02 00 03 00 00 00 0D 06 00 00 00 00 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(DisplayListTags, PlaceObjectReadsAColourTransformOnlyWhenBytesRemain) {
  SwfReader r;
  Load(r, Hex("05 01 02 00 01 00 00"), 4);
  std::unique_ptr<SwfTag> bare(r.ReadNextTag());
  EXPECT_FALSE(static_cast<PlaceObjectTag*>(bare.get())->colorTransform);

  auto* t = new PlaceObjectTag();
  t->characterId = 2, t->depth = 1;
  t->matrix = std::make_unique<SwfMatrix>();
  t->colorTransform = std::make_unique<SwfCxform>();
  t->colorTransform->SetMultipliers(128, 256, 64);
  std::unique_ptr<SwfTag> owned(t);
  const Bytes bytes = Written(*t, 4);
  Load(r, bytes, 4);
  std::unique_ptr<SwfTag> back(r.ReadNextTag());
  EXPECT_EQ(Describe(*back, 4), Describe(*t, 4));
  EXPECT_EQ(ToHex(Written(*back, 4)), ToHex(bytes));
}

// Below version 6 the upper-half events do not exist: a record holding only those is left
// out rather than written as the end marker.
TEST(DisplayListTags, Version5LeavesOutRecordsWithOnlyUpperEvents) {
  PlaceObject2Tag t;
  t.SetCharacterId(1);
  t.depth = 1;
  t.AddClipAction(Clip(kClipEventKeyPress, new ActionPlay(), 0x0D));
  t.AddClipAction(Clip(kClipEventLoad | kClipEventDragOut, new ActionStop()));
  EXPECT_EQ(ToHex(Written(t, 5)), "93 06 82 01 00 01 00 00 00 01 00 01 00 02 00 00 00 07 00 00 00");
}

// Each record ends where its size says: two stray bytes behind the first record's End do
// not shift the second record.
TEST(DisplayListTags, ClipActionRecordsFollowTheirSizes) {
  SwfReader r;
  Load(r,
       Hex("A5 06 82 01 00 01 00 00 00 03 00 00 00 01 00 00 00 04 00 00 00 07 00 AA BB "
           "02 00 00 00 02 00 00 00 06 00 00 00 00 00"),
       6);
  std::unique_ptr<SwfTag> tag(r.ReadNextTag());
  auto* p = dynamic_cast<PlaceObject2Tag*>(tag.get());
  ASSERT_TRUE(p);
  ASSERT_EQ(p->clipActions.size(), 2u);
  EXPECT_EQ(p->clipActions[0]->actionRecordSize, 4u);
  EXPECT_EQ(p->clipActions[1]->eventFlags, kClipEventEnterFrame);
  ASSERT_EQ(p->clipActions[1]->actions->actions.size(), 1u);
  EXPECT_EQ(p->clipActions[1]->actions->actions[0]->GetActionCode(), 0x06);
  EXPECT_EQ(r.GetPosition(), r.GetSize());

  // A record whose size runs past the tag stops at the tag's end, and the tag is kept as read.
  Load(r, Hex("95 06 82 01 00 01 00 00 00 01 00 00 00 01 00 00 00 FF FF FF FF 07 00"), 6);
  std::unique_ptr<SwfTag> forged(r.ReadNextTag());
  EXPECT_NE(dynamic_cast<RawTag*>(forged.get()), nullptr);
  EXPECT_EQ(r.GetPosition(), r.GetSize());

  // A key-press record of size 0 has no key code: it takes no byte of the next record.
  Load(r, Hex("A1 06 82 01 00 01 00 00 00 02 00 02 00 00 00 02 00 00 00 00 00 02 00 00 00 02 00 00 00 06 00 "
              "00 00 00 00"), 6);
  std::unique_ptr<SwfTag> empty(r.ReadNextTag());
  auto* e = static_cast<PlaceObject2Tag*>(empty.get());
  ASSERT_EQ(e->clipActions.size(), 2u);
  EXPECT_EQ(e->clipActions[0]->keyCode, 0);
}

TEST(DisplayListTags, ShiftingAndCopying) {
  PlaceObject2Tag t;
  t.SetCharacterId(3);
  t.depth = 65500;
  t.hasClipDepth = 1, t.clipDepth = 65450;
  t.ShiftIdsAndDepths(10, 100, 0);
  EXPECT_EQ(t.characterId, 13);
  EXPECT_EQ(t.depth, 65535);
  EXPECT_EQ(t.clipDepth, 65535);

  PlaceObject2Tag moveOnly;
  moveOnly.depth = 2, moveOnly.move = 1;
  moveOnly.ShiftIdsAndDepths(10, 1, 0);
  EXPECT_EQ(moveOnly.characterId, 0);  // no character: its id stays 0
  EXPECT_EQ(moveOnly.depth, 3);

  RemoveObjectTag remove(0xFFFF, 0xFFFF);
  remove.ShiftIdsAndDepths(2, 2, 0);  // 16-bit wrap
  EXPECT_EQ(remove.characterId, 1);
  EXPECT_EQ(remove.depth, 1);

  PlaceObject2Tag source;
  source.SetCharacterId(4);
  source.SetName(L"clip");
  source.SetMatrix(new SwfMatrix());
  source.AddClipAction(Clip(kClipEventLoad, new ActionStop()));
  PlaceObject2Tag copy;
  copy.CopyFrom(source);
  EXPECT_EQ(copy.hasClipActions, 1);
  EXPECT_TRUE(copy.clipActions.empty());
  EXPECT_EQ(copy.name.Text(), L"clip");
  ASSERT_TRUE(copy.matrix);
  EXPECT_NE(copy.matrix.get(), source.matrix.get());
}

TEST(DisplayListTags, PlacedIdsAreTracked) {
  ResetPlacedIdRange();
  SwfReader r;
  Load(r, Hex("85 06 02 01 00 2A 00 40 00 05 01 07 00 01 00 00"), 6);
  for (int i = 0; i < 3; ++i) std::unique_ptr<SwfTag>(r.ReadNextTag());
  EXPECT_EQ(GetMaxPlacedId(), 42);
  ResetPlacedIdRange();
  EXPECT_EQ(GetMaxPlacedId(), 0);
}

// Clip actions of other tools come back as they were read: an all-events word that is not the
// union of the records, a key-press record without its key code, and a key code behind a
// record without the key-press event. Once the program changes the records, the word is
// their union again.
TEST(DisplayListTags, ClipActionsAreWrittenBackAsRead) {
  const struct {
    const char* name;
    const char* hex;
  } cases[] = {
      {"all-events 0x200 over records 0x40000 and 0x202",
       "A3 06 82 01 00 01 00 00 00 00 02 00 00 00 00 04 00 02 00 00 00 07 00 "
       "02 02 00 00 02 00 00 00 06 00 00 00 00 00"},
      {"key-press bit, no key code", "9D 06 82 01 00 01 00 00 00 00 00 02 00 00 00 02 00 06 00 00 00 96 02 00 05 01 00 "
                                     "00 00 00 00"},
      {"key code, no key-press bit", "9A 06 82 01 00 01 00 00 00 02 00 00 00 02 00 00 00 03 00 00 00 20 07 00 "
                                     "00 00 00 00"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SwfReader r;
    Load(r, Hex(c.hex), 6);
    std::unique_ptr<SwfTag> tag(r.ReadNextTag());
    EXPECT_EQ(ToHex(Written(*tag, 6)), ToHex(Hex(c.hex)));
  }
  SwfReader r;
  Load(r, Hex(cases[0].hex), 6);
  std::unique_ptr<SwfTag> tag(r.ReadNextTag());
  auto* p = static_cast<PlaceObject2Tag*>(tag.get());
  p->clipActions.pop_back();
  EXPECT_EQ(ToHex(Written(*p, 6)), "99 06 82 01 00 01 00 00 00 00 00 04 00 00 00 04 00 02 00 00 00 07 00 00 00 00 00");
}
