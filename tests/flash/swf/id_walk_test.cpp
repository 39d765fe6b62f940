// A movie the importer or the id shift writes never refers to a character it lacks. Every id
// each tag defines and every id it refers to, as the tag visits them (from the classes'
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
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagIndex.h"
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

// What the tag defines and refers to, as it visits its ids: the list the shift moves and the
// importer gathers by.
void Walk(const SwfTag* t, Ids& ids) {
  const SwfTagIds tagIds = IdsOf(*t);
  for (uint16_t id : tagIds.defined) ids.defined.emplace(id, t);
  for (uint16_t id : tagIds.referred) ids.used.push_back({t, id});
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
