#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui/FileDialogs.h"
#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

class FileDialogsTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, OSType type = 0) {
    const std::string path = (dir / name).string();
    testsupport::WriteFile(path, "x");
    if (type) {
      SidecarContents c;
      c.finderInfo.type = type;
      WriteSidecar(path, c);
    }
    return path;
  }
  static NavDialogRef Front() { return FrontNavDialog(); }

  TestDriver driver;
  testsupport::ScratchDir dir;
};

// The open dialog shows the first filter from the start: nothing needs the pop-up first.
TEST_F(FileDialogsTest, FiltersAdmitByTypeOrExtensionFromTheFirstItem) {
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  EXPECT_EQ(request.chosenFilter, -1);
  request.InitOpen();
  request.filters = &filters;
  const std::string mp3 = Make("a.MP3"), wave = Make("take.dat", FourCC("WAVE")), ogg = Make("a.ogg");
  std::vector<bool> shown, shownAll;
  driver.Then([&] {
    for (const std::string& p : {mp3, wave, ogg, dir.str()}) shown.push_back(NavDialogShowsItem(Front(), p));
    NavDialogSelectPopup(Front(), 4);  // "All Files"
    for (const std::string& p : {mp3, wave, ogg}) shownAll.push_back(NavDialogShowsItem(Front(), p));
    NavDialogSelectPopup(Front(), 0);
    NavDialogAccept(Front(), {mp3});
  });
  FileDialogResult result;
  ASSERT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  EXPECT_EQ(shown, (std::vector<bool>{true, true, false, true}));
  EXPECT_EQ(shownAll, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(result.chosenFilter, 0);
  EXPECT_EQ(result.count, 1);
  EXPECT_EQ(WideToUtf8(result.firstPath), mp3);
  ASSERT_EQ(filters.Count(), 5u);
  EXPECT_EQ(filters.filters[1]->description, L"AIFF");
}

// A choose-file dialog has no pop-up, yet lists by its first filter: a file of the
// filter's kinds is shown and chosen, another is hidden, and the reply names filter 0.
TEST_F(FileDialogsTest, ChooseFileListsByItsFirstFilter) {
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  request.Init(FileDialogRequest::kChooseFile);
  request.filters = &filters;
  const std::string wave = Make("take.wav"), ogg = Make("a.ogg");
  std::vector<bool> shown;
  driver.Then([&] {
    for (const std::string& p : {wave, ogg, dir.str()}) shown.push_back(NavDialogShowsItem(Front(), p));
    NavDialogAccept(Front(), {wave});
  });
  FileDialogResult result;
  ASSERT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  EXPECT_EQ(shown, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(result.chosenFilter, 0);
  EXPECT_EQ(WideToUtf8(result.firstPath), wave);
}

TEST_F(FileDialogsTest, RepliesGivePathsInOrderAndRefuseUndecodableNames) {
  struct Case {
    std::int32_t kind;
    bool multiple;
    std::vector<std::string> chosen;  // empty: cancel
    bool ok;
    std::vector<std::string> paths;
  };
  const std::string a = Make("a.wav"), b = Make("b.wav"), c = Make("c.wav");
  const std::vector<Case> cases = {
      {FileDialogRequest::kOpen, true, {a, b, c}, true, {a, b, c}},
      {FileDialogRequest::kChooseFolder, false, {dir.str()}, true, {dir.str() + "/"}},
      {FileDialogRequest::kOpen, false, {}, false, {}},
      {FileDialogRequest::kChooseFile, false, {dir.str() + "/caf\xE9.wav"}, false, {}},
  };
  for (const Case& k : cases) {
    FileDialogRequest request;
    request.Init(k.kind);
    request.allowMultiple = k.multiple;
    if (k.chosen.empty())
      driver.ThenCancelFileDialog();
    else
      driver.ThenChooseFiles(k.chosen);
    FileDialogResult result;
    EXPECT_EQ(RunFileDialog(&request, &result, WindowRef{}, nullptr), k.ok);
    std::vector<std::string> got;
    if (result.count > 0) got.push_back(WideToUtf8(result.firstPath));
    for (const PathString& p : result.furtherPaths) got.push_back(WideToUtf8(p));
    EXPECT_EQ(got, k.paths);
    EXPECT_EQ(result.count, static_cast<std::int32_t>(k.paths.size()));
  }
}

// The save dialog proposes the caller's name, gives it the chosen format's extension, and
// asks before it takes the name of a file that exists; "Cancel" keeps the dialog up.
TEST_F(FileDialogsTest, SaveProposesTheNameAndAsksBeforeReplacing) {
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  request.InitSave();
  request.filters = &filters;
  request.saveFileName = L"Song.mp3";
  const std::string existing = Make("Song.aiff");
  std::vector<std::wstring> names;
  std::wstring question;
  OSStatus firstAnswer = 0;
  driver.Then([&] {
    names.push_back(ViewOfNavDialog(Front()).saveFileName);
    NavDialogSelectPopup(Front(), 1);  // AIFF
    names.push_back(NavDialogGetSaveFileName(Front()));
    NavDialogSelectPopup(Front(), 4);  // All Files leaves the name as it is
    names.push_back(NavDialogGetSaveFileName(Front()));
    firstAnswer = NavDialogAccept(Front(), {existing});
  });
  driver.Then([&] {  // the question about the existing file
    question = GetAlertMessage(FrontWindow());
    CopyWindowTitle(FrontWindow(), &question);
    TestDriver::Click([] {
      ControlRef c;
      GetControlByID(FrontWindow(), ControlID{kHICommandCancel, 0}, &c);
      return c;
    }());
  });
  driver.ThenChooseFiles({dir.str() + "/New.aiff"});
  FileDialogResult result;
  ASSERT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Song.mp3", L"Song.aiff", L"Song.aiff"}));
  EXPECT_EQ(firstAnswer, kUserCanceledErr);
  EXPECT_EQ(question, L"\u201CSong.aiff\u201D already exists. Do you want to replace it?");
  EXPECT_EQ(WideToUtf8(result.firstPath), dir.str() + "/New.aiff");
  EXPECT_EQ(result.chosenFilter, 4);
  EXPECT_EQ(testsupport::ReadFile(existing), "x");
}

// A name typed without the chosen filter's extension is saved with it, in the folder the
// dialog starts in, and the dialog asks about the file that would then be replaced.
TEST_F(FileDialogsTest, SaveGivesTheNameTheFiltersExtensionAndAsksAboutThatFile) {
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  request.InitSave();
  request.filters = &filters;
  const std::wstring folder = Utf8ToWide(dir.str());
  request.startFolder = folder.c_str();
  const std::string existing = Make("Song.aiff");
  std::string start;
  std::wstring question;
  OSStatus firstAnswer = 0;
  driver.Then([&] {
    start = ViewOfNavDialog(Front()).options.startFolder;
    NavDialogSelectPopup(Front(), 1);  // AIFF
    firstAnswer = NavDialogAccept(Front(), {dir.str() + "/Song"});
  });
  driver.Then([&] {
    CopyWindowTitle(FrontWindow(), &question);
    TestDriver::Click([] {
      ControlRef c;
      GetControlByID(FrontWindow(), ControlID{kHICommandCancel, 0}, &c);
      return c;
    }());
  });
  driver.ThenChooseFiles({dir.str() + "/Other.AIFF"});
  FileDialogResult result;
  ASSERT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  EXPECT_EQ(start, dir.str() + "/");
  EXPECT_EQ(firstAnswer, kUserCanceledErr);
  EXPECT_EQ(question, L"\u201CSong.aiff\u201D already exists. Do you want to replace it?");
  EXPECT_EQ(WideToUtf8(result.firstPath), dir.str() + "/Other.AIFF");  // its extension in any case
}

TEST(FileFilterTables, ExtensionTextsAndLists) {
  FileFilterTypeEntry entry(L"aiff;;aif;", FourCC("AIFC"));
  ASSERT_EQ(entry.extensions.size(), 2u);
  EXPECT_EQ(*entry.extensions[0], L"aiff");
  EXPECT_EQ(*entry.extensions[1], L"aif");

  FileFilterList text;
  text.AddType(FourCC("TEXT"), nullptr, 65535);
  text.AddAllFiles(-1);
  EXPECT_EQ(text.filters[0]->description, L"All Files");
  EXPECT_EQ(text.filters[1]->description, L"Text");
  EXPECT_EQ(*text.filters[1]->entries[0]->extensions[0], L"txt");

  std::wstring out = L"kept";
  EXPECT_FALSE(FileTypeToExtension(FourCC("Midi"), &out));
  EXPECT_EQ(out, L"kept");
  EXPECT_TRUE(FileTypeToExtensionList(FourCC("TPIC"), &out));
  EXPECT_EQ(out, L"tga;targa");

  FileExtensionList list;
  list.SetFromString(PathString(L"/x/song.Mp3"));
  ASSERT_EQ(list.extensions.size(), 1u);
  EXPECT_EQ(*list.extensions[0], L"Mp3");
  EXPECT_TRUE(list.Contains(L"mp3"));
  list.SetFromString(PathString(L"/x.d/noext"));
  EXPECT_TRUE(list.extensions.empty());
}

}  // namespace
