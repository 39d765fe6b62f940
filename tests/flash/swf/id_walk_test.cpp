// A movie the importer or the id shift writes never refers to a character it lacks. A walker
// of its own lists every id each tag defines and every id it refers to (from the classes'
// fields, and from the bytes of tags kept raw where their layout puts them); over the corpus,
// every sprite imported with what it needs, and every whole movie shifted, leave no reference
// dangling or pointing at another character.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "SwfTestSupport.h"
#include "flash/swf/AssetImporter.h"
#include "flash/swf/ButtonTags.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineMorphShapeTag.h"
#include "flash/swf/DefineShapeTag.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagIndex.h"
#include "flash/swf/TextTags.h"
#include "flash/swf/VideoTags.h"
#include "support/TestSupport.h"

namespace {

struct Ids {
  std::map<uint16_t, const SwfTag*> defined;
  struct Use {
    const SwfTag* tag;
    uint16_t id;
  };
  std::vector<Use> used;
};

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return at + 1 < b.size() ? b[at] | b[at + 1] << 8 : 0; }

bool DefinesAtStart(uint16_t code) {
  switch (code) {
    case 2: case 6: case 7: case 10: case 11: case 14: case 20: case 21: case 22: case 32: case 33: case 34: case 35:
    case 36: case 37: case 39: case 46: case 48: case 60: case 75: case 83: case 84: case 87: case 90: case 91:
      return true;
    default:
      return false;
  }
}

void WalkRaw(const RawTag& t, Ids& ids) {
  const auto& b = t.body;
  auto use = [&](size_t at) {
    if (at + 1 < b.size()) ids.used.push_back({&t, U16(b, at)});
  };
  switch (t.code) {
    case 4: case 5: case 13: case 15: case 23: case 59: case 61: case 62: case 73: case 74: case 78: case 88: use(0); break;
    case 26:
      if (!b.empty() && (b[0] & 0x02)) use(3);
      break;
    case 70: {
      if (b.size() < 4 || !(b[0] & 0x02)) break;
      size_t at = 4;
      if (b[1] & 0x08) {
        while (at < b.size() && b[at] != 0) ++at;
        ++at;
      }
      use(at);
      break;
    }
    case 71: {  // ImportAssets2 defines the ids it takes from another movie
      size_t at = 0;
      while (at < b.size() && b[at] != 0) ++at;
      at += 3;  // the URL's 0, two reserved bytes
      const uint16_t n = U16(b, at);
      at += 2;
      for (uint16_t i = 0; i < n && at + 1 < b.size(); ++i) {
        ids.defined.emplace(U16(b, at), &t);
        at += 2;
        while (at < b.size() && b[at] != 0) ++at;
        ++at;
      }
      break;
    }
    case 56: case 76: {
      size_t at = 2;
      for (uint16_t i = 0; i < U16(b, 0) && at + 1 < b.size(); ++i) {
        if (U16(b, at) != 0) use(at);
        at += 2;
        while (at < b.size() && b[at] != 0) ++at;
        ++at;
      }
      break;
    }
    default:
      if (DefinesAtStart(t.code) && b.size() >= 2) ids.defined.emplace(U16(b, 0), &t);
      break;
  }
}

template <class Array>
void UseBitmaps(const SwfTag* t, const Array* styles, Ids& ids) {
  if (!styles) return;
  for (auto& s : styles->styles)
    if (s->fillType >= 0x40 && s->fillType <= 0x43 && s->bitmapId != 0xFFFF) ids.used.push_back({t, s->bitmapId});
}

void UseShape(const SwfTag* t, const SwfShape* shape, Ids& ids) {
  if (!shape) return;
  for (auto& r : shape->records)
    if (auto* c = dynamic_cast<const SwfStyleChangeRecord*>(r.get())) UseBitmaps(t, c->newFillStyles.get(), ids);
}

