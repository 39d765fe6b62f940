#include <gtest/gtest.h>

#include <set>

#include "SwfTestSupport.h"
#include "flash/swf/AssetImporter.h"
#include "flash/swf/ButtonTags.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SwfRawIds.h"
#include "flash/swf/SwfTagIndex.h"
#include "flash/swf/TextTags.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

// A template movie's tag list, owning its tags.
struct Template {
  std::vector<std::unique_ptr<SwfTag>> owned;
  std::vector<SwfTag*> tags;
  template <class T>
  T* Add(T* tag) {
    owned.emplace_back(tag);
    tags.push_back(tag);
    return tag;
  }
};

PlaceObject2Tag* Place(uint16_t id, uint16_t depth) {
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(id);
  p->depth = depth;
  return p;
}

DefineSpriteTag* Sprite(uint16_t id, std::initializer_list<uint16_t> placed) {
  auto* s = new DefineSpriteTag(id, 0);
  uint16_t depth = 1;
  for (uint16_t p : placed) s->AddTag(Place(p, depth++));
  s->AddTag(new ShowFrameTag());
  return s;
}

// A rectangle filled with the bitmap `bitmapId` (fill type `type`).
DefineShapeTag* BitmapShape(uint16_t id, uint16_t bitmapId, uint8_t type = kFillClippedBitmap) {
  auto* fill = new SwfFillStyle();
  fill->fillType = type, fill->bitmapId = bitmapId, fill->matrix = std::make_unique<SwfMatrix>();
  auto* s = new DefineShapeTag();
  s->characterId = id;
  s->BuildRectangle(0, 0, 100, 100, fill, nullptr);
  return s;
}

DefineMorphShapeTag* BitmapMorph(uint16_t id, uint16_t bitmapId) {
  auto* m = new DefineMorphShapeTag();
  m->characterId = id;
  m->fillStyles = std::make_unique<SwfMorphFillStyleArray>(true);
  auto* fill = new SwfMorphFillStyle();
  fill->fillType = kFillClippedBitmap, fill->bitmapId = bitmapId;
  m->fillStyles->Append(fill);
  return m;
}

std::string WrittenTags(const std::vector<SwfTag*>& tags) {
  std::string all;
  for (SwfTag* t : tags) all += ToHex(Written(*t, 6));
  return all;
}

std::string Codes(const std::vector<SwfTag*>& tags) {
  std::string s;
  for (SwfTag* t : tags) s += (s.empty() ? "" : " ") + std::to_string(t->GetTagCode()) + ":" + std::to_string(DefinedCharacterId(t));
  return s;
}

// Every placement of the list, nested ones included, names a character defined before it.
void ExpectPlacementsAfterDefinitions(const std::vector<SwfTag*>& tags) {
  std::set<int32_t> defined;
  auto check = [&](const SwfTag* t) {
    if (auto* p = dynamic_cast<const PlaceObject2Tag*>(t); p && p->hasCharacter) {
      EXPECT_TRUE(defined.count(p->characterId)) << "a placement of " << p->characterId << " before its definition";
    }
  };
  for (SwfTag* t : tags) {
    check(t);
    if (auto* s = dynamic_cast<DefineSpriteTag*>(t))
      for (auto& nested : s->tags) check(nested.get());
    if (DefinedCharacterId(t) >= 0) defined.insert(DefinedCharacterId(t));
  }
}

// A corpus movie read into tags; the reader owns them.
bool ReadCorpus(SwfReader& r, const char* name) {
  return r.ReadAllTagsFromMemory(PathOf(testsupport::CorpusDir() / "swf" / name), true, 0, true);
}

struct OwnedTags {
  SwfReader reader;
  ~OwnedTags() { reader.ClearTags(true); }
};

// A tag as the reader keeps one whose records cannot be followed.
template <class T>
T* Kept(T* tag) {
  tag->keptAsRead = true;
  return tag;
}

template <class T>
T* WithId(T* tag, uint16_t id) {
  tag->characterId = id;
  return tag;
}

