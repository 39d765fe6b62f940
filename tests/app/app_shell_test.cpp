#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "framework/platform/PathLayer.h"
#include "framework/app/Application.h"
#include "framework/app/Help.h"
#include "toolbox/Launch.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

class AppShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetResourcesFolder((testsupport::SourceDir() / "resources").string());
    StartSteps() = AppStartSteps{};
  }
  void TearDown() override {
    StartSteps() = AppStartSteps{};
    SetResourcesFolder("");
  }
  bool Logged(const std::string& text) const {
    const auto& log = driver.Log();
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
  TestDriver driver;
};

// The application shows its main window with the menu bar and quits on the Quit command.
TEST_F(AppShellTest, ShowsTheMainWindowAndQuitsOnQuit) {
  bool quitChosen = false;
  driver.Then([&] {
    EXPECT_TRUE(IsWindowVisible(FrontWindow()));
    EXPECT_EQ(GetWindowName(FrontWindow()), "IDD_MAIN_DIALOG");
    quitChosen = TestDriver::ChooseMenu(kHICommandQuit) == kNoErr;
  });
  EXPECT_EQ(ApplicationMain({}), 0);
  EXPECT_TRUE(quitChosen);
  EXPECT_FALSE(driver.RanDry());
  EXPECT_TRUE(Logged("menu bar"));
  EXPECT_TRUE(Logged("shown \"IDD_MAIN_DIALOG\" document window titled \"Brivane\""));
  EXPECT_FALSE(FrontWindow());  // the main window is gone after the run
}

// Quit stays where the nib puts it (there is no application menu to take it), and the Help
// menu's item opens the start page of the help book that the run hook registered.
TEST_F(AppShellTest, MenuBarKeepsQuitAndHelpOpensTheBook) {
  driver.Then([&] {
    std::uint16_t index = 0;
    EXPECT_EQ(GetIndMenuItemWithCommandID(GetMenuHandle(1001), kHICommandQuit, 1, &index), kNoErr);
    EXPECT_EQ(GetIndMenuItemWithCommandID(GetMenuHandle(1003), FourCC("help"), 1, &index), kNoErr);
    LaunchRequests().clear();
    EXPECT_NE(TestDriver::ChooseMenu(FourCC("help")), kNotFoundErr);
    ASSERT_EQ(LaunchRequests().size(), 1u);
    EXPECT_TRUE(LaunchRequests()[0].ends_with("/resources/help/index.html")) << LaunchRequests()[0];
    TestDriver::ChooseMenu(kHICommandQuit);
  });
  EXPECT_EQ(ApplicationMain({}), 0);
}

// A start whose requirements fail never loads the preferences, so the exit hook, which still
// runs, does not write defaults over the stored ones. A start that loads them saves them.
TEST_F(AppShellTest, ExitSavesPreferencesOnlyWhenInitLoadedThem) {
  for (bool requirementsMet : {false, true}) {
    testsupport::ScratchDir dir;
    const auto prefs = dir / "prefs.xml";
    const std::string stored = "<prefs user=\"stored\"/>\n";
    testsupport::WriteFile(prefs, stored);
    int loads = 0, saves = 0, cleanUps = 0;
    StartSteps().cleanUp = [&] { ++cleanUps; };
    StartSteps().checkRequirements = [&] { return requirementsMet; };
    StartSteps().loadPreferences = [&] {
      ++loads;
      return true;
    };
    StartSteps().savePreferences = [&] {
      ++saves;
      testsupport::WriteFile(prefs, "<prefs defaults=\"1\"/>\n");
      return true;
    };
    if (requirementsMet) driver.ThenChooseMenu(kHICommandQuit);
    EXPECT_EQ(ApplicationMain({}), 0);
    EXPECT_FALSE(PreferencesLoaded());
    EXPECT_EQ(cleanUps, 1);  // the exit hook ran
    if (!requirementsMet) {
      EXPECT_EQ(loads, 0);
      EXPECT_EQ(saves, 0);
      EXPECT_EQ(testsupport::ReadFile(prefs), stored);
    } else {
      EXPECT_EQ(loads, 1);
      EXPECT_EQ(saves, 1);
      EXPECT_FALSE(driver.RanDry());
    }
  }
}

// While it runs, the application's temporary files go to its own folder in "_brivane";
// the folder goes at exit, also after a start that fails.
TEST_F(AppShellTest, KeepsItsOwnTemporaryFolderWhileItRuns) {
  for (bool requirementsMet : {true, false}) {
    testsupport::ScratchDir dir;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir.str().c_str(), 1);
    std::string during;
    StartSteps().checkRequirements = [&] {
      PathString path;
      EXPECT_TRUE(GetTemporaryPath(path, L"x", true));
      during = WideToUtf8(path);
      EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(during).parent_path()));
      return requirementsMet;
    };
    if (requirementsMet) driver.ThenChooseMenu(kHICommandQuit);
    EXPECT_EQ(ApplicationMain({}), 0);
    const std::filesystem::path own = std::filesystem::path(during).parent_path();
    EXPECT_EQ(own.parent_path(), dir.path() / ("brivane-" + std::to_string(geteuid())) / "_brivane");
    EXPECT_FALSE(std::filesystem::exists(own));
    EXPECT_TRUE(std::filesystem::is_directory(own.parent_path()));
    if (old) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");
  }
}

// The executable runs headless without a display, says so, reports the window it would
// show, and quits on "quit" or at the end of its input.
TEST(BrivaneExecutable, RunsHeadlessAndQuits) {
  const std::string exe = ExecutableFolder() + "../app/brivane";
  if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "the executable is not built: " << exe;
  testsupport::ScratchDir config;
  for (const char* input : {"printf 'quit\\n'", "printf ''", "printf 'xyzw\\nquit\\n'"}) {
    int status = -1;
    std::string out = testsupport::Run(std::string(input) + " | env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                                           config.str() + "' timeout 30 '" + exe + "' /tmp/one.mp3 2>&1",
                                       &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("no display; running headless"), std::string::npos) << out;
    EXPECT_NE(out.find("showing \"IDD_MAIN_DIALOG\""), std::string::npos) << out;
  }
  // Its preferences are kept in its own domain.
  EXPECT_NE(testsupport::ReadFile(config / "brivane.xml").find("key=\"recent_projects_max\""), std::string::npos);
}

}  // namespace
