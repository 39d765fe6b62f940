// The main window runs the project through its menus, as a user would: open through the
// file dialog, edit, undo, redo, batch mode, save, and the question before quitting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppPrefs.h"
#include "app/AppShell.h"
#include "app/MainWindow.h"
#include "framework/app/Application.h"
#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Menus.h"
#include "toolbox/Navigation.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

MainWindow* Main() { return dynamic_cast<MainWindow*>(CurrentApplication->GetMainWindow()); }

std::wstring Title() {
  std::wstring title;
  CopyWindowTitle(Main()->GetWindow(), &title);
  return title;
}

// Enabled and checked, as the Edit menu shows the command.
std::pair<bool, bool> ItemState(OSType command) {
  MenuRef edit = GetMenuHandle(1002);
  std::uint16_t index = 0;
  MenuItemInfo info;
  if (GetIndMenuItemWithCommandID(edit, command, 1, &index) != kNoErr || GetMenuItem(edit, index, &info) != kNoErr)
    return {false, false};
  return {info.enabled, info.checked};
}

void ClickAlertButton(OSType command) {
  ControlRef button;
  if (GetControlByID(FrontWindow(), ControlID{command, 0}, &button) == kNoErr) TestDriver::Click(button);
}

// Each test runs with preferences of its own (recent projects among them) and leaves the
// process as it found it, whatever ran before.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (config / "config").c_str(), 1);
    ApplicationPreferences().Reset();
  }
  void TearDown() override {
    StartSteps() = AppStartSteps{};
    ApplicationPreferences().Reset();
    unsetenv("XDG_CONFIG_HOME");
    SetResourcesFolder("");
  }
  testsupport::ScratchDir config;
};

TEST_F(MainWindowTest, OpensEditsUndoesSavesAndAsksBeforeQuitting) {
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  StartSteps() = AppStartSteps{};
  testsupport::ScratchDir dir;
  const std::string project = (dir / "Song.bva").string();
  testsupport::WriteFile(project,
                         "<xml version=\"1.0\" encoding=\"UTF-8\">\n"
                         "<brivane version_major=\"1\" version_minor=\"0\" >\n"
                         "<castora_jobs current_data=\"0\" batch_mode=\"false\" >\n"
                         "<castora_data input=\"\" swf_fps=\"12\" />\n"
                         "</castora_jobs>\n</brivane>\n</xml>\n");
  TestDriver driver;
  std::vector<std::wstring> titles;
  std::vector<std::pair<bool, bool>> undoRedo;
  std::wstring question;
  std::string savedText;
  bool stillRunning = false;
  auto note = [&] {
    titles.push_back(Title());
    undoRedo.push_back({ItemState(kCommandUndo).first, ItemState(kCommandRedo).first});
  };
  driver.Then([&] {
    note();  // untitled
    TestDriver::ChooseMenu(kCommandOpenProject);
  });
  driver.Then([&] { NavDialogAccept(FrontNavDialog(), {project}); });
  driver.Then([&] {
    note();  // opened
    Main()->Edit([](Job& job) { job.SetFrameRate(24.0f); });
    note();
    TestDriver::ChooseMenu(kCommandUndo);
    note();
    TestDriver::ChooseMenu(kCommandRedo);
    note();
    TestDriver::ChooseMenu(kCommandBatchMode);
    EXPECT_EQ(ItemState(kCommandBatchMode), std::make_pair(true, true));
    TestDriver::ChooseMenu(kCommandSaveProject);
    note();
    savedText = testsupport::ReadFile(project);
    Main()->Edit([](Job& job) { job.SetFrameRate(30.0f); });
    TestDriver::ChooseMenu(kHICommandQuit);  // asks; the next step cancels
  });
  driver.Then([&] {
    question = GetAlertMessage(FrontWindow());
    ClickAlertButton(kHICommandCancel);
  });
  driver.Then([&] {
    stillRunning = Main() && IsWindowVisible(Main()->GetWindow());
    note();
    TestDriver::ChooseMenu(kHICommandQuit);
  });
  driver.Then([&] { ClickAlertButton(kHICommandOther); });  // "Don't Save"
  EXPECT_EQ(ApplicationMain({}), 0);
  EXPECT_FALSE(driver.RanDry());
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Brivane", L"Song.bva", L"*Song.bva", L"Song.bva",
                                               L"*Song.bva", L"Song.bva", L"*Song.bva"}));
  using P = std::pair<bool, bool>;
  EXPECT_EQ(undoRedo, (std::vector<P>{{false, false}, {false, false}, {true, false}, {false, true},
                                      {true, false}, {true, false}, {true, false}}));
  EXPECT_NE(savedText.find("swf_fps=\"24\""), std::string::npos) << savedText;
  EXPECT_NE(savedText.find("batch_mode=\"true\""), std::string::npos) << savedText;
  EXPECT_EQ(testsupport::ReadFile(project), savedText);  // "Don't Save" kept the saved file
  EXPECT_EQ(question, L"Do you want to save the changes to the project \"Song.bva\"?");
  EXPECT_TRUE(stillRunning);
  SetResourcesFolder("");
}

