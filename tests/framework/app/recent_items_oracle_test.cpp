// A recent list saved shorter than before leaves no numbered key behind, as python3's
// xml.etree reads the preferences file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TestSupport.h"
#include "framework/app/RecentItems.h"
#include "toolbox/Utf8.h"

namespace {

TEST(RecentItemsOracleTest, ClearedListLeavesOnlyItsMaximum) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  setenv("XDG_CONFIG_HOME", dir.str().c_str(), 1);
  RecentItems list;
  for (int i = 0; i < 5; ++i) {
    testsupport::WriteFile(dir / ("f" + std::to_string(i)), "x");
    list.Add(PathString(toolbox::Utf8ToWide((dir / ("f" + std::to_string(i))).string())), false);
  }
  for (int round = 0; round < 2; ++round) {
    Preferences store;
    ASSERT_TRUE(store.Open(L"brivane-recent", kPrefsCurrentUser));
    list.Save(store, L"recent");
    ASSERT_TRUE(store.Close());
    list.ClearList();
  }
  const std::string keys = testsupport::Python(
      "import xml.etree.ElementTree as E\n"
      "r = E.parse('" + dir.str() + "/brivane-recent.xml').getroot()\n"
      "print(r.tag, sorted((e.tag, e.get('key'), e.text) for e in r))\n");
  EXPECT_EQ(keys, "preferences [('integer', 'recent_max', '5')]\n");

  Preferences store;
  ASSERT_TRUE(store.Open(L"brivane-recent", kPrefsCurrentUser));
  RecentItems loaded;
  loaded.Load(store, L"recent");
  EXPECT_EQ(loaded.Count(), 0u);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