template <class Button = DefineButton2Tag>
Button* ButtonShowing(uint16_t id, uint16_t shows) {
  auto* record = new SwfButtonRecord();
  record->stateFlags = kButtonStateUp, record->characterId = shows;
  auto* button = WithId(new Button(), id);
  button->AddButtonRecord(record);
  return button;
}

// A tag the reader keeps as its bytes (a body shorter than its fields).
RawTag* Raw(uint16_t code, const char* hex) {
  auto* raw = new RawTag(code, 0);
  const Bytes body = Hex(hex);
  raw->body.assign(body.begin(), body.end());
  return raw;
}

// A static text whose one style record names `font`.
DefineTextTag* TextNaming(uint16_t id, uint16_t font) {
  auto* style = new SwfTextRecord();
  style->SetFontId(font);
  auto* text = WithId(new DefineTextTag(), id);
  text->records.emplace_back(style);
  return text;
}

// Shape 1, then buttons 2 to `last`, each showing the one before.
std::vector<SwfTag*> ButtonChain(uint16_t last) {
  std::vector<SwfTag*> tags{BitmapShape(1, 0xFFFF)};
  for (uint16_t id = 2; id <= last; ++id) tags.push_back(ButtonShowing(id, static_cast<uint16_t>(id - 1)));
  return tags;
}

}  // namespace

TEST(AssetImporter, EachTagOnceAndEveryUseAfterItsDefinition) {
  // Sprite 3 places sprite 2, which places shape 1.
  Template t;
  t.Add(BitmapShape(1, 0xFFFF));
  auto* two = t.Add(Sprite(2, {1}));
  t.Add(Sprite(3, {2}));
  t.Add(Place(3, 1));
  AssetImporter importer;
  ASSERT_TRUE(importer.Import(two, t.tags));
  std::vector<SwfTag*> target;
  importer.AppendTo(target, true);
  EXPECT_EQ(Codes(target), "2:1 39:2");
  ShiftTagIdsAndDepths(target, 10, 0, 0);
  ExpectPlacementsAfterDefinitions(target);
  EXPECT_EQ(Codes(target), "2:11 39:12");

  // A nested sprite discovered after the one that places it still comes first.
  Template n;
  auto* outer = n.Add(Sprite(1, {2}));
  n.Add(Sprite(2, {3}));
  n.Add(Sprite(3, {4}));
  n.Add(BitmapShape(4, 0xFFFF));
  importer.Import(outer, n.tags);
  target.clear();
  importer.AppendTo(target, true);
  EXPECT_EQ(Codes(target), "2:4 39:3 39:2 39:1");
  ExpectPlacementsAfterDefinitions(target);
}

TEST(AssetImporter, ButtonsAndSpritesShowingEachOtherAreFollowedOnce) {
  // Twenty buttons each show twenty sprites, each of which places every button: followed
  // anew on every path, this would never end.
  Template t;
  for (uint16_t i = 0; i < 20; ++i) {
    auto* button = t.Add(new DefineButton2Tag());
    button->characterId = static_cast<uint16_t>(100 + i);
    for (uint16_t j = 0; j < 20; ++j) {
      auto* record = new SwfButtonRecord();
      record->stateFlags = kButtonStateUp, record->characterId = static_cast<uint16_t>(200 + j);
      button->AddButtonRecord(record);
    }
  }
  for (uint16_t j = 0; j < 20; ++j) {
    auto* sprite = t.Add(new DefineSpriteTag(static_cast<uint16_t>(200 + j), 0));
    for (uint16_t i = 0; i < 20; ++i) sprite->AddTag(Place(static_cast<uint16_t>(100 + i), static_cast<uint16_t>(i + 1)));
  }
  SwfTagIndex index;
  index.Build(t.tags);
  std::vector<SwfTag*> target;
  index.ImportDefinition(200, target);
  EXPECT_EQ(target.size(), 40u) << "every button and sprite, once";
  EXPECT_EQ(target.back(), t.tags[20]);
}

