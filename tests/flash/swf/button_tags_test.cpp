#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/SwfActions.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

DoActionTag* Trace(const wchar_t* text) {
  auto* list = new DoActionTag(8);
  list->AddAction(new ActionPush(text));
  list->AddAction(new ActionGeneric(0x26));
  return list;
}

SwfButtonRecord* HitRecord() {
  auto* r = new SwfButtonRecord();
  r->stateFlags = kButtonStateHitTest;
  r->characterId = 2;
  r->matrix = std::make_unique<SwfMatrix>();
  r->cxform = std::make_unique<SwfCxformWithAlpha>();
  return r;
}

// A button of one hit record and `lists` action lists tracing "A", with condition words when
// `conditions`.
std::function<std::unique_ptr<SwfObject>()> Button(int lists, bool conditions) {
  return [=] {
    auto b = std::make_unique<DefineButton2Tag>();
    b->characterId = 1;
    b->AddButtonRecord(HitRecord());
    for (int i = 0; i < lists; ++i) {
      if (conditions) b->AddConditionWord(static_cast<uint16_t>(kButtonConditionRelease << i));
      b->AddCondActionList(Trace(L"A"));
    }
    return std::unique_ptr<SwfObject>(std::move(b));
  };
}

// One hit record: flags, id 2, depth 1, an empty matrix, an empty colour transform.
const std::string kRecord = "08 02 00 01 00 00 04 ";
const std::string kTraceA = "96 03 00 00 41 00 26 00 ";

}  // namespace

TEST(ButtonTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"one record, one list: the offset past the records, size 0", 8, Button(1, true),
       "99 08 01 00 00 0A 00 " + kRecord + "00 00 00 08 00 " + kTraceA},
      {"three lists: sizes of the first two", 8, Button(3, true),
       "B1 08 01 00 00 0A 00 " + kRecord + "00 0C 00 08 00 " + kTraceA + "0C 00 10 00 " + kTraceA + "00 00 20 00 " +
           kTraceA},
      {"no lists: offset 0", 8, Button(0, false), "8D 08 01 00 00 00 00 " + kRecord + "00"},
      {"a blurred record in blend mode 7", 8,
       [] {
         auto object = Button(0, false)();
         auto& record = *static_cast<DefineButton2Tag&>(*object).records[0];
         record.stateFlags |= kButtonHasFilterList | kButtonHasBlendMode;
         record.filterList = Hex("01 01 00 00 05 00 00 00 05 00 08");
         record.blendMode = 7;
         return object;
       },
       "99 08 01 00 00 00 00 38 02 00 01 00 00 04 01 01 00 00 05 00 00 00 05 00 08 07 00"},
      {"DefineButton: an empty list still has its End byte", 8,
       [] {
         auto b = std::make_unique<DefineButtonTag>();
         b->characterId = 3;
         auto* r = new SwfButtonRecord();
         r->stateFlags = 0x0F, r->characterId = 1, r->matrix = std::make_unique<SwfMatrix>();
         b->AddButtonRecord(r);
         b->actionLists.emplace_back(new DoActionTag(8));
         return std::unique_ptr<SwfObject>(std::move(b));
       },
       "CA 01 03 00 0F 01 00 01 00 00 00 00"},
      {"DefineButtonCxform", 8,
       [] {
         auto t = std::make_unique<DefineButtonCxformTag>();
         t->characterId = 3;
         t->cxform->SetMultipliers(256, 128, 0);
         t->cxform->hasMult = 1;
         return std::unique_ptr<SwfObject>(std::move(t));
       },
       "C7 05 03 00 69 00 20 00 00"},
      {"DefineButtonSound with the third sound only", 8,
       [] {
         auto t = std::make_unique<DefineButtonSoundTag>();
         t->characterId = 3;
         t->soundIds[2] = 5;
         return std::unique_ptr<SwfObject>(std::move(t));
       },
       "4B 04 03 00 00 00 00 00 05 00 00 00 00"},
  };
  for (const auto& c : cases) ExpectRoundTrip(c);
  // Lists without condition words: condition 0 for each.
  EXPECT_EQ(ToHex(Written(*Button(2, false)(), 8)),
            ToHex(Hex("A5 08 01 00 00 0A 00 " + kRecord + "00 0C 00 00 00 " + kTraceA + "00 00 00 00 " + kTraceA)));
}

