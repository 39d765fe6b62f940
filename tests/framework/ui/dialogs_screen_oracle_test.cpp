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

  // One try at a screenshot that shows something (a window not yet painted gives a uniform
  // picture of a few hundred bytes). Taken under a name of this process's own and then put in
  // place, so that test runs beside this one cannot write over it while it is checked.
  bool Shot(const std::string& name) {
    const std::filesystem::path file = shots_ / (name + ".png");
    const std::filesystem::path own = shots_ / (name + "." + std::to_string(getpid()) + ".png");
    if (Shell("import -display " + Server().Display() + " -window root " + own.string()) != 0 ||
        std::filesystem::file_size(own) <= 1000u)
      return false;
    std::error_code ignored;
    std::filesystem::rename(own, file, ignored);
    return true;
  }
  // Called from a step that is tried again: true once the picture is taken, or once it has
  // been tried for long enough that the test should go on and fail.
  bool ShotOrGiveUp(const std::string& name, int* tries) {
    if (Shot(name)) return true;
    if (++*tries < 300) return false;
    ADD_FAILURE() << "no screenshot of " << name << " shows a window";
    return true;
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
  // Tries the step every tenth of a second until it says it is done: a busy machine shows a
  // window late, so the tests wait for what they need rather than for a fixed time.
  // The timer is returned for a step that may never say it is done: the test removes it.
  static EventLoopTimerRef WhenReady(std::function<bool()> step) {
    EventLoopTimerRef timer;
    InstallEventLoopTimer(0.1, 0.1, [step = std::move(step)](EventLoopTimerRef self) {
      if (step()) RemoveEventLoopTimer(self);
    }, &timer);
    return timer;
  }

  // GTK opens its display once per process: every test of the process shares one server.
  static testsupport::VirtualScreen& Server() { return testsupport::SharedScreen(); }
  std::filesystem::path shots_;
};

TEST_F(DialogsOnScreen, MessageBoxDefaultButtonClicked) {
  bool found = false;
  int x = 0, y = 0, tries = 0;
  Rect b;
  WhenReady([&] {
    std::string id;
    ControlRef yes;
    if (!found && (!FindWindow("Replace the movie\\?", &x, &y, &id) ||
                   GetControlByID(FrontWindow(), ControlID{kHICommandOK, 0}, &yes) != kNoErr ||
                   GetControlBounds(yes, &b) != kNoErr))
      return false;
    found = true;
    if (!ShotOrGiveUp("message-box", &tries)) return false;  // GTK paints between tries
    Shell("xdotool mousemove --sync " + std::to_string(x + (b.left + b.right) / 2) + " " +
        std::to_string(y + (b.top + b.bottom) / 2) + " click 1");
    return true;
  });
  At(60, [] { DisposeWindow(FrontWindow()); });  // never hang when the click went astray
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
  // GTK drops keys that reach its location field before the field is drawn, and how long
  // that takes depends on the machine's load: once the dialog shows and has settled, Ctrl+L
  // opens the field; once the screen shows the field (or after a few seconds), the path is
  // typed over whatever the field holds and Return pressed; should the dialog still be open
  // a while after, that is tried again.
  using Clock = std::chrono::steady_clock;
  int tries = 0, stage = 0;
  Clock::time_point since;
  std::string last;
  const EventLoopTimerRef steps = WhenReady([&] {
    int x = 0, y = 0;
    switch (stage) {
      case 0: {
        if (!found && !FindWindow("Open Sound", &x, &y, &id)) return false;
        found = true;
        if (!ShotOrGiveUp("open-dialog", &tries)) return false;  // GTK paints between tries
        const std::string now = testsupport::ReadFile(shots_ / "open-dialog.png");
        const bool settled = now == last;
        last = now;
        if (!settled && tries++ < 300) return false;
        Shell("xdotool windowfocus --sync " + id + " key --clearmodifiers ctrl+l");
        stage = 1;
        since = Clock::now();
        return false;
      }
      case 1: {
        int ignored = 0;
        const bool drawn = ShotOrGiveUp("open-dialog-location", &ignored) &&
                           testsupport::ReadFile(shots_ / "open-dialog-location.png") != last;
        if (!drawn && Clock::now() - since < std::chrono::seconds(3)) return false;
        Shell("xdotool key --clearmodifiers ctrl+a");
        Shell("xdotool type --delay 20 '" + wanted + "'");
        Shell("xdotool key Return");
        stage = 2;
        since = Clock::now();
        return false;
      }
      default:
        if (Clock::now() - since < std::chrono::seconds(5)) return false;  // the dialog had time to close
        stage = 0;
        tries = 0;
        last.clear();
        return false;
    }
  });
  At(60, [] { NavDialogCancel(FrontNavDialog()); });
  FileDialogResult result;
  EXPECT_TRUE(RunFileDialog(&request, &result, WindowRef{}, nullptr));
  RemoveEventLoopTimer(steps);
  EXPECT_TRUE(found);
  EXPECT_EQ(WideToUtf8(result.firstPath), wanted);
  EXPECT_EQ(result.chosenFilter, 0);
}

}  // namespace
