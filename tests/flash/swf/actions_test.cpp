#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfActions.h"

using namespace swftest;

namespace {

using Maker = std::function<std::unique_ptr<SwfObject>()>;

template <class T, class... Args>
Maker A(Args... args) {
  return [=] { return std::unique_ptr<SwfObject>(new T(args...)); };
}

template <class T>
Maker With(std::function<void(T&)> fill) {
  return [fill] {
    auto o = std::make_unique<T>();
    fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

RoundTrip Action(const std::string& name, Maker make, const std::string& hex, uint8_t version = 6) {
  return RoundTrip{name, version, std::move(make), hex, Kind::kAction};
}

}  // namespace

TEST(SwfActions, PayloadLessActionsAreOneByte) {
  const RoundTrip cases[] = {
      Action("NextFrame", A<ActionNextFrame>(), "04"),   Action("PrevFrame", A<ActionPrevFrame>(), "05"),
      Action("Play", A<ActionPlay>(), "06"),             Action("Stop", A<ActionStop>(), "07"),
      Action("Add", A<ActionAdd>(), "0A"),               Action("Multiply", A<ActionMultiply>(), "0C"),
      Action("Divide", A<ActionDivide>(), "0D"),         Action("Less", A<ActionLess>(), "0F"),
      Action("Not", A<ActionNot>(), "12"),               Action("Pop", A<ActionPop>(), "17"),
      Action("ToInteger", A<ActionToInteger>(), "18"),   Action("GetVariable", A<ActionGetVariable>(), "1C"),
      Action("SetVariable", A<ActionSetVariable>(), "1D"), Action("StringAdd", A<ActionStringAdd>(), "21"),
      Action("GetProperty", A<ActionGetProperty>(), "22"), Action("SetProperty", A<ActionSetProperty>(), "23"),
      Action("GetTime", A<ActionGetTime>(), "34"),       Action("NewObject", A<ActionNewObject>(), "40"),
      Action("Add2", A<ActionAdd2>(), "47"),             Action("Less2", A<ActionLess2>(), "48"),
      Action("Equals2", A<ActionEquals2>(), "49"),       Action("GetMember", A<ActionGetMember>(), "4E"),
      Action("CallMethod", A<ActionCallMethod>(), "52"), Action("generic 0x0B", A<ActionGeneric>(uint8_t{0x0B}), "0B"),
  };
  for (auto& c : cases) {
    ExpectRoundTrip(c);
    EXPECT_EQ(static_cast<SwfAction&>(*c.make()).GetSize(), 1) << c.name;
  }
}

TEST(SwfActions, PayloadActionsRoundTrip) {
  const RoundTrip cases[] = {
      Action("GotoFrame", A<ActionGotoFrame>(uint16_t{5}), "81 02 00 05 00"),
      Action("GetUrl", [] { return std::unique_ptr<SwfObject>(new ActionGetUrl(L"a.html", L"_blank")); },
             "83 0E 00 61 2E 68 74 6D 6C 00 5F 62 6C 61 6E 6B 00"),
      Action("GetUrl empty", A<ActionGetUrl>(), "83 02 00 00 00"),
      Action("StoreRegister", A<ActionStoreRegister>(uint8_t{1}), "87 01 00 01"),
      Action("ConstantPool", With<ActionConstantPool>([](auto& p) {
               p.AddConstant(L"ab", ActionPush::kAppend), p.AddConstant(L"c", ActionPush::kAppend);
             }),
             "88 07 00 02 00 61 62 00 63 00"),
      Action("WaitForFrame", A<ActionWaitForFrame>(uint16_t{10}, uint8_t{2}), "8A 03 00 0A 00 02"),
      Action("SetTarget", A<ActionSetTarget>(L"/mc"), "8B 04 00 2F 6D 63 00"),
      Action("GotoLabel", A<ActionGotoLabel>(L"go"), "8C 03 00 67 6F 00"),
      Action("GotoLabel caf\u00e9 at 6", A<ActionGotoLabel>(L"caf\u00e9"), "8C 06 00 63 61 66 C3 A9 00"),
      Action("GotoLabel caf\u00e9 at 5", A<ActionGotoLabel>(L"caf\u00e9"), "8C 05 00 63 61 66 E9 00", 5),
      Action("WaitForFrame2", A<ActionWaitForFrame2>(uint8_t{3}), "8D 01 00 03"),
      Action("With without name", With<ActionWith>([](auto& w) { w.blockSize = 10; }), "94 02 00 0A 00"),
      Action("With a name", With<ActionWith>([](auto& w) { w.blockSize = 10, w.name = L"a"; }),
             "94 04 00 0A 00 61 00"),
      Action("Jump back", A<ActionJump>(int16_t{-10}), "99 02 00 F6 FF"),
      Action("If", A<ActionIf>(int16_t{9}), "9D 02 00 09 00"),
      Action("GetUrl2", A<ActionGetUrl2>(uint8_t{2}), "9A 01 00 02"),
      Action("GotoFrame2 with scene bias", With<ActionGotoFrame2>([](auto& g) { g.flags = 3, g.sceneBias = 2; }),
             "9F 03 00 03 02 00"),
      Action("GotoFrame2", A<ActionGotoFrame2>(uint8_t{1}), "9F 01 00 01"),
      Action("generic without payload", A<ActionGeneric>(uint8_t{0x9E}), "9E 00 00"),
  };
  for (auto& c : cases) ExpectRoundTrip(c);
  ExpectRoundTrip(Action("generic with payload", [] {
    auto g = std::make_unique<ActionGeneric>(0xA0);
    g->payload = {1, 2};
    return std::unique_ptr<SwfObject>(std::move(g));
  }, "A0 02 00 01 02"));
}

TEST(SwfActions, EveryPushTypeRoundTrips) {
  auto push = [](std::function<void(ActionPush&)> add) { return With<ActionPush>(add); };
  const auto A_ = ActionPush::kAppend;
  const RoundTrip cases[] = {
      Action("string", push([=](auto& p) { p.AddString(L"hi", A_); }), "96 04 00 00 68 69 00"),
      Action("float", push([=](auto& p) { p.AddFloat(0x3F800000, A_); }), "96 05 00 01 00 00 80 3F"),
      Action("null", push([=](auto& p) { p.AddNull(A_); }), "96 01 00 02"),
      Action("undefined", push([=](auto& p) { p.AddUndefined(A_); }), "96 01 00 03"),
      Action("register", push([=](auto& p) { p.AddRegister(2, A_); }), "96 02 00 04 02"),
      Action("boolean", push([=](auto& p) { p.AddBoolean(1, A_); }), "96 02 00 05 01"),
      Action("double: high word first", push([=](auto& p) { p.AddDouble(1.0, A_); }),
             "96 09 00 06 00 00 F0 3F 00 00 00 00"),
      Action("integer", push([=](auto& p) { p.AddInteger(7, A_); }), "96 05 00 07 07 00 00 00"),
      Action("constant8", push([=](auto& p) { p.AddConstant8(3, A_); }), "96 02 00 08 03"),
      Action("constant16", push([=](auto& p) { p.AddConstant16(300, A_); }), "96 03 00 09 2C 01"),
      Action("caf\u00e9 at 6", push([=](auto& p) { p.AddString(L"caf\u00e9", A_); }),
             "96 07 00 00 63 61 66 C3 A9 00"),
      Action("caf\u00e9 at 5", push([=](auto& p) { p.AddString(L"caf\u00e9", A_); }), "96 06 00 00 63 61 66 E9 00", 5),
      Action("several", push([=](auto& p) { p.AddInteger(1, A_), p.AddString(L"", A_), p.AddNull(A_); }),
             "96 08 00 07 01 00 00 00 00 00 02"),
      Action("empty", push([](auto&) {}), "96 00 00"),
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(SwfActions, PushConstructionAndInsertion) {
  ActionPush empty(5, SwfPushValue::kBoolean);
  EXPECT_EQ(ToHex(Written(empty, 6)), "96 00 00");
  EXPECT_EQ(ToHex(Written(*std::make_unique<ActionPush>(2, SwfPushValue::kRegister), 6)), "96 02 00 04 02");
  EXPECT_EQ(ToHex(Written(*std::make_unique<ActionPush>(300, SwfPushValue::kConstant16), 6)), "96 03 00 09 2C 01");

  ActionPush p(42);
  EXPECT_EQ(p.GetPayloadLength(), 5u);
  EXPECT_EQ(p.AddString(L"ab", 0), 4u);
  EXPECT_EQ(p.GetPayloadLength(), 9u);
  EXPECT_EQ(p.values[0].type, SwfPushValue::kString);
  EXPECT_EQ(p.values[1].number, 42u);
  p.Clear();
  EXPECT_EQ(p.GetSize(), 3);
}

TEST(SwfActions, ConstantPoolLookups) {
  ActionConstantPool pool;
  pool.AddConstant(L"a", ActionPush::kAppend);
  pool.AddConstant(L"b", 0);
  pool.AddConstant(L"a", 0);  // already there: nothing changes
  ASSERT_EQ(pool.constants.size(), 2u);
  EXPECT_EQ(pool.FindConstant(L"a"), 1);
  EXPECT_EQ(pool.FindConstant(L"z"), -1);
  EXPECT_EQ(pool.GetConstant(-3), L"b");
  EXPECT_EQ(pool.GetConstant(9), L"a");
}

// Every size counts the bytes the encoder writes, for any text, so that lengths and branch
// offsets agree with the bytes.
TEST(SwfActions, SizesCountEncodedBytes) {
  std::mt19937 rng(7);
  const wchar_t alphabet[] = {L'a', L'Z', 0xE9, 0xFF, 0x100, 0x4E2D, 0xFFFD, 0x1F600, L'/'};
  auto text = [&] {
    std::wstring s;
    for (int n = rng() % 12; n > 0; --n) s.push_back(alphabet[rng() % std::size(alphabet)]);
    return s;
  };
  for (uint8_t version : {5, 6, 8}) {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::unique_ptr<SwfAction>> actions;
      actions.emplace_back(new ActionGetUrl(text(), text()));
      auto pool = std::make_unique<ActionConstantPool>();
      for (int i = 0; i < 3; ++i) pool->constants.push_back(text());
      actions.push_back(std::move(pool));
      actions.emplace_back(new ActionSetTarget(text().c_str()));
      actions.emplace_back(new ActionGotoLabel(text().c_str()));
      auto with = std::make_unique<ActionWith>();
      with->name = text();
      actions.push_back(std::move(with));
      auto push = std::make_unique<ActionPush>();
      push->AddString(text().c_str(), ActionPush::kAppend);
      push->AddInteger(3, ActionPush::kAppend);
      push->AddString(text().c_str(), 0);
      actions.push_back(std::move(push));
      for (auto& a : actions) {
        a->version = version;
        const Bytes bytes = Written(*a, version);
        ASSERT_EQ(bytes.size(), a->GetSize()) << Describe(*a, version);
        ASSERT_EQ(bytes[1] | bytes[2] << 8, a->GetSize() - 3);
        // Read back, the record takes exactly its bytes and writes them again.
        SwfReader r;
        Load(r, bytes, version);
        std::unique_ptr<SwfAction> back(CreateActionForCode(r.ReadU8()));
        back->Read(r);
        EXPECT_EQ(r.GetPosition(), bytes.size());
        EXPECT_EQ(ToHex(Written(*back, version)), ToHex(bytes));
      }
    }
  }
}

TEST(SwfActions, ShiftingMovesFrameNumbers) {
  ActionGotoFrame g(2);
  ActionWaitForFrame w(65535, 1);
  g.ShiftIdsAndDepths(1, 1, 3);
  w.ShiftIdsAndDepths(1, 1, 3);
  EXPECT_EQ(g.frame, 5);
  EXPECT_EQ(w.frame, 2);  // wraps at 16 bits
}

// Actions share blocks of memory: they may be deleted on any thread, after the thread that
// made them has ended, and in any order.
TEST(SwfActions, ActionsOutliveAndLeaveTheThreadThatMadeThem) {
  std::vector<std::unique_ptr<SwfAction>> made;
  std::thread([&made] {
    for (int i = 0; i < 20000; ++i) {
      if (i % 3 == 0) made.emplace_back(new ActionPush(i));
      else if (i % 3 == 1) made.emplace_back(new ActionStop());
      else made.emplace_back(new ActionJump(static_cast<int16_t>(i)));
    }
  }).join();
  std::vector<std::unique_ptr<SwfAction>> second(std::make_move_iterator(made.begin() + 10000),
                                                 std::make_move_iterator(made.end()));
  made.resize(10000);
  std::thread([&second] { second.clear(); }).join();
  for (size_t i = 0; i < made.size(); i += 2) made[i].reset();
  SwfBitWriter w(6);
  for (auto& a : made)
    if (a) a->Write(w);
  std::unique_ptr<SwfAction> late(new ActionPush(7));
  late->Write(w);
  // Every kept action still writes itself whole: 1,667 Pushes (8 bytes), 1,667 Stops (1) and
  // 1,666 Jumps (5), and the late Push.
  EXPECT_EQ(w.GetByteCount(), 1667u * 8u + 1667u + 1666u * 5u + 8u);
}
