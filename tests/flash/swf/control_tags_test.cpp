#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/SoundTags.h"

using namespace swftest;

namespace {

template <class T>
std::function<std::unique_ptr<SwfObject>()> Tag(std::function<void(T&)> fill = nullptr) {
  return [fill] {
    auto o = std::make_unique<T>();
    if (fill) fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

std::function<std::unique_ptr<SwfObject>()> Label(const wchar_t* name, uint8_t anchor = 0) {
  return [=] {
    auto o = std::make_unique<FrameLabelTag>(name);
    o->anchor = anchor;
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

}  // namespace

TEST(ControlTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"End", 6, Tag<EndTag>(), "00 00"},
      {"white background", 6, Tag<SetBackgroundColorTag>([](auto& t) { t.color.Set(255, 255, 255); }),
       "43 02 FF FF FF"},
      {"label with anchor byte from version 6", 6, Label(L"hello"), "C7 0A 68 65 6C 6C 6F 00 00"},
      {"label without anchor byte below 6", 5, Label(L"hello"), "C6 0A 68 65 6C 6C 6F 00"},
      {"named anchor", 7, Label(L"a", 1), "C3 0A 61 00 01"},
      {"label caf\u00e9 in UTF-8 from version 6", 6, Label(L"caf\u00e9"), "C7 0A 63 61 66 C3 A9 00 00"},
      {"label caf\u00e9 in Latin-1 below 6", 5, Label(L"caf\u00e9"), "C5 0A 63 61 66 E9 00"},
      {"Protect", 6, Tag<ProtectTag>(), "00 06"},
      {"ExportAssets without entries", 6, Tag<ExportAssetsTag>(), "02 0E 00 00"},
      {"ExportAssets", 6, Tag<ExportAssetsTag>([](auto& t) {
         t.InsertAsset(new SwfAssetEntry(2, L"bc"), 0);
         t.InsertAsset(new SwfAssetEntry(1, L"a"), 0);
       }),
       "0B 0E 02 00 01 00 61 00 02 00 62 63 00"},
      {"ImportAssets", 6, Tag<ImportAssetsTag>([](auto& t) {
         t.url = L"u.swf";
         t.InsertAsset(new SwfAssetEntry(3, L"x"), 7);
       }),
       "4C 0E 75 2E 73 77 66 00 01 00 03 00 78 00"},
      {"EnableDebugger", 6, Tag<EnableDebuggerTag>([](auto& t) { t.password = L"pw"; }), "83 0E 70 77 00"},
      {"EnableDebugger2 with empty password", 6, Tag<EnableDebugger2Tag>(), "03 10 00 00 00"},
      {"EnableDebugger2", 6, Tag<EnableDebugger2Tag>([](auto& t) { t.reserved = 0x1234, t.password = L"p"; }),
       "04 10 34 12 70 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(ControlTags, NormalisedOnTheWayThrough) {
  struct Case {
    const char* name;
    uint8_t version;
    const char* in;
    const char* out;
  } cases[] = {
      {"Protect with a password body is written empty", 6, "05 06 61 62 63 64 00", "00 06"},
      {"label without anchor in version 6: read normally and written back without one", 6,
       "C2 0A 61 00 43 02 01 02 03", "C2 0A 61 00 43 02 01 02 03"},
      {"longer background body: the next tag follows", 6, "44 02 01 02 03 04 40 00", "43 02 01 02 03 40 00"},
      // UTF-8 read from a movie is written back as it was, not encoded a second time.
      {"label bytes C3 A9 kept", 6, "C7 0A 63 61 66 C3 A9 00 00", "C7 0A 63 61 66 C3 A9 00 00"},
      {"label bytes of another encoding kept", 6, "C6 0A 63 61 66 E9 00 00", "C6 0A 63 61 66 E9 00 00"},
      {"ExportAssets count beyond its bytes", 6, "04 0E FF FF 01 00", "05 0E 01 00 01 00 00"},
      // A string without its 0 byte ends with its tag: the next tag's bytes stay that tag's.
      {"label without its 0 byte ends at the tag's end", 6, "C3 0A 61 62 63 40 00", "C4 0A 61 62 63 00 40 00"},
      {"asset name without its 0 byte ends at the tag's end", 6, "05 0E 01 00 07 00 78 40 00",
       "06 0E 01 00 07 00 78 00 40 00"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SwfReader r;
    Load(r, Hex(c.in), c.version);
    SwfBitWriter out(c.version);
    while (r.GetPosition() < r.GetSize()) {
      std::unique_ptr<SwfTag> t(r.ReadNextTag());
      t->Write(out);
    }
    EXPECT_EQ(ToHex(out.GetBuffer()), c.out);
  }
}

TEST(ControlTags, ShiftingMovesAssetIds) {
  ImportAssetsTag t;
  t.InsertAsset(new SwfAssetEntry(3, L"x"), 0);
  t.ShiftIdsAndDepths(10, 5, 2);
  EXPECT_EQ(t.assets[0]->characterId, 13);
}

TEST(TagFactory, EveryCodeGivesATagOfThatCode) {
  SwfReader r;
  for (uint16_t code = 0; code < 1024; ++code) {
    std::unique_ptr<SwfTag> t(CreateTagForCode(r, code, 0));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetTagCode(), code);
  }
  EXPECT_EQ(r.frameCount, 1u);  // one ShowFrame
}
