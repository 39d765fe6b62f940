#include "framework/app/Help.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "framework/platform/PathLayer.h"
#include "framework/platform/SystemServices.h"
#include "framework/app/AppIcons.h"
#include "support/ResourceFile.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Launch.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

namespace fs = std::filesystem;

PathString W(const fs::path& p) { return PathString(Utf8ToWide(p.string())); }

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "res" / "help");
    testsupport::WriteFile(dir_ / "res" / "help" / "index.html", "start");
    testsupport::WriteFile(dir_ / "res" / "help" / "export.html", "page");
    SetResourcesFolder((dir_ / "res").string());
    LaunchRequests().clear();
  }
  void TearDown() override {
    SetResourcesFolder("");
    HelpFilePath.clear();
  }
  std::string Uri(const std::string& rel) { return "file://" + (dir_ / "res" / "help").string() + "/" + rel; }

  testsupport::ScratchDir dir_;
  TestDriver driver_;  // records what would be launched
};

TEST_F(HelpTest, OwnHelpFileFirstThenTheHelpBook) {
  testsupport::WriteFile(dir_ / "Own Help.html", "own");
  ASSERT_TRUE(RegisterHelpBook(W(dir_ / "Own Help.html")));
  EXPECT_TRUE(OpenHelp(L"export.html", nullptr));
  ASSERT_TRUE(RegisterHelpBook(W(dir_ / "missing.html")));  // falls back to the book
  EXPECT_TRUE(OpenHelp(nullptr, nullptr));
  EXPECT_TRUE(OpenHelp(L"export.html", nullptr));
  EXPECT_TRUE(OpenHelp(L"export.html", L"mp3 #2"));
  EXPECT_FALSE(OpenHelp(L"nothing.html", nullptr));
  EXPECT_FALSE(OpenHelp(L"../help/index.html", nullptr));
  EXPECT_EQ(LaunchRequests(), (std::vector<std::string>{
                                  "open file://" + dir_.str() + "/Own%20Help.html",
                                  "open " + Uri("index.html"),
                                  "open " + Uri("export.html"),
                                  "open " + Uri("export.html#mp3%20%232"),
                              }));
  fs::remove_all(dir_ / "res" / "help");
  EXPECT_FALSE(RegisterHelpBook(W(dir_ / "missing.html")));
  EXPECT_FALSE(OpenHelp(nullptr, nullptr));
}

TEST_F(HelpTest, FilesAndDocumentsOpenWithoutAShell) {
  const fs::path odd = dir_ / "a;$(touch pwned) 'b'.mp3";
  testsupport::WriteFile(odd, "x");
  testsupport::WriteFile(dir_ / "player", "x");
  EXPECT_TRUE(OpenFileViaFinder(W(odd)));
  EXPECT_TRUE(OpenDocumentWithApp(W(odd), W(dir_ / "player")));
  EXPECT_FALSE(OpenFileViaFinder(W(dir_ / "missing")));
  EXPECT_FALSE(OpenDocumentWithApp(W(odd), W(dir_ / "no player")));
  EXPECT_EQ(LaunchRequests(),
            (std::vector<std::string>{
                "open file://" + dir_.str() + "/a%3B%24%28touch%20pwned%29%20%27b%27.mp3",
                "spawn " + (dir_ / "player").string() + " " + odd.string(),
            }));
  SetDisplayBackend(nullptr);  // nothing to launch with
  EXPECT_FALSE(OpenFileViaFinder(W(odd)));
}

TEST_F(HelpTest, AppIconsGetFreshCreatorsWithinOneTick) {
  const std::string family = "icns" + testsupport::Be32(12) + "abcd";
  testsupport::WriteFile(dir_ / "res" / "main.rsrc", testsupport::ResourceFile(FourCC("icns"), 128, family));
  OSType first = 0, second = 0;
  IconRef a, b;
  ASSERT_TRUE(RegisterAppIcon(128, first, &a));
  ASSERT_TRUE(RegisterAppIcon(128, second, &b));
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  std::string got;
  EXPECT_TRUE(GetRegisteredIconFamily(first, kAppIconType, &got));
  EXPECT_EQ(got, family);
  EXPECT_TRUE(UnregisterAppIcon(first, a));
  EXPECT_FALSE(GetRegisteredIconFamily(first, kAppIconType, nullptr));
  EXPECT_TRUE(GetRegisteredIconFamily(second, kAppIconType, nullptr));
  UnregisterAppIcon(second, b);
  OSType given = FourCC("Brvn");
  EXPECT_FALSE(RegisterAppIcon(129, given, nullptr));  // no such resource
}

TEST(SystemServicesTest, VersionAndLocalDate) {
  EXPECT_GE(GetSystemVersion(), 0x900u);  // the start-up requirement
  setenv("TZ", "UTC", 1);
  tzset();
  LocalDateTime t;
  t.UpdateAt(31 * 86400.0 - 0.5);  // the last half second of 31 January 2001
  EXPECT_EQ(t.Day(), 31);
  EXPECT_EQ(t.Year(), 2001);
  EXPECT_EQ(t.Second(), 59);
  unsetenv("TZ");
  tzset();
}

}  // namespace
