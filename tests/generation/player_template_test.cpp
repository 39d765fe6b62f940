// Player templates: variables, measuring and the library over a template reader.
#include <map>
#include <memory>

#include "framework/platform/WideText.h"
#include "generation/PlayerTemplate.h"
#include "support/TestSupport.h"

namespace {

// Reads "templates" from a table keyed by file name instead of SWF movies.
class TableReader : public PlayerTemplateReader {
 public:
  std::map<std::wstring, PlayerTemplateInfo> movies;
  bool ReadTemplate(const PathString& path, PlayerTemplateInfo& info) override {
    const std::wstring name = path.substr(path.rfind(L'/') + 1);
    auto it = movies.find(name);
    if (it == movies.end()) return false;
    info = it->second;
    return true;
  }
};

PlayerTemplateInfo Info(int32_t w, int32_t h, std::vector<PlayerVariable> vars) {
  PlayerTemplateInfo info;
  info.width_twips = w;
  info.height_twips = h;
  info.first_frame_variables = std::move(vars);
  return info;
}

TEST(PlayerTemplate, VariablesAndFixedSidesComeFromTheFirstFrame) {
  PlayerTemplate t(L"Skin", L"/p/Skin.swf",
                   Info(4000, 600, {{L"format", L"audio"},
                                    {L"ztaVarColor", L"red"},
                                    {L"fixed_height", L"TRUE"},
                                    {L"ztaVarSize", L"3"},
                                    {L"ztaVarColor", L"blue"}}));
  ASSERT_EQ(t.Variables().size(), 2u);
  EXPECT_EQ(t.Variables()[0], (PlayerVariable{L"ztaVarColor", L"red"}));
  EXPECT_FALSE(t.FixesWidth());
  EXPECT_TRUE(t.FixesHeight());
  EXPECT_TRUE(t.SetVariable(L"ztaVarSize", L"5"));
  EXPECT_FALSE(t.SetVariable(L"format", L"video"));
  EXPECT_FALSE(t.SetVariable(L"ztavarsize", L"6"));
  std::unique_ptr<PlayerTemplate> copy(t.Clone());
  EXPECT_EQ(*copy->GetVariable(L"ztaVarSize"), L"5");
  t.SetVariable(L"ztaVarSize", L"7");
  EXPECT_EQ(*copy->GetVariable(L"ztaVarSize"), L"5");
}

TEST(PlayerTemplate, MeasureKeepsFixedSidesAndTakesFreeOnes) {
  struct Case {
    const wchar_t* fw;
    const wchar_t* fh;
    int32_t w, h;
  } cases[] = {{L"false", L"false", 6400, 4800},
               {L"1", L"false", 4000, 4800},
               {L"0", L"true", 6400, 600},
               {L"true", L"1", 4000, 600}};
  for (const Case& c : cases) {
    PlayerTemplate t(L"T", L"", Info(4000, 600, {{L"fixed_width", c.fw}, {L"fixed_height", c.fh}}));
    int32_t w = 0, h = 0;
    t.MeasurePlayer(6400, 4800, w, h);
    EXPECT_EQ(w, c.w) << c.fw << c.fh;
    EXPECT_EQ(h, c.h) << c.fw << c.fh;
  }
}

TEST(PlayerTemplateLibrary, LoadsTheSwfFilesTheReaderReads) {
  testsupport::ScratchDir dir;
  for (const char* f : {"b.swf", "a.SWF", "bad.swf", "notes.txt"}) testsupport::WriteFile(dir / f, "x");
  TableReader reader;
  reader.movies[L"a.SWF"] = Info(100, 200, {});
  reader.movies[L"b.swf"] = Info(300, 400, {{L"ztaVarX", L"1"}});
  reader.movies[L"notes.txt"] = Info(1, 1, {});
  PlayerTemplateLibrary library(5);
  EXPECT_EQ(library.LoadFolder(FromNativeString(dir.str()), reader), 2);
  ASSERT_EQ(library.Templates().size(), 2u);
  PlayerTemplate* b = PlayerTemplateLibrary::FindByName(&library, L"b", false);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetSwfWidth(), 300);
  std::unique_ptr<PlayerTemplate> copy(PlayerTemplateLibrary::FindByName(&library, L"b", true));
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), b);
  EXPECT_EQ(PlayerTemplateLibrary::FindByName(&library, L"B", false), nullptr);
  EXPECT_EQ(PlayerTemplateLibrary::FindByName(nullptr, L"b", false), nullptr);
  PlayerTemplateLibrary empty(6);
  EXPECT_EQ(empty.LoadFolder(L"/nonexistent/Players", reader), 0);
}

TEST(PlayerTemplateLibrary, RegistryIdsAreUnique) {
  PlayerTemplateLibrary::DeleteAll();
  EXPECT_EQ(PlayerTemplateLibrary::Find(0), nullptr);
  PlayerTemplateLibrary* zero = PlayerTemplateLibrary::Create(0);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(PlayerTemplateLibrary::Create(0), nullptr);
  EXPECT_EQ(PlayerTemplateLibrary::Find(0), zero);
  PlayerTemplateLibrary::DeleteAll();
  EXPECT_EQ(PlayerTemplateLibrary::Find(0), nullptr);
}

}  // namespace
