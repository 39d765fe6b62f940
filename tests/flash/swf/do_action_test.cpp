#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfMovieWriter.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

template <class T>
std::function<std::unique_ptr<SwfObject>()> Tag(std::function<void(T&)> fill) {
  return [fill] {
    auto o = std::make_unique<T>();
    fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

std::vector<std::unique_ptr<SwfTag>> ReadTags(const Bytes& bytes, uint8_t version) {
  SwfReader r;
  Load(r, bytes, version);
  std::vector<std::unique_ptr<SwfTag>> tags;
  while (r.GetPosition() < r.GetSize()) tags.emplace_back(r.ReadNextTag());
  return tags;
}

}  // namespace

TEST(DoActionTag, RoundTrip) {
  const RoundTrip cases[] = {
      {"a Stop, always with the long header", 6, Tag<DoActionTag>([](auto& t) { t.AddAction(new ActionStop()); }),
       "3F 03 02 00 00 00 07 00"},
      {"a script with a fixed offset", 6, Tag<DoActionTag>([](auto& t) {
         t.SetAutoBranchOffsets(false, false);
         t.AddAction(new ActionPush(L"x"));
         t.AddAction(new ActionGetVariable());
         t.AddAction(new ActionIf(1));
         t.AddAction(new ActionPlay());
       }),
       "3F 03 0E 00 00 00 96 03 00 00 78 00 1C 9D 02 00 01 00 06 00"},
      {"GotoFrame2 followed by a stray 0 byte keeps it", 6, Tag<DoActionTag>([](auto& t) {
         auto g = new ActionGotoFrame2(1);
         g->pad = true;
         t.AddAction(g);
         t.AddAction(new ActionStop());
       }),
       "3F 03 07 00 00 00 9F 01 00 01 00 07 00"},
      {"GotoFrame2 at the end of the list: its 0 is the End byte", 6,
       Tag<DoActionTag>([](auto& t) { t.AddAction(new ActionGotoFrame2(1)); }), "3F 03 05 00 00 00 9F 01 00 01 00"},
      {"empty DoInitAction for sprite 5", 6, Tag<DoInitActionTag>([](auto& t) { t.spriteId = 5; }),
       "FF 0E 03 00 00 00 05 00 00"},
      {"DoInitAction", 6, Tag<DoInitActionTag>([](auto& t) {
         t.spriteId = 1;
         t.actions.emplace_back(new ActionStop());
       }),
       "FF 0E 04 00 00 00 01 00 07 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(DoActionTag, EmptyListsAndHeaderOff) {
  DoActionTag empty;
  EXPECT_TRUE(Written(empty, 6).empty());
  empty.headerOff = true;
  EXPECT_TRUE(Written(empty, 6).empty());
  DoActionTag stop;
  stop.AddAction(new ActionStop());
  stop.headerOff = true;
  EXPECT_EQ(ToHex(Written(stop, 6)), "07 00");
  SwfBitWriter w(6);
  stop.headerOff = false;
  EXPECT_EQ(stop.WriteActions(w, false), 2u);
}

TEST(DoActionTag, AutomaticBranchOffsets) {
  {
    DoActionTag t;
    auto* branch = new ActionIf(0);
    t.AddAction(branch);
    EXPECT_EQ(t.AddAction(new ActionPush(5)), 8);
    t.AddAction(new ActionStop());
    EXPECT_EQ(branch->offset, 9);
    t.BindBranches();
    EXPECT_TRUE(t.pendingBranches.empty());
    EXPECT_EQ(branch->span.size(), 2u);
  }
  {
    DoActionTag t;
    auto* branch = new ActionIf(0);
    auto* jump = new ActionJump(0);
    t.AddAction(branch);
    t.AddAction(jump);
    t.AddAction(new ActionStop());
    EXPECT_EQ(branch->offset, 5);
    EXPECT_EQ(jump->offset, 1);
  }
  {
    DoActionTag t;
    t.SetAutoBranchOffsets(false, false);
    auto* fixed = new ActionIf(11);
    t.AddAction(fixed);
    t.AddAction(new ActionStop());
    EXPECT_EQ(fixed->offset, 11);
    EXPECT_TRUE(t.pendingBranches.empty());
  }
  {
    // A Jump with offset 0 is written as the size of the actions it jumps over.
    DoActionTag t;
    t.SetAutoBranchOffsets(false, false);
    auto* jump = new ActionJump(0);
    t.AddAction(jump);
    t.AddAction(new ActionPush(1));
    t.AddAction(new ActionStop());
    jump->span = {t.actions[1].get(), t.actions[2].get()};
    EXPECT_EQ(ToHex(Written(*jump, 6)), "99 02 00 09 00");
  }
}

TEST(DoActionTag, ReadingRecordsSpans) {
  // Push 1 (8 bytes), Stop, Jump -10: the span holds the Jump, the Stop and the Push.
  auto tags = ReadTags(Hex("3F 03 0F 00 00 00 96 05 00 07 01 00 00 00 07 99 02 00 F6 FF 00"), 6);
  auto& t = dynamic_cast<DoActionTag&>(*tags[0]);
  ASSERT_EQ(t.actions.size(), 3u);
  auto& jump = dynamic_cast<ActionJump&>(*t.actions[2]);
  ASSERT_EQ(jump.span.size(), 3u);
  EXPECT_EQ(jump.span[0], &jump);
  EXPECT_EQ(jump.span[2], t.actions[0].get());
  EXPECT_FALSE(t.autoBranchOffsetsOff);

  // A forward offset beyond the last action spans every following action.
  auto far = ReadTags(Hex("3F 03 08 00 00 00 9D 02 00 64 00 06 07 00"), 6);
  EXPECT_EQ(dynamic_cast<ActionIf&>(*dynamic_cast<DoActionTag&>(*far[0]).actions[0]).span.size(), 2u);

  // Payload-less codes are read as generic actions and written back as one byte each.
  auto generic = ReadTags(Hex("3F 03 03 00 00 00 06 07 00"), 6);
  auto& g = dynamic_cast<DoActionTag&>(*generic[0]);
  ASSERT_EQ(g.actions.size(), 2u);
  EXPECT_TRUE(dynamic_cast<ActionGeneric*>(g.actions[0].get()));
  EXPECT_EQ(g.actions[1]->GetActionCode(), 7);
  EXPECT_EQ(ToHex(Written(g, 6)), "3F 03 03 00 00 00 06 07 00");
}

// A DoAction without its End byte stops at the end of its tag: the following tags are read
// once, as themselves, and the list is written back with its End byte.
TEST(DoActionTag, ListWithoutEndStopsAtTheTagEnd) {
  auto tags = ReadTags(Hex("01 03 07 43 02 FF FF FF 40 00 00 00"), 6);
  ASSERT_EQ(tags.size(), 4u);
  auto& t = dynamic_cast<DoActionTag&>(*tags[0]);
  ASSERT_EQ(t.actions.size(), 1u);
  EXPECT_EQ(t.actions[0]->GetActionCode(), 7);
  EXPECT_EQ(ToHex(Written(t, 6)), "3F 03 02 00 00 00 07 00");
  EXPECT_EQ(tags[1]->GetTagCode(), 9);
  EXPECT_EQ(tags[2]->GetTagCode(), 1);
  EXPECT_EQ(tags[3]->GetTagCode(), 0);

  // A pushed string cut off by the tag's end takes none of the next tag's bytes.
  auto cut = ReadTags(Hex("3F 03 05 00 00 00 96 02 00 00 61 40 00"), 6);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(ToHex(Written(*cut[0], 6)), "3F 03 07 00 00 00 96 03 00 00 61 00 00");
  EXPECT_EQ(cut[1]->GetTagCode(), 1);

  auto init = ReadTags(Hex("C3 0E 02 00 07 40 00"), 6);
  ASSERT_EQ(init.size(), 2u);
  EXPECT_EQ(ToHex(Written(*init[0], 6)), "FF 0E 04 00 00 00 02 00 07 00");
}

TEST(DoActionTag, ReadBytesAreWrittenBackUnchanged) {
  // A Push of "café" in UTF-8 and one in Latin-1: each keeps its bytes.
  const char* hex = "3F 03 14 00 00 00 96 07 00 00 63 61 66 C3 A9 00 96 06 00 00 63 61 66 E9 00 00";
  auto tags = ReadTags(Hex(hex), 6);
  EXPECT_EQ(ToHex(Written(*tags[0], 6)), ToHex(Hex(hex)));
  auto& push = dynamic_cast<ActionPush&>(*dynamic_cast<DoActionTag&>(*tags[0]).actions[0]);
  EXPECT_EQ(push.values[0].text.Text(), L"caf\u00e9");
}

// Compilers place actions behind the End action that jumps reach: they are kept.
TEST(DoActionTag, BytesBehindTheEndAreKept) {
  for (const char* hex : {"3F 03 08 00 00 00 99 02 00 01 00 00 07 00", "FF 0E 05 00 00 00 03 00 00 07 00"}) {
    auto tags = ReadTags(Hex(hex), 6);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(ToHex(Written(*tags[0], 6)), hex);
  }
}

TEST(DoActionTag, ShiftingReachesTheActions) {
  DoActionTag t;
  t.AddAction(new ActionGotoFrame(2));
  t.ShiftIdsAndDepths(1, 1, 3);
  EXPECT_EQ(static_cast<ActionGotoFrame&>(*t.actions[0]).frame, 5);
  DoInitActionTag init;
  init.spriteId = 4;
  init.actions.emplace_back(new ActionGotoFrame(2));
  init.ShiftIdsAndDepths(1, 1, 3);
  EXPECT_EQ(init.spriteId, 5);
  EXPECT_EQ(static_cast<ActionGotoFrame&>(*init.actions[0]).frame, 2);
}

// Every action stops reading at the end of its own record, its tag and the input.
TEST(DoActionTag, RecordsAreReadWithinTheirBounds) {
  const struct {
    const char* name;
    const char* in;
    const char* out;
  } cases[] = {
      {"a Push whose length runs past the input is kept as read", "3F 03 10 00 00 00 96 10 00 07 01 00 00 00",
       "08 03 96 10 00 07 01 00 00 00"},
      {"a Push string that runs past its record ends with it", "3F 03 0A 00 00 00 96 03 00 00 61 62 63 00 07 00",
       "3F 03 0B 00 00 00 96 04 00 00 61 62 00 63 00 07 00"},
      {"a Push value cut by its record's end is dropped", "3F 03 08 00 00 00 96 03 00 07 01 00 07 00",
       "3F 03 05 00 00 00 96 00 00 07 00"},
      {"a record shorter than its fields", "3F 03 05 00 00 00 81 00 00 07 00", "3F 03 07 00 00 00 81 02 00 00 00 07 00"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tags = ReadTags(Hex(c.in), 6);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(ToHex(Written(*tags[0], 6)), c.out);
  }
}

// A record longer than its 16-bit length field counts is refused, and the movie with it fails
// with a reason and leaves no file.
TEST(DoActionTag, OverlongRecordsFailTheMovie) {
  testsupport::ScratchDir dir;
  auto* script = new DoActionTag(6);
  auto* push = new ActionPush();
  push->AddString(std::wstring(70000, L'a').c_str(), ActionPush::kAppend);
  script->AddAction(push);
  SwfMovieWriter w;
  w.SetMovieProperties(11000, 8000, 12, 6);
  ASSERT_TRUE(w.Open(PathOf(dir / "m.swf"), true));
  EXPECT_EQ(w.WriteTag(script, false), 0u);
  EXPECT_EQ(w.WriteTag(new EndTag(), false), 2u) << "the tags after it are written as before";
  EXPECT_EQ(w.Close(), 0u);
  EXPECT_NE(w.GetFailureReason().find("length field"), std::string::npos) << w.GetFailureReason();
  EXPECT_FALSE(std::filesystem::exists(dir / "m.swf"));
}

// Records given as bytes (HoldActions) are read as Read reads the same tag body: whole records
// without an End byte are held and written as they are until their actions are asked for;
// anything else is read at once.
TEST(DoActionTag, HeldRecordsReadLikeATagBody) {
  const struct {
    const char* name;
    const char* body;
    bool held;
  } cases[] = {
      {"push 1, stop, jump back over them", "96 05 00 07 01 00 00 00 07 99 02 00 F6 FF", true},
      {"actions behind an End byte", "99 02 00 01 00 00 07", false},
      {"a record cut by the end", "96 10 00 07 01 00 00 00", false},
      {"a GotoFrame2 with its stray 0 byte", "9F 01 00 01 00 07", false},
      {"nothing", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DoActionTag lazy(6);
    lazy.HoldActions(Hex(c.body));
    EXPECT_EQ(lazy.actions.GetEncoded().empty(), !c.held);
    const std::string heldWritten = ToHex(Written(lazy, 6));
    SwfReader reader;
    reader.LoadTagBody(Hex(c.body), 6);
    DoActionTag eager(6);
    eager.Read(reader);
    EXPECT_EQ(heldWritten, ToHex(Written(eager, 6)));
    EXPECT_EQ(Describe(lazy, 6), Describe(eager, 6));
    EXPECT_TRUE(lazy.actions.GetEncoded().empty());
    EXPECT_EQ(ToHex(Written(lazy, 6)), heldWritten);
  }
}

// A held list answers whether it is empty without reading; every other use reads it first, and
// a moved tag keeps its branches pointing into its own list.
TEST(DoActionTag, HeldListsReadOnFirstUse) {
  DoActionTag t(6);
  t.HoldActions(Hex("96 05 00 07 01 00 00 00 9D 02 00 01 00 07"));
  EXPECT_FALSE(t.actions.empty());
  EXPECT_FALSE(t.actions.GetEncoded().empty());
  auto moved = std::make_unique<DoActionTag>(std::move(t));
  moved->AddAction(new ActionPlay());
  EXPECT_TRUE(moved->actions.GetEncoded().empty());
  ASSERT_EQ(moved->actions.size(), 4u);
  auto& branch = dynamic_cast<ActionIf&>(*moved->actions[1]);
  ASSERT_EQ(branch.span.size(), 1u);
  EXPECT_EQ(branch.span[0], moved->actions[2].get());
  EXPECT_EQ(ToHex(Written(*moved, 6)), "3F 03 10 00 00 00 96 05 00 07 01 00 00 00 9D 02 00 01 00 07 06 00");

  DoActionTag cleared(6);
  cleared.HoldActions(Hex("07"));
  cleared.Clear();
  EXPECT_TRUE(cleared.actions.empty());
  EXPECT_TRUE(Written(cleared, 6).empty());
}
