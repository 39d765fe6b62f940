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
#include "toolbox/AppleDouble.h"
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

// Headless, the executable reads its options, reports what it cannot do, prints alerts with
// their message and buttons on standard error and takes their answers (a button's name or
// number), and takes the paths of file dialogs, with the command or on the next line.
TEST(BrivaneExecutable, HeadlessUserCanAnswerEverythingThroughStandardInput) {
  const std::string exe = ExecutableFolder() + "../app/brivane";
  if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "the executable is not built: " << exe;
  struct Case {
    std::string args, input;
    int status;
    std::vector<std::string> out, err;  // each must appear
    std::vector<std::string> absent;    // in either
    int unsavedQuestions = -1;          // how often the save question came, when counted
    std::vector<std::string> files = {};  // each must exist afterwards, in the folder
  };
  testsupport::ScratchDir dir;
  const std::string d = dir.str();
  std::vector<Case> cases = {
      {"--help", "", 0, {"Usage: brivane", "headless"}, {}, {"showing"}},
      {"--bogus", "", 2, {}, {"brivane: unknown option '--bogus'"}, {"showing"}},
      {"", "undV\nxyzw\nquit\n", 0,
       {"the menu item \"Undo\" ('undV') is disabled", "no menu item has the command 'xyzw'", "Open Recent [No Recent Projects], Save"},
       {}, {"????", "no menu item has the command 'undV'"}},
      {"'" + d + "/a.mp3'", "", 0, {},
       {"alert \"Error\": The file \"" + d + "/a.mp3\" is not a project", "answer with 1 (OK)"}, {}},
      {"", "btch\nnew\nbogus\n2\nnew\nDON'T SAVE\nquit\n", 0, {},
       {"alert \"Unsaved Changes\": Do you want to save the changes to the project \"Untitled\"?",
        "answer with 1 (Save), 2 (Cancel) or 3 (Don't Save)", "no button \"bogus\""},
       {}, 2},
      {"", "svas p.bva\nsvas " + d + "/p.bva\nReplace\nopen " + d + "/missing.bva\n1\nopen\n\np.bva\nsvas\ncancel\nnew " + d + "/y\nquit\n", 0,
       {"showing file dialog (save)", "showing file dialog (open)"},
       {"The project could not be opened because the file does not exist.", "answer with a path, or \"cancel\"",
        "the command 'new ' showed no file dialog: the path \"" + d + "/y\" was not used"},
       {"no button", "no menu item"}},
  };
  // Save As starts in the project's folder (an untitled project in the home folder), gives a
  // name typed without it the project extension, titles the window after the project, and
  // lists the recent projects to be chosen by number.
  std::filesystem::create_directory(dir / "sub");
  cases.push_back({"", "btch\nsvas sub/q\nsvas r\nopen recent\nopen recent 2\nopen recent 9\nquit\n", 0,
                   {"showing file dialog (save) in \"" + d + "/\" proposing \"Untitled.bva\"",
                    "window \"IDD_MAIN_DIALOG\" now titled \"*Brivane\"", "now titled \"q.bva\"",
                    "showing file dialog (save) in \"" + d + "/sub/\"", "now titled \"r.bva\"",
                    "Open Recent: 1: " + d + "/sub/r.bva, 2: " + d + "/sub/q.bva",
                    "Open Recent [1: " + d + "/sub/q.bva, 2: " + d + "/sub/r.bva]", "no item \"9\" in Open Recent"},
                   {}, {"no menu item", "'Open'"}, 0, {"sub/q.bva", "sub/r.bva"}});
  // A project saved under a name without the extension by an earlier version is known by
  // its recorded file type; the name the application gave opens from the command line.
  const std::string project = "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane version_major=\"1\">\n"
                              "<castora_jobs current_data=\"-1\" batch_mode=\"false\" >\n</castora_jobs>\n</brivane>\n</xml>\n";
  testsupport::WriteFile(dir / "sub/old", project);
  testsupport::WriteFile(dir / "sub/UP.BVA", project);
  SidecarContents projectType;
  projectType.finderInfo.type = FourCC("pBva");
  ASSERT_TRUE(WriteSidecar((dir / "sub/old").string(), projectType));
  cases.push_back({"sub/old", "", 0, {"now titled \"old\""}, {}, {"is not a project"}});
  cases.push_back({"sub/UP.BVA", "", 0, {"now titled \"UP.BVA\""}, {}, {"is not a project"}});
  cases.push_back({"sub/r.bva", "", 0, {"now titled \"r.bva\""}, {}, {"is not a project"}});
  // The end of the input does not lose changes silently: the waiting question is answered
  // with Cancel, which is said, and the lost changes give a failure status.
  cases.push_back({"", "btch\n", 1, {"end of input"},
                   {"end of input: answering \"Unsaved Changes\" with 2 (Cancel)",
                    "brivane: the unsaved changes to the project \"Untitled\" were not saved and are lost"},
                   {}, 1});
  // A name that the extension takes past what the folder allows is said to be too long.
  cases.push_back({"", "new\nsvas " + std::string(253, 'n') + "\n1\nquit\n", 0, {},
                   {"The project could not be saved because the name \"" + std::string(253, 'n') +
                    ".bva\" is too long: this folder takes names of at most 255 bytes"},
                   {"could not be created"}});
  // A file name that is not UTF-8, on the command line or chosen in a file dialog, is
  // refused with a message that names it, its bytes shown.
  testsupport::WriteFile(dir / "\xFF\xFE.bva", project);
  testsupport::WriteFile(dir / "\xFE.bva", project);
  cases.push_back({"'" + d + "/\xFF\xFE.bva'", "1\nopen " + d + "/\xFE.bva\n1\nsvas \xFEq\n1\nquit\n", 0, {},
                   {"alert \"Error\": The file \"" + d + "/\\xFF\\xFE.bva\" cannot be used because its name is not valid UTF-8",
                    "alert \"Error\": The file \"" + d + "/\\xFE.bva\" cannot be used",
                    "alert \"Error\": The file \"" + d + "/\\xFEq.bva\" cannot be used"},
                   {"no button", "skipping"}});
  // Without a program for web pages the help names its page.
  cases.push_back({"", "help\n1\n", 0, {},
                   {"alert \"Error\": The help could not be shown", "/resources/help/index.html"}, {}});
  // A project whose audio file has gone asks where it went, in a dialog of its own.
  testsupport::WriteFile(dir / "gone.bva", "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane>\n"
                                           "<castora_jobs current_data=\"0\" batch_mode=\"false\">\n"
                                           "<castora_data input=\"" + d + "/gone.wav\" />\n"
                                           "</castora_jobs>\n</brivane>\n</xml>\n");
  cases.push_back({"gone.bva", "don't relocate\n1\nquit\n", 0, {},
                   {"dialog \"Missing Audio File\": The audio file \"" + d + "/gone.wav\" cannot be found.",
                    "answer with 1 (Don't Relocate), 2 (Cancel), 3 (Replace) or 4 (Relocate)",
                    "alert \"Error\": Some jobs could not be read"},
                   {"no button"}});
  // A relocation chooser starts in the nearest folder left of the missing file's path, else
  // in the project's folder: a name given alone is taken there.
  std::filesystem::create_directory(dir / "music");
  testsupport::WriteSilentWav(dir / "music/song.wav");
  testsupport::WriteSilentWav(dir / "sub/other.wav");
  testsupport::WriteFile(dir / "sub/moved.bva", "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane>\n"
                                                "<castora_jobs current_data=\"0\" batch_mode=\"false\">\n"
                                                "<castora_data input=\"" + d + "/music/old/song.wav\" />\n"
                                                "<castora_data input=\"/brivane-nowhere/other.wav\" />\n"
                                                "</castora_jobs>\n</brivane>\n</xml>\n");
  cases.push_back({"sub/moved.bva", "relocate\nsong.wav\nreplace\nother.wav\nquit\ndon't save\n", 0,
                   {"showing file dialog (choose a file) titled \"Please Relocate: song.wav\" in \"" + d + "/music/\"",
                    "showing file dialog (open) titled \"Choose an audio file\" in \"" + d + "/sub/\""},
                   {"alert \"Unsaved Changes\""}, {"Some jobs could not be read", "no button"}});
  for (const Case& c : cases) {
    testsupport::ScratchDir config;
    std::filesystem::remove(dir / "p.bva");
    testsupport::WriteFile(dir / "input", c.input);
    int status = -1;
    const std::string out = testsupport::Run(
        "cd '" + d + "' && env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + d + "' XDG_CONFIG_HOME='" + config.str() +
            "' timeout 30 '" + exe + "' " + c.args + " < input 2> err", &status);
    const std::string err = testsupport::ReadFile(dir / "err");
    const std::string both = out + err;
    EXPECT_EQ(status, c.status) << c.args << c.input << both;
    for (const std::string& text : c.out) EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << both;
    for (const std::string& text : c.err) EXPECT_NE(err.find(text), std::string::npos) << text << "\n" << both;
    for (const std::string& text : c.absent) EXPECT_EQ(both.find(text), std::string::npos) << text << "\n" << both;
    if (c.unsavedQuestions >= 0) {
      int questions = 0;
      for (std::size_t at = 0; (at = err.find("alert \"Unsaved Changes\"", at)) != std::string::npos; ++at) ++questions;
      EXPECT_EQ(questions, c.unsavedQuestions) << both;
    }
    for (const std::string& file : c.files) EXPECT_TRUE(std::filesystem::exists(dir / file)) << file << "\n" << both;
    if (c.input.starts_with("svas")) {
      // Saved under the relative name, replaced, then reopened from the dialog's answer.
      EXPECT_TRUE(std::filesystem::exists(dir / "p.bva"));
      EXPECT_NE(testsupport::ReadFile(config / "brivane.xml").find(d + "/p.bva"), std::string::npos);
    }
  }
}

}  // namespace
