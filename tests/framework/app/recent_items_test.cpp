#include "framework/app/RecentItems.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"
#include "toolbox/Controls.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

std::vector<std::wstring> Texts(const Menu& menu) {
  std::vector<std::wstring> texts;
  for (std::uint16_t i = 1; i <= menu.Count(); ++i) {
    MenuItemInfo item;
    GetMenuItem(menu.Get(), i, &item);
    texts.push_back(item.text);
  }
  return texts;
}

TEST(MenuTest, IndexesAndCommandsPickTheDocumentedItems) {
  ResetMenuModel();
  Menu menu;
  ASSERT_TRUE(menu.Create(200, L"Fichier \u00e9\u4e2d\U0001F600"));
  EXPECT_EQ(GetMenuTitle(menu.Get()), L"Fichier \u00e9\u4e2d\U0001F600");  // no 8-bit step
  menu.AppendItem(FourCC("open"), L"Open", kMenuShiftModifier, U'O');
  menu.AddSeparator();
  menu.AppendItem(FourCC("save"), L"Save");
  menu.AppendItem(FourCC("save"), L"Save again");
  ASSERT_EQ(menu.Count(), 4);

  MenuItemInfo item;
  GetMenuItem(menu.Get(), 1, &item);
  EXPECT_EQ(item.modifiers, kMenuShiftModifier);
  EXPECT_EQ(item.key, U'O');
  GetMenuItem(menu.Get(), 2, &item);
  EXPECT_EQ(item.attributes, kMenuItemAttrSeparator);

  EXPECT_TRUE(menu.CheckItem(1, true, true));  // by index: 1 is the first item
  GetMenuItem(menu.Get(), 1, &item);
  EXPECT_TRUE(item.checked);
  EXPECT_TRUE(menu.EnableItem(FourCC("save"), false, false));  // every item with the command
  GetMenuItem(menu.Get(), 3, &item);
  EXPECT_FALSE(item.enabled);
  GetMenuItem(menu.Get(), 4, &item);
  EXPECT_FALSE(item.enabled);
  EXPECT_FALSE(menu.CheckItem(FourCC("nope"), false, true));

  SetMenuBar({menu.Get()});
  EXPECT_EQ(EnableMenuCommand(MenuRef{}, FourCC("save"), true), kNoErr);  // application-wide
  GetMenuItem(menu.Get(), 4, &item);
  EXPECT_TRUE(item.enabled);
  EXPECT_TRUE(menu.DeleteItem(0, true));  // by index: 0 is the first item
  EXPECT_EQ(Texts(menu), (std::vector<std::wstring>{L"", L"Save", L"Save again"}));
  EXPECT_TRUE(menu.DeleteItem(FourCC("save"), false));  // the first with the command
  EXPECT_EQ(Texts(menu), (std::vector<std::wstring>{L"", L"Save again"}));
  EXPECT_TRUE(menu.RemoveAll());
  EXPECT_EQ(menu.Count(), 0);

  Menu empty;
  EXPECT_FALSE(empty.IsAttached());
  EXPECT_FALSE(empty.EnableItem(FourCC("save"), false, true));
  empty.Attach(menu.Get());
  EXPECT_TRUE(empty.IsAttached());
}

class RecentItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMenuModel();
    setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
  // An existing file of the scratch folder.
  PathString File(const std::string& name) {
    testsupport::WriteFile(dir_ / name, "x");
    return PathString(Utf8ToWide((dir_ / name).string()));
  }
  std::vector<std::wstring> Entries(const RecentItems& list) {
    std::vector<std::wstring> out;
    for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(*list.ItemAt(i));
    return out;
  }

  testsupport::ScratchDir dir_;
};

TEST_F(RecentItemsTest, AddMovesExactDuplicatesAndShowsTheMaximum) {
  Menu parent;
  parent.Create(100, L"File");
  parent.AppendItem(FourCC("rcnt"), L"Open Recent");
  RecentItems list;
  ASSERT_TRUE(list.AttachAsSubmenu(parent.Get(), 0, 3000, 5000));
  const PathString a = File("a"), b = File("b"), upper = File("B");
  list.Add(a, false);
  list.Add(b, false);
  list.Add(upper, false);  // another file on Linux: both stay
  list.Add(b, true);
  EXPECT_EQ(Entries(list), (std::vector<std::wstring>{b, upper, a}));
  for (int i = 0; i < 4; ++i) list.Add(File("n" + std::to_string(i)), false);
  list.RebuildMenu();
  EXPECT_EQ(list.Count(), 7u);  // the list in memory is not trimmed
  ASSERT_EQ(list.Submenu()->Count(), 5);
  EXPECT_EQ(*list.ItemForCommand(5004), *list.ItemAt(4));
  EXPECT_EQ(list.ItemForCommand(5005), nullptr);
  EXPECT_EQ(list.ItemForCommand(4999), nullptr);
  EXPECT_EQ(GetMenuItemHierarchicalMenu(parent.Get(), 1), list.Submenu()->Get());
}