TEST(AssetImporter, BitmapsOfEveryFillTypeAndOfMorphShapes) {
  Template t;
  t.Add(new JpegTablesTag());
  t.Add(new DefineBitsTag())->characterId = 1;
  t.Add(BitmapShape(2, 1, kFillRepeatingBitmapHard));
  t.Add(new DefineBitsLosslessTag())->characterId = 3;
  t.Add(BitmapMorph(4, 3));
  auto* sprite = t.Add(Sprite(5, {2, 4}));
  AssetImporter importer;
  importer.Import(sprite, t.tags);
  std::vector<SwfTag*> target;
  importer.AppendTo(target, true);
  EXPECT_EQ(Codes(target), "8:-1 6:1 2:2 20:3 46:4 39:5");

  SKIP_WITHOUT_CORPUS();
  OwnedTags movie;
  ASSERT_TRUE(ReadCorpus(movie.reader, "DefineBitsLossless.swf"));
  DefineShapeTag* shape = nullptr;
  for (SwfTag* tag : movie.reader.tags)
    if (auto* s = dynamic_cast<DefineShapeTag*>(tag)) shape = s;
  ASSERT_TRUE(shape && shape->shape && shape->shape->fillStyles);
  ASSERT_EQ(shape->shape->fillStyles->styles[0]->fillType, kFillClippedBitmap);
  shape->shape->fillStyles->styles[0]->fillType = kFillClippedBitmapHard;
  ShapeAssetCollector collector;
  ASSERT_TRUE(collector.Collect(shape, movie.reader.tags));
  EXPECT_EQ(Codes(collector.gathered), "20:1");
}

TEST(TagIndex, DefineText2AndMorphShapesAreDefinitions) {
  // The highest id is a DefineText2 placed only inside a sprite.
  Template t;
  t.Add(new DefineText2Tag())->characterId = 9;
  t.Add(Sprite(2, {9}));
  t.Add(Place(2, 1));
  uint16_t maxId = 0, maxDepth = 0;
  GetMaxIdAndDepth(t.tags, maxId, maxDepth);
  EXPECT_EQ(maxId, 9);
  EXPECT_EQ(maxDepth, 1);

  // A button showing a morph shape brings it along.
  Template b;
  b.Add(new DefineBitsLosslessTag())->characterId = 1;
  b.Add(BitmapMorph(2, 1));
  auto* button = b.Add(new DefineButton2Tag());
  button->characterId = 3;
  auto* record = new SwfButtonRecord();
  record->stateFlags = kButtonStateUp, record->characterId = 2, record->matrix = std::make_unique<SwfMatrix>();
  button->AddButtonRecord(record);
  ButtonAssetCollector collector;
  collector.Collect(button, b.tags);
  EXPECT_EQ(Codes(collector.gathered), "20:1 46:2");

  SKIP_WITHOUT_CORPUS();
  OwnedTags movie;
  ASSERT_TRUE(ReadCorpus(movie.reader, "DefineText2-MX.swf"));
  SwfTag* text = FindCharacterById(2, movie.reader.tags);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetTagCode(), 33);
}

TEST(TagIndex, ImportDefinitionBringsTheFontAndItsInfo) {
  Template t;
  t.Add(new DefineFont2Tag(L"Sans", 1, kFontHasLayout));
  auto* text = t.Add(new DefineText2Tag());
  text->characterId = 2;
  auto* style = new SwfTextRecord();
  style->SetFontId(1);
  text->records.emplace_back(style);
  SwfTagIndex index;
  index.Build(t.tags);
  std::vector<SwfTag*> target;
  index.ImportDefinition(2, target);
  index.ImportDefinition(2, target);
  EXPECT_EQ(Codes(target), "48:1 33:2");

  SKIP_WITHOUT_CORPUS();
  const struct {
    const char* movie;
    uint16_t text;
    const char* expected;
  } cases[] = {
      {"DefineFont-MX.swf", 2, "10:1 13:-1 11:2"},
      {"DefineText2-MX.swf", 2, "10:1 62:-1 33:2"},
      {"DefineEditText-MX.swf", 2, "48:1 37:2"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.movie);
    OwnedTags movie;
    ASSERT_TRUE(ReadCorpus(movie.reader, c.movie));
    SwfTagIndex index;
    index.Build(movie.reader.tags);
    std::vector<SwfTag*> target;
    ASSERT_NE(index.ImportDefinition(c.text, target), nullptr);
    EXPECT_EQ(Codes(target), c.expected);
    index.ImportDefinition(c.text, target);
    EXPECT_EQ(Codes(target), c.expected) << "nothing new the second time";
  }
}

