#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui/RelocateDialogs.h"
#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Navigation.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

ControlRef Front(OSType signature) {
  ControlRef c;
  GetControlByID(FrontWindow(), ControlID{signature, 0}, &c);
  return c;
}

TEST(RelocateDialogs, EachButtonAndKeyGivesItsResult) {
  testsupport::ScratchDir dir;
  const PathString existing = Utf8ToWide((dir / "out.swf").string());
  testsupport::WriteFile(dir / "out.swf", "old");
  struct Case {
    bool relocate;  // else a replace question
    int several;
    bool applyToAll;
    OSType click;       // 0: the key
    std::uint32_t key;
    std::int32_t expected;
  };
  const std::int32_t ok = kDialogResultOK, cancel = kDialogResultCancel;
  const std::vector<Case> cases = {
      {true, 0, false, FourCC("ok  "), 0, ok},
      {true, 0, false, FourCC("bCan"), 0, cancel},
      {true, 0, false, FourCC("bDnt"), 0, kRelocateDontRelocate},
      {true, 0, false, FourCC("bRep"), 0, kRelocateReplace},
      {true, 0, false, 0, kReturnKeyCode, ok},
      {true, 0, false, 0, kEscapeKeyCode, cancel},
      {false, 1, true, FourCC("ok  "), 0, kReplaceReplaceAll},
      {false, 1, false, FourCC("ok  "), 0, kReplaceReplace},
      {false, 1, true, FourCC("bDnt"), 0, kReplaceDontReplaceAny},
      {false, 0, false, FourCC("bDnt"), 0, kReplaceDontReplace},
      {false, 1, false, FourCC("bStp"), 0, kReplaceStop},
      {false, 0, false, 0, kEscapeKeyCode, kReplaceDontReplace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.relocate ? "relocate " : "replace ") << FourCCText(c.click)
                                    << " " << c.key);
    TestDriver driver;
    bool seriesControls = false;
    driver.Then([&] {
      seriesControls = Front(FourCC("cAll")) && Front(FourCC("bStp"));
      if (c.applyToAll) TestDriver::Click(Front(FourCC("cAll")));
      if (c.click)
        TestDriver::Click(Front(c.click));
      else
        PressKey(FrontWindow(), c.key);
    });
    std::int32_t result;
    if (c.relocate) {
      RelocateTexts texts{L"Missing", L"Where is it?"};
      RelocateDialog dialog(&existing, &texts);
      result = dialog.Run(WindowRef{});
    } else {
      result = ConfirmReplace(existing, WindowRef{}, c.several);
      EXPECT_EQ(seriesControls, c.several == 1);
    }
    EXPECT_EQ(result, c.expected);
    EXPECT_FALSE(driver.RanDry());
    EXPECT_TRUE(WindowsFrontToBack().empty());
  }
  EXPECT_EQ(testsupport::ReadFile(dir / "out.swf"), "old");
  EXPECT_EQ(ConfirmReplace(Utf8ToWide((dir / "none.swf").string()), WindowRef{}, 0), -1);
}

// The question names the whole folder, however deep, and still ends with its question; on
// a parent window it is a sheet at the parent's top, which blocks every other window.
TEST(RelocateDialogs, ReplaceQuestionKeepsADeepFolderWhole) {
  TestDriver driver;
  WindowRef parent;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{100, 100, 500, 700}, &parent);
  ShowWindow(parent);
  const std::wstring folder = L"/" + std::wstring(398, L'd') + L"/";
  const PathString path = folder + L"song.swf";
  std::wstring message;
  WindowRef sheetParent;
  WindowRef other;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{600, 100, 700, 300}, &other);
  ShowWindow(other);
  bool othersBlocked = false;
  driver.Then([&] {
    message = GetControlTitle(Front(FourCC("sMsg")));
    sheetParent = GetSheetParent(FrontWindow());
    othersBlocked = !WindowAcceptsUserInput(parent) && !WindowAcceptsUserInput(other);
    TestDriver::Click(Front(FourCC("ok  ")));
  });
  ReplaceDialog dialog(&path, 0);
  EXPECT_EQ(dialog.Run(parent), kReplaceReplace);
  EXPECT_EQ(message, L"The item \"song.swf\" in " + folder + L" already exists. Replace it?");
  EXPECT_EQ(sheetParent, parent);
  EXPECT_TRUE(othersBlocked);
  EXPECT_TRUE(WindowAcceptsUserInput(other));
}

TEST(RelocateDialogs, RememberedFoldersAreSearchedInOrder) {
  testsupport::ScratchDir dir;
  ClearRelocatedFolders();
  for (const char* f : {"a", "b"}) std::filesystem::create_directories(dir / f);
  testsupport::WriteFile(dir / "b" / "Song.aif", "x");
  const PathString missing = L"/Old/Song.aif";
  PathString found = L"unchanged";
  EXPECT_FALSE(FindInRelocatedFolders(missing, &found));
  RememberRelocatedFolder(Utf8ToWide((dir / "a" / "x.aif").string()));
  RememberRelocatedFolder(Utf8ToWide((dir / "b" / "y.aif").string()));
  RememberRelocatedFolder(Utf8ToWide((dir / "b" / "z.aif").string()));
  EXPECT_TRUE(FindInRelocatedFolders(missing, &found));
  EXPECT_EQ(WideToUtf8(found), (dir / "b" / "Song.aif").string());
  ClearRelocatedFolders();
}

// The chooser's one filter has a name to show (a chooser would call it "Untitled filter"):
// the missing file's name, the files it lists. The chosen file comes back.
TEST(RelocateDialogs, ChooserNamesItsFilterAfterTheMissingFile) {
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "SONG.AIF", "x");
  struct Case {
    const char* missing;
    std::vector<std::wstring> filters;
  };
  const Case cases[] = {{"/Old/Song.aif", {L"Song.aif"}}, {"/Old/b/x y.mp3", {L"x y.mp3"}}};
  for (const Case& c : cases) {
    TestDriver driver;
    std::vector<std::wstring> filters;
    bool listed = false;
    driver.Then([&] {
      const NavDialogRef d = FrontNavDialog();
      filters = ViewOfNavDialog(d).options.popupExtension;
      listed = NavDialogShowsItem(d, (dir / "SONG.AIF").string());
      NavDialogAccept(d, {(dir / "SONG.AIF").string()});
    });
    RelocationRequest request;
    PathString chosen;
    EXPECT_TRUE(ChooseRelocatedFile(&request, Utf8ToWide(c.missing), &chosen, WindowRef{}));
    EXPECT_EQ(filters, c.filters) << c.missing;
    EXPECT_EQ(listed, std::string(c.missing) == "/Old/Song.aif");
    EXPECT_EQ(WideToUtf8(chosen), (dir / "SONG.AIF").string());
    EXPECT_FALSE(driver.RanDry());
  }
}

}  // namespace