// An empty list shows one disabled line with its empty text (never an empty submenu), which
// stands for no entry; the first entry takes its place.
TEST_F(RecentItemsTest, EmptyListShowsOneDisabledLineSayingSo) {
  struct Case {
    std::wstring emptyText;
    int entries;
    std::vector<std::pair<std::wstring, bool>> items;  // text, enabled
  };
  const PathString a = File("a");
  const Case cases[] = {
      {L"No Recent Projects", 0, {{L"No Recent Projects", false}}},
      {L"No Recent Projects", 1, {{a, true}}},
      {L"", 0, {}},
  };
  for (const Case& c : cases) {
    Menu parent;
    parent.Create(100, L"File");
    parent.AppendItem(FourCC("rcnt"), L"Open Recent");
    RecentItems list;
    ASSERT_TRUE(list.AttachAsSubmenu(parent.Get(), 0, 3000, 5000));
    list.SetEmptyText(c.emptyText);
    if (c.entries) list.Add(a, false);
    list.RebuildMenu();
    std::vector<std::pair<std::wstring, bool>> items;
    for (std::uint16_t i = 1; i <= list.Submenu()->Count(); ++i) {
      MenuItemInfo info;
      GetMenuItem(list.Submenu()->Get(), i, &info);
      items.push_back({info.text, info.enabled});
    }
    EXPECT_EQ(items, c.items) << c.entries;
    EXPECT_EQ(list.ItemForCommand(5000) != nullptr, c.entries > 0);
    EXPECT_EQ(list.ItemForCommand(0), nullptr);
  }
}

TEST_F(RecentItemsTest, SaveAndLoadKeepTheOrderAndTheRules) {
  RecentItems list;
  std::vector<PathString> files;
  for (int i = 0; i < 6; ++i) files.push_back(File("f" + std::to_string(i)));
  // A path of 300 characters and one with characters outside the BMP.
  const auto deep = dir_.path() / std::string(100, 'D') / std::string(200, 'L');
  std::filesystem::create_directories(deep.parent_path());
  testsupport::WriteFile(deep, "x");
  files.push_back(PathString(Utf8ToWide(deep.string())));
  ASSERT_GE(files.back().size(), 300u);
  files.push_back(File("\xF0\x9F\x98\x80 song.mp3"));
  for (const PathString& f : files) list.Add(f, false);

  Preferences store;
  ASSERT_TRUE(store.Open(L"recent-test", kPrefsCurrentUser));
  list.Save(store, L"recent");
  std::wstring s;
  ASSERT_TRUE(store.GetString(L"recent_1", s));
  EXPECT_EQ(s, files[3]);  // key 1: the least recent of the five saved
  EXPECT_FALSE(store.GetString(L"recent_6", s));
  ASSERT_TRUE(store.Close());

  Preferences reread;
  ASSERT_TRUE(reread.Open(L"recent-test", kPrefsCurrentUser));
  RecentItems loaded;
  loaded.Load(reread, L"recent");
  EXPECT_EQ(Entries(loaded), (std::vector<std::wstring>(files.rbegin(), files.rbegin() + 5)));

  // Keys 1 to 7 with maximum 5: keys 1 to 5. A missing key 3 ends loading after key 2, and
  // a missing file is skipped.
  reread.SetString(L"recent_6", files[0]);
  reread.SetString(L"recent_7", files[1]);
  RecentItems five;
  five.Load(reread, L"recent");
  EXPECT_EQ(five.Count(), 5u);
  reread.SetString(L"recent_1", Utf8ToWide(dir_.str() + "/missing"));
  reread.Remove(L"recent_3");
  RecentItems one;
  one.Load(reread, L"recent");
  EXPECT_EQ(Entries(one), (std::vector<std::wstring>{files[4]}));
}

TEST_F(RecentItemsTest, CopyKeepsOrderAndMaximum) {
  RecentItems source, target;
  source.SetMax(3, false);
  source.Add(File("x"), false);
  source.Add(File("y"), false);
  target.Add(File("z"), false);
  target.CopyFrom(source);
  EXPECT_EQ(target.Max(), 3u);
  EXPECT_EQ(Entries(target), Entries(source));
  target.ClearList();
  EXPECT_EQ(target.Max(), 5u);
  EXPECT_EQ(target.Count(), 0u);
}

}  // namespace