TEST(TagIndex, TimelineNamesAndDepths) {
  Template t;
  t.Add(BitmapShape(1, 0xFFFF));
  auto* named = t.Add(Place(1, 3));
  named->SetName(L"bar");
  auto* unnamed = t.Add(Place(1, 4));
  unnamed->name = L"bar";  // the name flag stays clear
  t.Add(new ShowFrameTag());
  t.Add(Place(1, 65535));
  SwfTagIndex index;
  index.Build(t.tags);
  EXPECT_EQ(index.showFrameCount, 1u);
  EXPECT_EQ(index.depths, (std::vector<uint16_t>{3, 4, 65535}));
  EXPECT_EQ(index.placements.size(), 3u);
  ASSERT_EQ(index.timeline.size(), 3u);
  EXPECT_EQ(index.timeline[0].frames[0].size(), 1u);
  EXPECT_TRUE(index.timeline[2].frames[0].empty()) << "placed after the last frame";
  EXPECT_EQ(FindInstanceByName(L"bar", t.tags), named);
  // A character defined only inside a sprite is found there; one at the top level before the
  // sprite wins.
  auto* sprite = t.Add(Sprite(2, {}));
  auto* inner = BitmapShape(5, 0xFFFF);
  sprite->tags.emplace(sprite->tags.begin(), inner);
  EXPECT_EQ(FindCharacterById(5, t.tags), inner);
  EXPECT_EQ(FindCharacterById(1, t.tags), t.tags[0]);
  uint16_t maxId = 0, maxDepth = 0;
  GetMaxIdAndDepth(t.tags, maxId, maxDepth);
  EXPECT_EQ(maxDepth, 4);
}

// A definition comes after what it depends on: a sprite that places a button showing
// another sprite brings that sprite before the button.
TEST(AssetImporter, AButtonComesAfterTheSpriteItShows) {
  Template t;
  t.Add(BitmapShape(1, 0xFFFF));
  t.Add(Sprite(2, {1}));
  auto* button = t.Add(new DefineButton2Tag());
  button->characterId = 3;
  auto* record = new SwfButtonRecord();
  record->stateFlags = 1, record->characterId = 2;
  button->AddButtonRecord(record);
  t.Add(Sprite(4, {3}));
  SwfTagIndex index;
  index.Build(t.tags);
  std::vector<SwfTag*> target;
  ASSERT_NE(index.ImportDefinition(4, target), nullptr);
  EXPECT_EQ(Codes(target), "2:1 39:2 34:3 39:4");
}

