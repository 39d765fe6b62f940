#include <gtest/gtest.h>

#include <clocale>
#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfInfo.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::WriteFile;

namespace {

DoActionTag* Script(std::initializer_list<SwfAction*> actions) {
  auto* tag = new DoActionTag(6);
  for (SwfAction* a : actions) tag->AddAction(a);
  return tag;
}

ActionPush* PushDouble(double v) {
  auto* p = new ActionPush();
  p->AddDouble(v, ActionPush::kAppend);
  return p;
}

// A skin movie: frame 1 sets its variables, frame 2 sets one more.
std::string SkinMovie(const std::wstring& longValue) {
  auto* pool = new ActionConstantPool();
  pool->AddConstant(L"name", ActionPush::kAppend);
  pool->AddConstant(L"Skin One", ActionPush::kAppend);
  auto* bool0 = new ActionPush();
  bool0->AddBoolean(0, ActionPush::kAppend);
  auto* nullUndef = new ActionPush(L"empty");
  nullUndef->AddNull(ActionPush::kAppend);
  return MovieBytes(
      6,
      {new SetBackgroundColorTag(),
       Script({new ActionPush(L"format"), new ActionPush(L"audio"), new ActionSetVariable(),  //
               new ActionPush(L"minWidth"), new ActionPush(300), new ActionSetVariable(),     //
               new ActionPush(L"scale"), PushDouble(12.5), new ActionSetVariable(),          //
               new ActionPush(L"long"), new ActionPush(longValue.c_str()), new ActionSetVariable(),
               new ActionPush(L"lonely"), new ActionSetVariable(),  // one text only: nothing
               new ActionPush(L"x"), new ActionPush(L"y"), new ActionPush(2, SwfPushValue::kConstant8),
               new ActionSetVariable(),  // constant before any pool: x = y
               new ActionGotoFrame2(0), new ActionStop()}),
       Script({pool, new ActionPush(0, SwfPushValue::kConstant8), new ActionPush(1, SwfPushValue::kConstant8),
               new ActionSetVariable(),  //
               new ActionPush(L"a"), new ActionPush(L"b"), new ActionPush(5, SwfPushValue::kConstant8),
               new ActionSetVariable(),  // index past the pool: a = b
               new ActionPush(L"hidden"), bool0, new ActionSetVariable(), nullUndef, new ActionSetVariable()}),
       new ShowFrameTag(),
       Script({new ActionPush(L"second"), new ActionPush(L"frame"), new ActionSetVariable()}),
       new ShowFrameTag(), new EndTag()},
      2);
}

std::vector<std::string> Pairs(FrameVariableTable& t) {
  std::vector<std::string> out;
  WideText name, value;
  for (bool more = t.First(name, value); more; more = t.Next(name, value)) {
    std::string n, v;
    for (const wchar_t* p = name.CStr(); *p; ++p) n.push_back(static_cast<char>(*p));
    for (const wchar_t* p = value.CStr(); *p && v.size() < 20; ++p) v.push_back(static_cast<char>(*p));
    out.push_back(n + "=" + v);
  }
  return out;
}

}  // namespace

