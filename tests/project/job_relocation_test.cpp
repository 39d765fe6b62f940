#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/platform/WideText.h"
#include "framework/ui/RelocateDialogs.h"
#include "job_xml_support.h"
#include "project/JobRelocation.h"
#include "project/ProjectDocument.h"
#include "project_test_support.h"
#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/Navigation.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

// A job whose input moved asks the user, who relocates it; a second job whose file moved
// to the same folder is then found there without a question.
TEST(JobRelocation, MovedInputIsRelocatedThenFoundInTheRememberedFolder) {
  testsupport::ScratchDir dir;
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  ClearRelocatedFolders();
  std::filesystem::create_directories(dir / "old");
  std::filesystem::create_directories(dir / "new");
  auto media = [&](const std::string& rel) {
    testsupport::WriteFile(dir / rel, "x");
    const PathString p = FromNativeString((dir / rel).string());
    AddFakeMediaAt(p, {0, 0, false, true, 9000});
    return p;
  };
  Job first(nullptr), second(nullptr);
  ASSERT_TRUE(first.SetInputFile(media("old/song.fake")));
  ASSERT_TRUE(second.SetInputFile(media("old/other.fake")));
  ASSERT_TRUE(WriteJobFile(first, dir / "a.xml"));
  ASSERT_TRUE(WriteJobFile(second, dir / "b.xml"));
  std::filesystem::remove(dir / "old/song.fake");
  std::filesystem::remove(dir / "old/other.fake");
  const PathString moved = media("new/song.fake");
  const PathString movedOther = media("new/other.fake");
  media("new/another.fake");
  InstallJobInputRelocation();

  TestDriver driver;
  std::wstring title, message, chooserTitle;
  std::vector<bool> listed;
  driver.Then([&] {
    CopyWindowTitle(FrontWindow(), &title);
    ControlRef text;
    GetControlByID(FrontWindow(), ControlID{FourCC("sMsg"), 0}, &text);
    message = GetControlTitle(text);
    PressKey(FrontWindow(), kReturnKeyCode);  // Relocate
  });
  driver.Then([&] {
    NavDialogRef d = FrontNavDialog();
    chooserTitle = ViewOfNavDialog(d).options.windowTitle;
    for (const char* name : {"new/song.fake", "new/another.fake", "new"})
      listed.push_back(NavDialogShowsItem(d, (dir / name).string()));
    NavDialogAccept(d, {(dir / "new/song.fake").string()});
  });
  auto job = ReadJobFile(dir / "a.xml");
  ASSERT_TRUE(job);
  EXPECT_EQ(job->input, moved);
  EXPECT_EQ(title, L"Missing Audio File");
  EXPECT_NE(message.find(FromNativeString((dir / "old/song.fake").string())), std::wstring::npos);
  EXPECT_EQ(chooserTitle, L"Please Relocate: song.fake");
  EXPECT_EQ(listed, (std::vector<bool>{true, false, true}));

  auto again = ReadJobFile(dir / "b.xml");  // no step left: a question would end input
  ASSERT_TRUE(again);
  EXPECT_EQ(again->input, movedOther);
  EXPECT_FALSE(driver.RanDry());

  // Don't Relocate leaves the job out.
  std::filesystem::remove(dir / "new/other.fake");
  driver.ThenClick(ControlID{FourCC("bDnt"), 0});
  EXPECT_FALSE(ReadJobFile(dir / "b.xml"));
  SetJobInputRelocator(nullptr);
  ClearRelocatedFolders();
  SetResourcesFolder("");
}

// A project read with a relocated input differs from its file: it is modified, so quitting
// asks to save the new place. Read with every input where it was, it is not.
TEST(JobRelocation, RelocatedInputMarksTheProjectModified) {
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  for (bool moved : {false, true}) {
    testsupport::ScratchDir dir;
    ClearRelocatedFolders();
    std::filesystem::create_directories(dir / "old");
    std::filesystem::create_directories(dir / "new");
    const PathString old = MakeFakeInput(dir / "old/song.fake", {});
    ProjectDocument doc;
    ASSERT_TRUE(doc.jobs.AddJobForFile(old));
    ASSERT_TRUE(doc.Save(FromNativeString((dir / "p.bva").string())));
    const PathString now = moved ? MakeFakeInput(dir / "new/song.fake", {}) : old;
    if (moved) std::filesystem::remove(dir / "old/song.fake");
    InstallJobInputRelocation();
    TestDriver driver;
    if (moved) {
      driver.Then([] { PressKey(FrontWindow(), kReturnKeyCode); });  // Relocate
      driver.Then([&] { NavDialogAccept(FrontNavDialog(), {(dir / "new/song.fake").string()}); });
    }
    ProjectDocument opened;
    ASSERT_TRUE(opened.Open(FromNativeString((dir / "p.bva").string())));
    ASSERT_EQ(opened.jobs.Count(), 1);
    EXPECT_EQ(opened.jobs.jobs[0]->input, now);
    EXPECT_EQ(opened.IsModified(), moved);
    EXPECT_FALSE(driver.RanDry());
    SetJobInputRelocator(nullptr);
  }
  ClearRelocatedFolders();
  SetResourcesFolder("");
}