void Walk(const SwfTag* t, Ids& ids) {
  if (auto* raw = dynamic_cast<const RawTag*>(t)) return WalkRaw(*raw, ids);
  const uint16_t code = t->GetTagCode();
  auto use = [&](uint16_t id) { ids.used.push_back({t, id}); };
  if (DefinesAtStart(code)) {
    const int32_t id = DefinedCharacterId(t);
    if (id >= 0) ids.defined.emplace(static_cast<uint16_t>(id), t);
  }
  if (auto* s = dynamic_cast<const DefineShapeTag*>(t); s && s->shape && !s->keptAsRead) {
    UseBitmaps(t, s->shape->fillStyles.get(), ids);
    UseShape(t, s->shape.get(), ids);
  } else if (auto* m = dynamic_cast<const DefineMorphShapeTag*>(t); m && !m->keptAsRead) {
    UseBitmaps(t, m->fillStyles.get(), ids);
  } else if (auto* b = dynamic_cast<const DefineButtonTag*>(t)) {
    for (auto& r : b->records) use(r->characterId);
  } else if (auto* x = dynamic_cast<const DefineTextTag*>(t)) {
    for (auto& r : x->records)
      if (auto* style = dynamic_cast<const SwfTextRecord*>(r.get()); style && (style->leadByte & kTextHasFont))
        use(style->fontId);
  } else if (auto* e = dynamic_cast<const DefineEditTextTag*>(t)) {
    if (e->flags & kEditHasFont) use(e->fontId);
  } else if (auto* p2 = dynamic_cast<const PlaceObject2Tag*>(t)) {
    if (p2->hasCharacter) use(p2->characterId);
  } else if (auto* p = dynamic_cast<const PlaceObjectTag*>(t)) {
    use(p->characterId);
  } else if (auto* ss = dynamic_cast<const StartSoundTag*>(t)) {
    use(ss->soundId);
  } else if (auto* v = dynamic_cast<const VideoFrameTag*>(t)) {
    use(v->streamId);
  } else if (auto* fi = dynamic_cast<const DefineFontInfoTag*>(t)) {
    use(fi->fontId);
  } else if (auto* bs = dynamic_cast<const DefineButtonSoundTag*>(t)) {
    use(bs->characterId);
    for (uint16_t id : bs->soundIds)
      if (id != 0) use(id);
  } else if (auto* bc = dynamic_cast<const DefineButtonCxformTag*>(t)) {
    use(bc->characterId);
  } else if (auto* init = dynamic_cast<const DoInitActionTag*>(t)) {
    use(init->spriteId);
  } else if (auto* ex = dynamic_cast<const ExportAssetsTag*>(t); ex && code == 56) {
    for (auto& a : ex->assets) use(a->characterId);
  } else if (auto* im = dynamic_cast<const ImportAssetsTag*>(t)) {
    for (auto& a : im->assets) ids.defined.emplace(a->characterId, t);
  } else if (auto* sprite = dynamic_cast<const DefineSpriteTag*>(t)) {
    for (auto& n : sprite->tags) Walk(n.get(), ids);
  }
}

Ids WalkList(const std::vector<SwfTag*>& tags) {
  Ids ids;
  for (SwfTag* t : tags) Walk(t, ids);
  return ids;
}

std::string WrittenTags(const std::vector<SwfTag*>& tags) {
  std::string out;
  for (SwfTag* t : tags) {
    const swftest::Bytes b = swftest::Written(*t, 10);
    out.append(b.begin(), b.end());
  }
  return out;
}

std::vector<std::filesystem::path> CorpusMovies() {
  std::vector<std::filesystem::path> movies;
  for (const auto& e : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) movies.push_back(e.path());
  for (const auto& e : std::filesystem::directory_iterator(testsupport::CorpusDir() / "avm1"))
    if (std::filesystem::exists(e.path() / "test.swf")) movies.push_back(e.path() / "test.swf");
  std::sort(movies.begin(), movies.end());
  return movies;
}