TEST(SwfInfo, HeaderFactsAndSignatures) {
  testsupport::ScratchDir dir;
  const std::string fws = MovieBytes(7, {new ShowFrameTag(), new EndTag()}, 1);
  WriteFile(dir / "f.swf", fws);
  WriteFile(dir / "c.swf", Compressed(fws));
  WriteFile(dir / "two", "FW");
  for (const char* name : {"f.swf", "c.swf"}) {
    SCOPED_TRACE(name);
    uint32_t width = 0, height = 0, version = 0, frames = 0;
    float rate = 0;
    bool compressed = false;
    ASSERT_TRUE(SwfInfo(PathOf(dir / name), &width, &height, &rate, &version, &frames, &compressed));
    EXPECT_EQ(width, 11000u);
    EXPECT_EQ(height, 8000u);
    EXPECT_FLOAT_EQ(rate, 12.0f);
    EXPECT_EQ(version, 7u);
    EXPECT_EQ(frames, 1u);
    EXPECT_EQ(compressed, name[0] == 'c');
    EXPECT_TRUE(SwfInfo(PathOf(dir / name), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(IsSwfFile(PathOf(dir / name)));
  }
  uint32_t untouched = 99;
  EXPECT_FALSE(SwfInfo(PathOf(dir / "two"), &untouched, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(untouched, 99u);
  EXPECT_FALSE(IsSwfFile(PathOf(dir / "two")));
  EXPECT_FALSE(IsSwfFile(PathOf(dir / "missing")));
}

TEST(SwfInfo, TagListLookUps) {
  auto sound = std::make_unique<DefineSoundTag>();
  sound->SetCharacterId(4);
  PlaceObject2Tag early, other, late;
  early.SetCharacterId(4);
  other.SetCharacterId(5);
  late.SetCharacterId(4);
  SetBackgroundColorTag background;
  const std::vector<SwfTag*> list = {&early, sound.get(), &other, &background, &late};
  EXPECT_EQ(FindBackgroundColorTag(list), &background);
  EXPECT_EQ(FindBackgroundColorTag({&early}), nullptr);
  EXPECT_EQ(FindPlacementTag(sound.get(), list), &late) << "placements before the definition are not considered";
  DefineSoundTag absent;
  EXPECT_EQ(FindPlacementTag(&absent, list), nullptr);
}

TEST(FrameVariableTable, CollectsTheFirstFramesVariables) {
  testsupport::ScratchDir dir;
  const std::wstring longValue(10000, L'v');
  WriteFile(dir / "skin.swf", SkinMovie(longValue));
  WriteFile(dir / "skin-c.swf", Compressed(SkinMovie(longValue)));
  for (const char* name : {"skin.swf", "skin-c.swf"}) {
    SCOPED_TRACE(name);
    FrameVariableTable t;
    ASSERT_TRUE(t.Load(PathOf(dir / name), 0));
    EXPECT_EQ(Pairs(t), (std::vector<std::string>{"format=audio", "minWidth=300", "scale=12.500000",
                                                  "long=vvvvvvvvvvvvvvvvvvvv", "x=y", "name=Skin One", "a=b", "hidden=false",
                                                  "empty=NULL"}));
    std::wstring value;
    ASSERT_TRUE(t.GetString(L"FORMAT", value));
    EXPECT_EQ(value, L"audio");
    ASSERT_TRUE(t.GetString(L"long", value));
    EXPECT_EQ(value, longValue);
    EXPECT_FALSE(t.GetString(L"second", value)) << "frame 2 is not scanned";
    int32_t width = 0;
    double scale = 0;
    EXPECT_TRUE(t.GetInteger(L"minwidth", width));
    EXPECT_EQ(width, 300);
    EXPECT_TRUE(t.GetNumber(L"Scale", scale));
    EXPECT_DOUBLE_EQ(scale, 12.5);
    EXPECT_TRUE(t.GetInteger(L"format", width)) << "found, though not a number";
    EXPECT_EQ(t.stageWidth, 11000);
    EXPECT_EQ(t.stageHeight, 8000);

    // Loading again starts afresh; a later frame limit scans further.
    ASSERT_TRUE(t.Load(PathOf(dir / name), 1));
    EXPECT_EQ(Pairs(t).size(), 10u);
    EXPECT_EQ(Pairs(t).back(), "second=frame");
  }
  FrameVariableTable t;
  EXPECT_FALSE(t.Load(PathOf(dir / "missing.swf"), 0));
  WideText n, v;
  EXPECT_FALSE(t.First(n, v));
}

// Numbers become text with the C conventions whatever the process locale.
TEST(FrameVariableTable, NumbersIgnoreTheProcessLocale) {
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "tr_TR.utf8", "tr_TR.UTF-8"}) {
    if (setlocale(LC_ALL, name)) {
      comma = name;
      break;
    }
  }
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";
  testsupport::ScratchDir dir;
  WriteFile(dir / "skin.swf", SkinMovie(L"x"));
  FrameVariableTable t;
  const bool loaded = t.Load(PathOf(dir / "skin.swf"), 0);
  std::wstring value;
  const bool found = t.GetString(L"scale", value);
  setlocale(LC_ALL, "C");
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(found);
  EXPECT_EQ(value, L"12.500000");
  EXPECT_EQ(FormatFixed6(-0.25), L"-0.250000");
  EXPECT_EQ(FormatInteger(-7), L"-7");
}
