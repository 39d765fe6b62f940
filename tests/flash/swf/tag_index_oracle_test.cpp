// Judged by python3: for every definition of every corpus movie, the tag index gathers the
// same tags as tag_dependencies.py, a walker of the published tag layouts that follows the
// same tag codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "SwfTestSupport.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SwfTagIndex.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

std::string Name(const SwfTag* t) {
  const uint16_t code = t->GetTagCode();
  if (auto* info = dynamic_cast<const DefineFontInfoTag*>(t)) return std::to_string(code) + ":" + std::to_string(info->fontId);
  if (DefinedCharacterId(t) < 0) return std::to_string(code);
  return std::to_string(code) + ":" + std::to_string(DefinedCharacterId(t));
}

}  // namespace

TEST(TagIndexOracle, DependenciesOfEveryCorpusDefinition) {
  SKIP_WITHOUT_CORPUS();
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  std::vector<std::filesystem::path> movies;
  for (auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) movies.push_back(entry.path());
  std::sort(movies.begin(), movies.end());
  std::ostringstream ours;
  std::string paths;
  for (auto& path : movies) {
    SwfReader r;
    if (!r.ReadAllTagsFromMemory(PathOf(path), true, 0, true)) continue;  // LZMA movies are not read
    paths += " '" + path.string() + "'";
    SwfTagIndex index;
    index.Build(r.tags);
    std::set<int32_t> done;
    for (SwfTag* d : index.definitions) {
      const int32_t id = DefinedCharacterId(d);
      if (!done.insert(id).second) continue;
      std::vector<SwfTag*> target;
      index.ImportDefinition(static_cast<uint16_t>(id), target);
      std::vector<std::string> names;
      for (SwfTag* t : target) names.push_back(Name(t));
      std::sort(names.begin(), names.end());
      ours << path.filename().string() << " " << id << ":";
      for (auto& n : names) ours << " " << n;
      ours << "\n";
    }
    r.ClearTags(true);
  }
  const auto script = testsupport::SourceDir() / "tests/flash/swf/tag_dependencies.py";
  const std::string theirs = testsupport::Run("python3 '" + script.string() + "'" + paths + " 2>&1");
  EXPECT_EQ(ours.str(), theirs);
  EXPECT_GT(std::count(theirs.begin(), theirs.end(), '\n'), 50);
}