// Tags without a class of their own give their ids where their layout puts them: the
// definitions' first two bytes, the bitmaps of DefineShape4 and DefineMorphShape2 fills, the
// character of a PlaceObject3 (behind its class name when it has one), the font or character
// that alignment zones, text settings, scaling grids and font names annotate. Shifted by 0x100
// (depths by 1).
TEST(AssetImporter, IdsOfTagsKeptRawAreFoundAndShifted) {
  const struct {
    const char* name;
    uint16_t code;
    const char* body;
    const char* shifted;
  } cases[] = {
      {"DefineShape4 with a bitmap fill", 83, "01 00 00 00 00 01 41 05 00 00 00 10 00",
       "01 01 00 00 00 01 41 05 01 00 00 10 00"},
      {"DefineMorphShape2 with a bitmap fill", 84, "01 00 00 00 00 00 00 00 00 00 00 01 41 05 00 00 00 00",
       "01 01 00 00 00 00 00 00 00 00 00 01 41 05 01 00 00 00"},
      {"DefineFont3", 75, "07 00 00 00", "07 01 00 00"},
      {"DefineBitsJPEG4", 90, "08 00 FF D8", "08 01 FF D8"},
      {"PlaceObject3 of an image", 70, "06 10 01 00 01 00 00", "06 10 02 00 01 01 00"},
      {"PlaceObject3 with a class name", 70, "02 08 01 00 43 00 07 00", "02 08 02 00 43 00 07 01"},
      {"PlaceObject3 moving", 70, "01 00 01 00", "01 00 02 00"},
      {"PlaceObject3 with a clip depth", 70, "42 00 01 00 07 00 05 00", "42 00 02 00 07 01 06 00"},
      {"PlaceObject3 with a matrix and a clip depth", 70, "46 00 01 00 07 00 00 05 00", "46 00 02 00 07 01 00 06 00"},
      {"DefineFontAlignZones", 73, "03 00 40", "03 01 40"},
      {"CSMTextSettings", 74, "04 00 00", "04 01 00"},
      {"DefineScalingGrid", 78, "05 00 00", "05 01 00"},
      {"DefineFontName", 88, "06 00 41 00 00", "06 01 41 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawTag raw(c.code, 0);
    const Bytes body = Hex(c.body);
    raw.body.assign(body.begin(), body.end());
    ASSERT_TRUE(FindRawIds(raw).known);
    std::vector<SwfTag*> list{&raw};
    ASSERT_TRUE(ShiftTagIdsAndDepths(list, 0x100, 1, 0));
    EXPECT_EQ(ToHex(Bytes(raw.body.begin(), raw.body.end())), c.shifted);
  }

  // The highest id counts a DefineShape4; a sprite placing one with a PlaceObject3 brings it
  // and the bitmap of its fill.
  Template t;
  auto* bitmap = t.Add(new RawTag(90, 0));
  bitmap->body = {5, 0, 0xFF, 0xD8};
  auto* shape = t.Add(new RawTag(83, 0));
  const Bytes shapeBody = Hex("09 00 00 00 00 01 41 05 00 00 00 10 00");
  shape->body.assign(shapeBody.begin(), shapeBody.end());
  auto* grid = t.Add(new RawTag(78, 0));
  grid->body = {9, 0, 0};
  auto* sprite = t.Add(new DefineSpriteTag(2, 0));
  auto* place = new RawTag(70, 0);
  place->body = {0x02, 0x00, 0x01, 0x00, 0x09, 0x00};
  sprite->tags.emplace_back(place);
  uint16_t maxId = 0, maxDepth = 0;
  GetMaxIdAndDepth(t.tags, maxId, maxDepth);
  EXPECT_EQ(maxId, 9);
  AssetImporter importer;
  ASSERT_TRUE(importer.Import(sprite, t.tags));
  std::vector<SwfTag*> target;
  importer.AppendTo(target, true);
  EXPECT_EQ(Codes(target), "90:5 83:9 39:2 78:-1");

  // A bitmap id cut short at the end of a DefineShape4 is not shifted, nor written past the body.
  RawTag cut(83, 0);
  cut.body = {0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x41, 0x07};
  cut.ShiftIdsAndDepths(100, 0, 0);
  EXPECT_EQ(ToHex(Bytes(cut.body.begin(), cut.body.end())), "65 00 00 00 00 01 41 07");

  // A movie whose sprite 2 places shape 1 with a PlaceObject3, imported into one that already
  // has characters 1 to 3: the sprite places the shape's new id.
  const Bytes movie = Hex("465753093300000000000c0100870001000000000000d009020001008611020001000100400000008506"
                          "020100020040000000");
  SwfReader r;
  ASSERT_TRUE(r.OpenMemory(movie.data(), movie.size(), true, 0, true));
  auto* read = dynamic_cast<DefineSpriteTag*>(FindCharacterById(2, r.tags));
  ASSERT_TRUE(read);
  ASSERT_TRUE(importer.Import(read, r.tags));
  target.clear();
  importer.AppendTo(target, true);
  ASSERT_TRUE(ShiftTagIdsAndDepths(target, 3, 0, 0));
  EXPECT_EQ(Codes(target), "2:4 39:5");
  const auto* placed = dynamic_cast<RawTag*>(read->tags[0].get());
  ASSERT_TRUE(placed && placed->code == 70);
  EXPECT_EQ(RawU16(*placed, 4), 4);
  r.ClearTags(true);
}

// Where a tag's ids cannot be found (a DefineShape kept raw after damage), the shift and the
// import fail with a reason and change nothing.
TEST(AssetImporter, IdsThatCannotBeFoundFailTheShiftAndTheImport) {
  Template t;
  auto* damaged = t.Add(new RawTag(2, 0));
  damaged->body = {1, 0, 0x41};
  auto* sprite = t.Add(Sprite(2, {1}));
  auto* place = t.Add(Place(2, 1));
  std::wstring error;
  EXPECT_FALSE(ShiftTagIdsAndDepths(t.tags, 10, 1, 0, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(damaged->body[0], 1);
  EXPECT_EQ(place->characterId, 2);
  EXPECT_EQ(place->depth, 1);
  AssetImporter importer;
  EXPECT_FALSE(importer.Import(sprite, t.tags));
  EXPECT_FALSE(importer.error.empty());
  std::vector<SwfTag*> target;
  importer.AppendTo(target, false);
  EXPECT_TRUE(target.empty());
  SwfTagIndex index;
  index.Build(t.tags);
  EXPECT_EQ(index.ImportDefinition(2, target), nullptr);
  EXPECT_FALSE(index.error.empty());
  EXPECT_TRUE(target.empty());

  // A sprite placing a character that the movie takes from another with ImportAssets.
  Template lent;
  auto* import = lent.Add(new ImportAssetsTag());
  import->url = L"library.swf";
  import->InsertAsset(new SwfAssetEntry(5, L"logo"), 0);
  lent.Add(BitmapShape(1, 0xFFFF));
  auto* placing = lent.Add(Sprite(2, {1, 5}));
  EXPECT_FALSE(importer.Import(placing, lent.tags));
  EXPECT_EQ(importer.error, L"Character 5 comes from another movie (\"library.swf\") and cannot be brought along");
  importer.AppendTo(target, true);
  EXPECT_EQ(Codes(target), "39:2") << "the sprite alone, nothing it gathered";
  // ... or a shape whose fill shows a bitmap taken from another movie.
  lent.Add(BitmapShape(3, 5));
  placing = lent.Add(Sprite(4, {3}));
  target.clear();
  EXPECT_FALSE(importer.Import(placing, lent.tags));
  EXPECT_EQ(importer.error, L"Character 5 comes from another movie (\"library.swf\") and cannot be brought along");
}

// What is brought along must be movable whole: a shape, morph shape, button or sprite kept as
// read hides the ids inside its body, so its import and its shift are refused; what is
// brought must define every character it refers to; an id that would pass 65534 (wrapping
// onto the receiving movie's ids, or turning into 65535, "no bitmap") refuses the shift of
// what was imported and of the whole movie. Nothing is moved then.
TEST(AssetImporter, IdsThatCannotBeMovedRefuseTheImportOrTheShift) {
  using Tags = std::vector<SwfTag*>;
  const struct {
    const char* name;
    std::function<Tags()> tags;  // the last one is imported: a sprite, or a button the index imports
    uint16_t delta;
    const wchar_t* error;
    bool importRefused;
    uint16_t fits = 0;  // a delta that takes the highest id onto 65534
    bool movieShifts = false;  // only the import is refused
  } cases[] = {
      {"a shape kept as read, filled with bitmap 5",
       [] { return Tags{WithId(new DefineBitsLosslessTag(), 5), Kept(BitmapShape(9, 5)), Sprite(10, {9})}; }, 1000,
       L"The ids of a tag of code 2 kept as read cannot be found", true},
      {"a morph shape kept as read, filled with bitmap 5",
       [] { return Tags{WithId(new DefineBitsLosslessTag(), 5), Kept(BitmapMorph(9, 5)), Sprite(10, {9})}; }, 1000,
       L"The ids of a tag of code 46 kept as read cannot be found", true},
      {"a button kept as read",
       [] { return Tags{BitmapShape(1, 0xFFFF), Kept(WithId(new DefineButton2Tag(), 9)), Sprite(10, {9})}; }, 1000,
       L"The ids of a tag of code 34 kept as read cannot be found", true},
      {"a sprite placing a DefineButton2 kept raw",
       [] { return Tags{BitmapShape(1, 0xFFFF), Raw(34, "02 00 00 00 00 0F 01 00 01 00"), Sprite(3, {2})}; }, 1000,
       L"The ids of a tag of code 34 kept as read cannot be found", true},
      {"a button showing a DefineButton2 kept raw",
       [] { return Tags{BitmapShape(1, 0xFFFF), Raw(34, "02 00 00 00 00 0F 01 00 01 00"), ButtonShowing(4, 2)}; },
       1000, L"The ids of a tag of code 34 kept as read cannot be found", true},
      {"a button showing a sprite kept raw",
       [] { return Tags{BitmapShape(1, 0xFFFF), Raw(39, "03 00 01"), ButtonShowing(4, 3)}; }, 1000,
       L"The ids of a tag of code 39 kept as read cannot be found", true},
      {"ten buttons, each showing the one before", [] { return ButtonChain(11); }, 1000,
       L"Character 2 is nested too deeply (more than 8 buttons and sprites) to be brought with what it shows", true,
       0, true},
      {"a sprite placing nine such buttons",
       [] {
         Tags tags = ButtonChain(10);
         tags.push_back(Sprite(11, {10}));
         return tags;
       },
       1000, L"Character 2 is nested too deeply (more than 8 buttons and sprites) to be brought with what it shows",
       true, 0, true},
      {"a sprite holding the DoInitAction of another",
       [] {
         auto* init = new DoInitActionTag();
         init->spriteId = 1;
         auto* sprite = Sprite(3, {});
         sprite->tags.emplace(sprite->tags.begin(), init);
         return Tags{Sprite(1, {}), sprite};
       },
       1000, L"Character 3 refers to character 1, which is not brought along", true, 0, true},
      {"a text whose font is a shape",
       [] { return Tags{new DefineFont2Tag(L"Sans", 1, kFontHasLayout), BitmapShape(3, 0xFFFF), TextNaming(2, 3)}; },
       1000, L"Character 2 refers to character 3, which is not brought along", true, 0, true},
      {"a text whose font the movie does not define",
       [] { return Tags{TextNaming(2, 3)}; }, 1000,
       L"Character 2 refers to character 3, which the movie does not define", true, 0, true},
      {"a sprite placing a text (its font, alignment zones and text settings) and a lent character",
       [] {
         auto* lent = new ImportAssetsTag();
         lent->url = L"library.swf";
         lent->InsertAsset(new SwfAssetEntry(5, L"logo"), 0);
         return Tags{lent, new DefineFont2Tag(L"Sans", 1, kFontHasLayout), Raw(73, "01 00 40"), TextNaming(2, 1),
                     Raw(74, "02 00 00"), Sprite(4, {2, 5})};
       },
       1000, L"Character 5 comes from another movie (\"library.swf\") and cannot be brought along", true, 0, true},
      {"an edit text whose font is a shape",
       [] {
         auto* edit = WithId(new DefineEditTextTag(), 2);
         edit->flags |= kEditHasFont, edit->fontId = 3;
         return Tags{new DefineFont2Tag(L"Sans", 1, kFontHasLayout), BitmapShape(3, 0xFFFF), edit};
       },
       1000, L"Character 2 refers to character 3, which is not brought along", true, 0, true},
      {"a button showing a shape kept as read",
       [] { return Tags{Kept(BitmapShape(1, 0xFFFF)), ButtonShowing(9, 1)}; }, 1000,
       L"The ids of a tag of code 2 kept as read cannot be found", true},
      // A sprite a button shows comes whole, or the button is refused with the sprite's reason.
      {"a button showing a sprite that places a shape kept as read",
       [] { return Tags{Kept(BitmapShape(1, 0xFFFF)), Sprite(2, {1}), ButtonShowing(3, 2)}; }, 1000,
       L"The ids of a tag of code 2 kept as read cannot be found", true},
      {"a DefineButton showing that sprite",
       [] { return Tags{Kept(BitmapShape(1, 0xFFFF)), Sprite(2, {1}), ButtonShowing<DefineButtonTag>(3, 2)}; }, 1000,
       L"The ids of a tag of code 2 kept as read cannot be found", true},
      {"a button showing that button",
       [] { return Tags{Kept(BitmapShape(1, 0xFFFF)), Sprite(2, {1}), ButtonShowing(3, 2), ButtonShowing(4, 3)}; },
       1000, L"The ids of a tag of code 2 kept as read cannot be found", true},
      {"a sprite placing that button",
       [] { return Tags{Kept(BitmapShape(1, 0xFFFF)), Sprite(2, {1}), ButtonShowing(3, 2), Sprite(4, {3})}; }, 1000,
       L"The ids of a tag of code 2 kept as read cannot be found", true},
      {"a button showing a sprite that places a shape filled with a lent bitmap",
       [] {
         auto* lent = new ImportAssetsTag();
         lent->url = L"library.swf";
         lent->InsertAsset(new SwfAssetEntry(5, L"logo"), 0);
         return Tags{lent, BitmapShape(1, 5), Sprite(2, {1}), ButtonShowing(3, 2)};
       },
       1000, L"Character 5 comes from another movie (\"library.swf\") and cannot be brought along", true, 0, true},
      {"shape 65533 placed by sprite 65534, into a movie of three characters",
       [] { return Tags{BitmapShape(65533, 0xFFFF), Sprite(65534, {65533})}; }, 4,
       L"Character 65533 cannot move by 4: ids end at 65534", false},
      {"a fill's bitmap moved onto 65535",
       [] { return Tags{WithId(new DefineBitsLosslessTag(), 64535), BitmapShape(2, 64535), Sprite(3, {2})}; }, 1000,
       L"Character 64535 cannot move by 1000: ids end at 65534", false, 999},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Template t;
    for (SwfTag* tag : c.tags()) t.Add(tag);
    auto* sprite = dynamic_cast<DefineSpriteTag*>(t.tags.back());
    const std::string before = WrittenTags(t.tags);
    std::wstring error;
    if (!c.movieShifts) {
      EXPECT_FALSE(ShiftTagIdsAndDepths(t.tags, c.delta, 1, 0, &error)) << "the whole movie";
      EXPECT_EQ(error, c.error);
    }
    AssetImporter importer;
    SwfTagIndex index;
    index.Build(t.tags);
    Tags imported, indexed;
    if (sprite) {
      EXPECT_EQ(importer.Import(sprite, t.tags), !c.importRefused);
      importer.AppendTo(imported, true);
    }
    const auto id = static_cast<uint16_t>(DefinedCharacterId(t.tags.back()));
    EXPECT_EQ(index.ImportDefinition(id, indexed) != nullptr, !c.importRefused);
    const std::wstring indexError = index.error;
    // Into a movie that holds characters 1 to 3 of its own: they are other characters, which
    // the import's references, once shifted past them, would miss.
    Template receiving;
    for (uint16_t own = 1; own <= 3; ++own) receiving.Add(BitmapShape(own, 0xFFFF));
    Tags into = receiving.tags;
    EXPECT_EQ(index.ImportDefinition(id, into) != nullptr, !c.importRefused) << "into a movie of its own";
    if (c.importRefused) {
      EXPECT_EQ(importer.error, sprite ? c.error : L"");
      EXPECT_EQ(indexError, c.error);
      EXPECT_EQ(index.error, c.error);
      EXPECT_EQ(into, receiving.tags);
      // The sprite alone: a refusal leaves nothing it gathered (fonts and annotations neither).
      if (sprite) {
        EXPECT_EQ(imported, Tags{sprite});
      }
    } else {
      for (const Tags* gathered : {&imported, &indexed}) {
        EXPECT_FALSE(ShiftTagIdsAndDepths(*gathered, c.delta, 0, 0, &error));
        EXPECT_EQ(error, c.error);
      }
    }
    EXPECT_EQ(WrittenTags(t.tags), before) << "nothing moved";
    if (c.fits != 0) {
      ASSERT_TRUE(ShiftTagIdsAndDepths(imported, c.fits, 0, 0));
      uint16_t maxId = 0, maxDepth = 0;
      GetMaxIdAndDepth(t.tags, maxId, maxDepth);
      EXPECT_EQ(maxId, 65534);
    }
  }
}