TEST(IdWalk, ImportsAndShiftsLeaveNoReferenceDangling) {
  SKIP_WITHOUT_CORPUS();
  int refusedImports = 0;
  int movies = 0, imports = 0, danglingImports = 0, danglingRefs = 0, shifts = 0, brokenShifts = 0, brokenRefs = 0,
      refusedShifts = 0, lowMaxId = 0;
  for (const auto& path : CorpusMovies()) {
    SwfReader r;
    if (!r.ReadAllTagsFromMemory(swftest::PathOf(path), true, 0, true)) continue;
    ++movies;
    const std::string name = path.parent_path().filename().string() + "/" + path.filename().string();
    const Ids whole = WalkList(r.tags);

    uint16_t maxId = 0, maxDepth = 0;
    GetMaxIdAndDepth(r.tags, maxId, maxDepth);
    if (!whole.defined.empty() && maxId < whole.defined.rbegin()->first) {
      ++lowMaxId;
      ADD_FAILURE() << name << ": highest id " << maxId << " below the defined " << whole.defined.rbegin()->first;
    }

    // Every sprite imported with what it needs: each reference of the imported tags is defined
    // among them.
    for (SwfTag* t : r.tags) {
      auto* sprite = dynamic_cast<DefineSpriteTag*>(t);
      if (!sprite) continue;
      ++imports;
      AssetImporter importer;
      std::vector<SwfTag*> target;
      if (!importer.Import(sprite, r.tags)) {
        // Refused, with its reason: nothing is brought.
        ++refusedImports;
        EXPECT_FALSE(importer.error.empty());
        EXPECT_TRUE(importer.definitions.empty() && importer.sprites.empty());
        std::printf("%s: import of sprite %d refused: %ls\n", name.c_str(), sprite->characterId, importer.error.c_str());
        continue;
      }
      importer.AppendTo(target, true);
      const Ids got = WalkList(target);
      int missing = 0;
      for (const auto& u : got.used)
        if (!got.defined.count(u.id) && whole.defined.count(u.id)) ++missing;
      if (missing > 0) {
        ++danglingImports;
        danglingRefs += missing;
        ADD_FAILURE() << name << ": sprite " << sprite->characterId << " imported without " << missing
                      << " character(s) it refers to";
      }
    }

    // The whole movie shifted: every reference still names the tag it named.
    ++shifts;
    std::vector<const SwfTag*> before;
    for (const auto& u : whole.used) {
      auto it = whole.defined.find(u.id);
      before.push_back(it == whole.defined.end() ? nullptr : it->second);
    }
    std::wstring error;
    const std::string bytesBefore = WrittenTags(r.tags);
    if (!ShiftTagIdsAndDepths(r.tags, 1000, 0, 0, &error)) {
      ++refusedShifts;
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(WrittenTags(r.tags), bytesBefore) << name << ": a refused shift changes nothing";
      std::printf("%s: shift refused: %ls\n", name.c_str(), error.c_str());
    }
    const Ids after = WalkList(r.tags);
    int broken = 0;
    for (size_t i = 0; i < after.used.size() && i < before.size(); ++i) {
      if (!before[i]) continue;
      auto it = after.defined.find(after.used[i].id);
      if (it == after.defined.end() || it->second != before[i]) ++broken;
    }
    if (broken > 0) {
      ++brokenShifts;
      brokenRefs += broken;
      ADD_FAILURE() << name << ": the shift broke " << broken << " reference(s)";
    }
    r.ClearTags(true);
  }
  std::printf("movies %d; sprite imports %d, refused %d, with dangling references %d (%d references); shifts %d, "
              "refused %d, broken %d (%d references); highest id below a defined one %d\n",
              movies, imports, refusedImports, danglingImports, danglingRefs, shifts, refusedShifts, brokenShifts,
              brokenRefs, lowMaxId);
  EXPECT_GT(movies, 80);
}

}  // namespace
