// Real windows: a message box and an open dialog shown by the GTK back end under Xvfb,
// answered with xdotool as a user would, and photographed with ImageMagick's import.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "framework/ui/FileDialogs.h"
#include "framework/ui/MessageBox.h"
#include "support/TestSupport.h"
#include "support/VirtualScreen.h"
#include "toolbox/Display.h"
#include "toolbox/Navigation.h"
#include "toolbox/Utf8.h"
#ifdef BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif

using namespace toolbox;

// GTK and the libraries under it keep process-wide caches they never free; under the leak
// checker only what this program itself leaks is reported. Weak, so that another screen
// test of this executable may give the same list.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
         "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
         "leak:libgio-2.0.so\nleak:libatk\n";
}

namespace {

int Shell(const std::string& command) {
  return std::system(command.c_str());
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

class DialogsOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef BRIVANE_HAVE_GTK
    GTEST_SKIP() << "built without GTK 3";
#else
    if (Shell("command -v xdotool >/dev/null && command -v import >/dev/null") != 0)
      GTEST_SKIP() << "xdotool or ImageMagick's import is not installed";
    if (Server().Display().empty()) GTEST_SKIP() << "Xvfb could not start";
    setenv("DISPLAY", Server().Display().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);  // no desktop settings service here
    std::unique_ptr<DisplayBackend> gtk = MakeGtkBackend();
    if (!gtk) GTEST_SKIP() << "GTK could not open the Xvfb display";
    SetDisplayBackend(std::move(gtk));
    shots_ = std::filesystem::temp_directory_path() / "brivane-dialog-shots";
    std::filesystem::create_directories(shots_);
#endif
  }
  void TearDown() override { SetDisplayBackend(nullptr); }

  void Shot(const std::string& name) {
    const std::string file = (shots_ / (name + ".png")).string();
    EXPECT_EQ(Shell("import -display " + Server().Display() + " -window root " + file), 0);
    EXPECT_GT(std::filesystem::file_size(file), 1000u);
  }
  // The X window with this title: its top-left corner on screen.
  bool FindWindow(const std::string& title, int* x, int* y, std::string* id) {
    *id = Output("xdotool search --onlyvisible --name '^" + title + "$' | head -1");
    while (!id->empty() && (id->back() == '\n')) id->pop_back();
    if (id->empty()) return false;
    std::istringstream geometry(Output("xdotool getwindowgeometry --shell " + *id));
    std::string line;
    while (std::getline(geometry, line)) {
      if (line.rfind("X=", 0) == 0) *x = std::atoi(line.c_str() + 2);
      if (line.rfind("Y=", 0) == 0) *y = std::atoi(line.c_str() + 2);
    }
    return true;
  }
  static void At(double seconds, std::function<void()> action) {
    EventLoopTimerRef timer;
    InstallEventLoopTimer(seconds, 0, [action = std::move(action)](EventLoopTimerRef) { action(); }, &timer);
  }

  // GTK opens its display once per process: every test of the process shares one server.
  static testsupport::VirtualScreen& Server() { return testsupport::SharedScreen(); }
  std::filesystem::path shots_;
};

TEST_F(DialogsOnScreen, MessageBoxDefaultButtonClicked) {
  bool found = false;
  At(1.5, [&] {
    Shot("message-box");
    int x = 0, y = 0;
    std::string id;
    found = FindWindow("Replace the movie\\?", &x, &y, &id);
    ControlRef yes;
    Rect b;
    if (!found || GetControlByID(FrontWindow(), ControlID{kHICommandOK, 0}, &yes) != kNoErr ||
        GetControlBounds(yes, &b) != kNoErr)
      return;
    Shell("xdotool mousemove --sync " + std::to_string(x + (b.left + b.right) / 2) + " " +
        std::to_string(y + (b.top + b.bottom) / 2) + " click 1");
  });
  At(20, [] { DisposeWindow(FrontWindow()); });  // never hang when the click went astray
  const MessageBoxResult result =
      ShowMessageBox({}, 0x208, L"Replace the movie?", L"The movie \"%ls\" exists.", L"song.swf");
  EXPECT_TRUE(found);
  EXPECT_EQ(FourCCText(result), "ok  ");
}

TEST_F(DialogsOnScreen, OpenDialogPicksAFile) {
  testsupport::ScratchDir dir;
  const std::string wanted = (dir / "pick.wav").string();
  testsupport::WriteFile(wanted, "RIFF");
  testsupport::WriteFile(dir / "other.ogg", "OggS");
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  request.InitOpen();
  request.filters = &filters;
  request.title = L"Open Sound";
  bool found = false;
  std::string id;
  At(1.5, [&] {
    int x = 0, y = 0;
    found = FindWindow("Open Sound", &x, &y, &id);
    if (!found) return;
    Shell("xdotool windowfocus --sync " + id + " key --clearmodifiers ctrl+l");
  });
  At(2.5, [&] {
    if (found) Shell("xdotool type --delay 20 '" + wanted + "'");
  });
  At(3.5, [&] { Shot("open-dialog"); });
  At(4.0, [&] {
    if (found) Shell("xdotool key Return");
  });
  At(25, [] { NavDialogCancel(FrontNavDialog()); });
  FileDialogResult result;
  EXPECT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  EXPECT_TRUE(found);
  EXPECT_EQ(WideToUtf8(result.firstPath), wanted);
  EXPECT_EQ(result.chosenFilter, 0);
}

}  // namespace