// An untitled project is saved through the save dialog, which proposes "Untitled.bva"; the
// saved project joins the recent projects, and opening it from there after New brings back
// its name and its batch-mode check mark. Nothing unsaved: Quit asks nothing.
TEST_F(MainWindowTest, SavesUntitledThroughTheDialogAndReopensFromRecentProjects) {
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  StartSteps() = AppStartSteps{};
  testsupport::ScratchDir dir;
  const std::string project = (dir / "Mix.bva").string();
  TestDriver driver;
  std::vector<std::wstring> titles;
  std::wstring proposed;
  std::size_t recent = 0;
  std::vector<bool> batch;
  driver.Then([&] {
    TestDriver::ChooseMenu(kCommandBatchMode);
    titles.push_back(Title());
    TestDriver::ChooseMenu(kCommandSaveProject);
  });
  driver.Then([&] {
    proposed = ViewOfNavDialog(FrontNavDialog()).saveFileName;
    NavDialogAccept(FrontNavDialog(), {project});
  });
  driver.Then([&] {
    titles.push_back(Title());
    recent = Main()->recentProjects.Count();
    TestDriver::ChooseMenu(kCommandNewProject);
    titles.push_back(Title());
    batch.push_back(ItemState(kCommandBatchMode).second);
    TestDriver::ChooseMenu(kRecentProjectsFirstCommand);
    titles.push_back(Title());
    batch.push_back(ItemState(kCommandBatchMode).second);
    TestDriver::ChooseMenu(kHICommandQuit);
  });
  EXPECT_EQ(ApplicationMain({}), 0);
  EXPECT_FALSE(driver.RanDry());
  EXPECT_EQ(proposed, L"Untitled.bva");
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"*Brivane", L"Mix.bva", L"Brivane", L"Mix.bva"}));
  EXPECT_EQ(recent, 1u);
  EXPECT_EQ(batch, (std::vector<bool>{false, true}));
  SetResourcesFolder("");
}

// The recent projects outlive the run: saved with the preferences at exit, they are in the
// Open Recent menu of the next run, and a project deleted in between is not.
TEST_F(MainWindowTest, RecentProjectsComeBackInTheNextRun) {
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  testsupport::ScratchDir dir;
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  StartSteps() = AppStartSteps{};
  InstallApplicationPreferences();
  const std::string kept = (dir / "Kept.bva").string(), gone = (dir / "Gone.bva").string();
  {
    TestDriver driver;
    for (const std::string& project : {gone, kept}) {
      driver.Then([] { TestDriver::ChooseMenu(kCommandSaveProjectAs); });
      driver.Then([project] { NavDialogAccept(FrontNavDialog(), {project}); });
    }
    driver.ThenChooseMenu(kHICommandQuit);
    EXPECT_EQ(ApplicationMain({}), 0);
    EXPECT_FALSE(driver.RanDry());
  }
  ASSERT_TRUE(std::filesystem::remove(gone));
  std::size_t listed = 0;
  std::wstring title;
  {
    TestDriver driver;
    driver.Then([&] {
      listed = Main()->recentProjects.Count();
      TestDriver::ChooseMenu(kRecentProjectsFirstCommand);
      title = Title();
      TestDriver::ChooseMenu(kHICommandQuit);
    });
    EXPECT_EQ(ApplicationMain({}), 0);
    EXPECT_FALSE(driver.RanDry());
  }
  EXPECT_EQ(listed, 1u);
  EXPECT_EQ(title, L"Kept.bva");
  StartSteps() = AppStartSteps{};
  ApplicationPreferences().Reset();
  unsetenv("XDG_CONFIG_HOME");
  SetResourcesFolder("");
}

// A file that is not a project, named at start or dropped on the window, is refused with a
// message that names it (a percent sign in the name stays as it is); a dropped project
// opens. Before any project was saved, Open Recent shows one disabled line saying so.
TEST_F(MainWindowTest, FilesThatAreNotProjectsAreRefusedByName) {
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  StartSteps() = AppStartSteps{};
  ApplicationPreferences().Reset();  // no recent projects from other tests
  testsupport::ScratchDir dir;
  const std::string named = (dir / "100%d.mp3").string(), dropped = (dir / "song.wav").string();
  const std::string project = (dir / "Dropped.bva").string();
  testsupport::WriteFile(named, "x");
  testsupport::WriteFile(dropped, "x");
  testsupport::WriteFile(project, "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane>\n"
                                  "<castora_jobs current_data=\"0\" batch_mode=\"false\" />\n"
                                  "</brivane>\n</xml>\n");
  TestDriver driver;
  std::vector<std::wstring> messages, titles;
  std::vector<std::pair<std::wstring, bool>> recentLines;
  auto answer = [&] {
    messages.push_back(GetAlertMessage(FrontWindow()));
    ClickAlertButton(kHICommandOK);
  };
  driver.Then(answer);  // the file named at start
  driver.Then([&] {
    const MenuRef recent = GetMenuItemHierarchicalMenu(GetMenuHandle(1001), 3);
    for (std::uint16_t i = 1; i <= CountMenuItems(recent); ++i) {
      MenuItemInfo info;
      GetMenuItem(recent, i, &info);
      recentLines.push_back({info.text, info.enabled});
    }
    for (const std::string& file : {dropped, project}) {
      EXPECT_EQ(TestDriver::DropFiles(Main()->GetWindow(), {"file://" + file}, Point{20, 20}), kNoErr);
      titles.push_back(Title());
    }
    TestDriver::ChooseMenu(kHICommandQuit);
  });
  driver.Then(answer);  // the dropped sound, while the drop is handled
  EXPECT_EQ(ApplicationMain({named}), 0);
  EXPECT_FALSE(driver.RanDry());
  const std::wstring refusal = L"\" is not a project, so it was not opened.";
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].find(L"The file \"" + Utf8ToWide(named) + refusal), 0u) << WideToUtf8(messages[0]);
  EXPECT_EQ(messages[1].find(L"The file \"" + Utf8ToWide(dropped) + refusal), 0u) << WideToUtf8(messages[1]);
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Brivane", L"Dropped.bva"}));
  EXPECT_EQ(recentLines, (std::vector<std::pair<std::wstring, bool>>{{L"No Recent Projects", false}}));
  SetResourcesFolder("");
}

}  // namespace