// Version 8 records carry filters and a blend mode after the colour transform.
TEST(ButtonTags, FlashCs6ButtonKeepsItsFiltersBlendModeAndLists) {
  SKIP_WITHOUT_CORPUS();
  const std::string movie = testsupport::ReadFile(testsupport::CorpusDir() / "swf/DefineButton2-CS6.swf");
  SwfReader r;
  Load(r, Bytes(movie.begin(), movie.end()), 0);
  r.header.Read(r, true);
  std::unique_ptr<SwfTag> tag;
  while (r.GetPosition() < r.GetSize() && !dynamic_cast<DefineButton2Tag*>(tag.get())) tag.reset(r.ReadNextTag());
  auto* button = dynamic_cast<DefineButton2Tag*>(tag.get());
  ASSERT_NE(button, nullptr);
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass ? "written and read again" : "as read");
    ASSERT_EQ(button->records.size(), 2u);
    EXPECT_EQ(button->records[0]->characterId, 2);
    EXPECT_EQ(ToHex(button->records[0]->filterList), "01 01 00 00 05 00 00 00 05 00 08");  // one blur
    EXPECT_EQ(button->records[0]->blendMode, 7);
    EXPECT_EQ(button->records[1]->characterId, 3);
    EXPECT_EQ(button->conditions, (std::vector<uint16_t>{0x0008, 0x0600}));
    ASSERT_EQ(button->actionLists.size(), 2u);
    EXPECT_EQ(Describe(*button->actionLists[0], 8), "doaction {a96 t0='41'} {a26}");
    EXPECT_EQ(Describe(*button->actionLists[1], 8), "doaction {a96 t0='42'} {a26}");
    const Bytes bytes = Written(*button, 8);
    SwfReader again;
    Load(again, bytes, 8);
    tag.reset(again.ReadNextTag());
    button = dynamic_cast<DefineButton2Tag*>(tag.get());
    ASSERT_NE(button, nullptr);
  }
}

// Neither the records nor the action lists read beyond the button's own tag.
TEST(ButtonTags, ListsEndWithTheTag) {
  Bytes body = Hex("01 00 00 0A 00 " + kRecord + "00 0C 00 08 00 " + kTraceA);
  Bytes noClosingByte = Hex("01 00 00 00 00 " + kRecord);
  for (const Bytes& b : {body, noClosingByte}) {
    Bytes file;
    BuildTagHeader(file, 34, static_cast<uint32_t>(b.size()), false);
    file.insert(file.end(), b.begin(), b.end());
    const Bytes doAction = Written(*std::unique_ptr<DoActionTag>(Trace(L"B")), 8);
    file.insert(file.end(), doAction.begin(), doAction.end());
    SwfReader r;
    Load(r, file, 8);
    std::unique_ptr<SwfTag> first(r.ReadNextTag());
    std::unique_ptr<SwfTag> second(r.ReadNextTag());
    auto* button = dynamic_cast<DefineButton2Tag*>(first.get());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->records.size(), 1u);
    EXPECT_EQ(button->actionLists.size(), b.size() > 13 ? 1u : 0u);
    EXPECT_EQ(Describe(*second, 8), "doaction {a96 t0='42'} {a26}");
  }
}

TEST(ButtonTags, ShiftingMovesIdsAndDepthsOfEveryRecord) {
  auto object = Button(1, true)();
  auto& b = static_cast<DefineButton2Tag&>(*object);
  b.AddButtonRecord(HitRecord());
  b.records[1]->depth = 3;
  b.ShiftIdsAndDepths(100, 5, 0);
  EXPECT_EQ(b.characterId, 101);
  EXPECT_EQ(b.records[0]->characterId + b.records[1]->characterId, 204);
  EXPECT_EQ(b.records[0]->depth + 10 * b.records[1]->depth, 86);
  DefineButtonSoundTag sounds;
  sounds.characterId = 1, sounds.soundIds[1] = 4;
  sounds.ShiftIdsAndDepths(100, 5, 0);
  EXPECT_EQ(std::vector<uint16_t>({sounds.characterId, sounds.soundIds[0], sounds.soundIds[1]}),
            std::vector<uint16_t>({101, 0, 104}));
}

// A record shown in no state would write the byte that closes the records.
TEST(ButtonTags, RecordsShownInNoStateAreNotWritten) {
  auto object = Button(1, true)();
  auto& b = static_cast<DefineButton2Tag&>(*object);
  auto* hidden = HitRecord();
  hidden->stateFlags = 0;
  b.records.insert(b.records.begin(), std::unique_ptr<SwfButtonRecord>(hidden));
  EXPECT_EQ(ToHex(Written(b, 8)), ToHex(Hex("99 08 01 00 00 0A 00 " + kRecord + "00 00 00 08 00 " + kTraceA)));
}
