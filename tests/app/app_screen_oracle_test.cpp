// The application itself under Xvfb, with and without a window manager: every dialog it
// shows while opening a project is painted (the time it took is printed), and the process is idle
// while the dialog waits for the user; the keyboard focus starts on a dialog's default
// button; a close from the window manager answers a dialog as its cancel button does (also
// the question a file dialog asks) and quits from the main window as File > Quit does; Escape
// answers a message box; modal dialogs and choosers are dialogs centred over the main window,
// also once it has been moved or maximised (under openbox, twm and without a window manager);
// Save As asks its own question before replacing a file, however the name was typed; the
// relocation chooser starts by the missing file; the keys scroll a message too tall for the
// screen; a dialog destroyed by another X client is answered as its cancel button answers.
// GTK's criticals end the application, so that any such warning fails the test. The main
// window keeps the size the user gives it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "support/VirtualScreen.h"
#include "toolbox/AppLocation.h"

using namespace toolbox;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Polls until `done` holds; false when it still does not after a time long enough for a
// very busy machine.
bool WaitFor(const std::function<bool()>& done, double seconds = 60) {
  const auto start = Clock::now();
  while (!done()) {
    if (Since(start) > seconds) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Processor time the process has used, in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(text.substr(end + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

class App {
 public:
  App(const testsupport::VirtualScreen& screen, const std::filesystem::path& home, const std::string& document)
      : display_(screen.Display()) {
    const std::string exe = ExecutableFolder() + "../app/brivane";
    std::fflush(stdout);  // nothing printed so far is printed again by the child
    pid_ = fork();
    if (pid_ == 0) {
      std::error_code ignored;
      std::filesystem::create_directories(home, ignored);
      setenv("DISPLAY", display_.c_str(), 1);
      setenv("GSETTINGS_BACKEND", "memory", 1);
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
      setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
      setenv("G_DEBUG", "fatal-criticals", 1);
      // Under the leak checker, the caches GTK and the libraries under it never free are not
      // the application's leaks: it is judged by how it exits.
      std::ofstream(home / "leaks.supp") << "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libglib-2.0.so\n"
                                            "leak:libgobject-2.0.so\nleak:libgtk-3.so\nleak:libgdk-3.so\n"
                                            "leak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
                                            "leak:libgio-2.0.so\nleak:libatk\n";
      setenv("LSAN_OPTIONS", ("suppressions=" + (home / "leaks.supp").string() + ":print_suppressions=0").c_str(), 1);
      // What it prints says why, should it run headless.
      if (!std::freopen((home / "output.txt").c_str(), "w", stdout)) std::freopen("/dev/null", "w", stdout);
      if (!std::freopen((home / "errors.txt").c_str(), "w", stderr)) std::freopen("/dev/null", "w", stderr);
      execl(exe.c_str(), exe.c_str(), document.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~App() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t Pid() const { return pid_; }
  bool Running() {
    if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
  }
  // How it ended (a wait status), once it has.
  int Status() const { return status_; }
  // The titles of the visible windows, one a line.
  std::string Windows() const {
    return testsupport::Run("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '.' getwindowname %@ 2>&1");
  }

  // The visible X window with exactly this title (a regular expression), or "". Matched
  // here rather than by xdotool, which does not see a title outside Latin-1.
  std::string Window(const std::string& title) const {
    std::istringstream windows(testsupport::Run(
        "DISPLAY=" + display_ + " xdotool search --onlyvisible --name . 2>/dev/null | while read -r w; do "
        "printf '%s %s\\n' \"$w\" \"$(DISPLAY=" + display_ + " xdotool getwindowname \"$w\")\"; done"));
    const std::regex wanted(title);
    for (std::string line; std::getline(windows, line);) {
      const std::size_t space = line.find(' ');
      if (space != std::string::npos && std::regex_match(line.substr(space + 1), wanted)) return line.substr(0, space);
    }
    return "";
  }
  // Whether a window of this title exists, shown or not yet.
  bool Exists(const std::string& title) const {
    return !testsupport::Run("DISPLAY=" + display_ + " xdotool search --name '" + title + "' 2>/dev/null").empty();
  }
  void Xdo(const std::string& args) const { testsupport::Run("DISPLAY=" + display_ + " xdotool " + args); }
  // Where a window is on screen: left, top, width and height.
  std::array<int, 4> Geometry(const std::string& id) const {
    std::istringstream geometry(testsupport::Run("DISPLAY=" + display_ + " xdotool getwindowgeometry --shell " + id));
    std::array<int, 4> g{-1, -1, -1, -1};
    for (std::string line; std::getline(geometry, line);) {
      if (line.rfind("X=", 0) == 0) g[0] = std::stoi(line.substr(2));
      if (line.rfind("Y=", 0) == 0) g[1] = std::stoi(line.substr(2));
      if (line.rfind("WIDTH=", 0) == 0) g[2] = std::stoi(line.substr(6));
      if (line.rfind("HEIGHT=", 0) == 0) g[3] = std::stoi(line.substr(7));
    }
    return g;
  }
  std::pair<int, int> Size(const std::string& id) const {
    const std::array<int, 4> g = Geometry(id);
    return {g[2], g[3]};
  }
  // The text of a window as tesseract reads it from a screenshot of the window alone
  // (enlarged, in greys), on one line with single blanks. tesseract runs on one thread: its
  // worker threads wait for one another by spinning, which on a busy machine stretches a
  // reading of a second to many minutes. The files read are the process's own: the plain and
  // the sanitized suite may be taking the same screenshot at once.
  std::string Read(const std::string& id, const std::filesystem::path& shot) const {
    const std::string taken = shot.string() + ".read-" + std::to_string(getpid()) + ".png";
    const std::string big = shot.string() + ".read-" + std::to_string(getpid()) + "-big.png";
    std::filesystem::remove(big);
    testsupport::Run("timeout 60 import -display " + display_ + " -window " + id + " '" + taken + "' 2>&1 && convert '" +
                     taken + "' -resize 300% -colorspace Gray '" + big + "' 2>&1");
    std::istringstream words(
        testsupport::Run("OMP_THREAD_LIMIT=1 tesseract '" + big + "' - -c tessedit_do_invert=0 2>/dev/null"));
    std::filesystem::remove(taken);
    std::filesystem::remove(big);
    std::string text, word;
    while (words >> word) text += (text.empty() ? "" : " ") + word;
    return text;
  }
  // The middle of the window manager's title bar above the window.
  std::pair<int, int> TitleBar(const std::string& id) const {
    std::istringstream info(testsupport::Run("DISPLAY=" + display_ + " xwininfo -id " + id));
    int left = 0, top = 0, below = 0;
    for (std::string line; std::getline(info, line);) {
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const int value = std::atoi(line.c_str() + colon + 1);
      if (line.find("Absolute upper-left X") != std::string::npos) left = value;
      if (line.find("Absolute upper-left Y") != std::string::npos) top = value;
      if (line.find("Relative upper-left Y") != std::string::npos) below = value;
    }
    return {left + 100, top - below / 2};
  }
  // Where the window stands whole on the screen: the window manager's frame around it (the
  // window itself where none runs), its left, top, width and height.
  std::array<int, 4> Frame(const std::string& id) const {
    std::istringstream info(testsupport::Run(
        "export DISPLAY=" + display_ + "; w=" + id + "; while xwininfo -tree -id $w 2>/dev/null | grep 'Parent window id' "
        "| grep -vq 'the root window'; do w=$(xwininfo -tree -id $w | awk '/Parent window id/ {print $4}'); done; "
        "xwininfo -id $w 2>/dev/null"));
    std::array<int, 4> frame{-1, -1, -1, -1};
    int border = 0;
    for (std::string line; std::getline(info, line);) {
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const int value = std::atoi(line.c_str() + colon + 1);
      if (line.find("Absolute upper-left X") != std::string::npos) frame[0] = value;
      if (line.find("Absolute upper-left Y") != std::string::npos) frame[1] = value;
      if (line.find("  Width:") != std::string::npos) frame[2] = value;
      if (line.find("  Height:") != std::string::npos) frame[3] = value;
      if (line.find("Border width") != std::string::npos) border = value;
    }
    frame[2] += 2 * border;
    frame[3] += 2 * border;
    return frame;
  }
  // What the window tells the window manager it is.
  std::string Properties(const std::string& id) const {
    return testsupport::Run("DISPLAY=" + display_ + " xprop -id " + id + " _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR 2>&1");
  }

  // The window's own pixels are painted: its bottom-left corner has the theme's window colour
  // (not black, not what was there before) and something is drawn on it.
  bool Painted(const std::string& id, const std::filesystem::path& shot) const {
    int status = -1;
    testsupport::Run("import -display " + display_ + " -window " + id + " '" + shot.string() + "' 2>&1", &status);
    if (status != 0) return false;
    std::istringstream size(testsupport::Run("identify -format '%h %k' '" + shot.string() + "' 2>/dev/null"));
    int height = 0, colours = 0;
    if (!(size >> height >> colours) || height < 8) return false;
    const std::string corner = testsupport::Run("identify -format '%[hex:p{3," + std::to_string(height - 4) + "}]' '" +
                                                shot.string() + "' 2>/dev/null");
    return corner.rfind("F6F5F4", 0) == 0 && colours > 8;
  }

 private:
  std::string display_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// The process does (next to) nothing while it waits for the user: half a second in which
// it uses at most one clock tick. Waited for, since a busy machine may keep it drawing a
// while; false when it never goes idle. `use` is the share of a core it used last.
bool GoesIdle(pid_t pid, double* use) {
  return WaitFor([&] {
    const long before = CpuTicks(pid);
    const auto from = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long ticks = CpuTicks(pid) - before;
    *use = double(ticks) / sysconf(_SC_CLK_TCK) / Since(from);
    return ticks <= 1;
  }, 30);
}

constexpr const char* kChooser = "Please Relocate: a.wav";
constexpr const char* kReplaceGood = "\u201Cgood.bva\u201D already exists. Do you want to replace it\\?";

struct Step {
  const char* title;  // the window that must appear (a regular expression)
  const char* key;    // what the user then presses ("" for nothing; "minimise": the window is minimised;
                      // "type " and text: the text typed; "type:" and a name: the name typed over
                      // the proposed one, then Return; "scroll": the mouse wheel to the text's end;
                      // "move": the window moved (to 500,400, or where "move X Y" says); "maximise":
                      // the window maximised, where no window manager can, made as large as the
                      // screen; "destroy": the window destroyed by another X client, "at once" as
                      // soon as it is there, "from the root" with the pointer on the root window;
                      // "destroy the chooser": the chooser under the window destroyed)
  bool fresh = true;  // a window other than the one of the step before (not the main window)
  // What the window must show whole, as tesseract reads it: phrases separated by "|".
  const char* reads = "";
};

// Whether every phrase of `phrases` ("|" between them) is in the text read.
bool ReadsAll(const std::string& read, const std::string& phrases) {
  std::istringstream list(phrases);
  for (std::string phrase; std::getline(list, phrase, '|');)
    if (read.find(phrase) == std::string::npos) return false;
  return true;
}

struct Case {
  const char* name;
  const char* document;  // in the scratch folder
  std::vector<Step> steps;
  bool windowManager = false;  // only where a window manager runs (its close: Alt+F4)
  bool ends = false;           // the application has quit after the last step
  const char* saved = "";      // what the document then holds
  bool busyWindowManager = false;  // the window manager is held up until the first dialog exists
  bool everyManager = false;       // also under twm
};

enum Manager { kNoManager, kOpenbox, kTwm };

// A window manager of its own on the screen (openbox, or twm placing windows where they
// ask to stand), stopped with the test.
class WindowManager {
 public:
  bool Start(const std::string& display, Manager manager = kOpenbox, const std::filesystem::path& folder = {}) {
    const char* program = manager == kTwm ? "twm" : "openbox";
    if (!testsupport::HaveTool(program) || !testsupport::HaveTool("xprop") || !testsupport::HaveTool("xwininfo"))
      return false;
    const std::string rc = (folder / "twmrc").string();
    if (manager == kTwm)
      testsupport::WriteFile(rc, "NoGrabServer\nDecorateTransients\nUsePPosition \"on\"\nRandomPlacement\n"
                                 "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\nIconFont \"fixed\"\n"
                                 "IconManagerFont \"fixed\"\n");
    pid_ = fork();
    if (pid_ == 0) {
      setenv("DISPLAY", display.c_str(), 1);
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      if (manager == kTwm) execlp("twm", "twm", "-f", rc.c_str(), static_cast<char*>(nullptr));
      execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      _exit(127);
    }
    return WaitFor([&] {
      if (manager == kTwm)  // twm says nothing on the root window, but makes windows of its own there
        return testsupport::Run("DISPLAY=" + display + " xwininfo -root -children 2>/dev/null").find(" 0 children") ==
               std::string::npos;
      return testsupport::Run("DISPLAY=" + display + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")
                 .find("window id") != std::string::npos;
    });
  }
  // A window manager busy elsewhere: windows wait to be placed until it is let go.
  void Hold(bool held) {
    if (pid_ > 0) kill(pid_, held ? SIGSTOP : SIGCONT);
  }
  ~WindowManager() {
    if (pid_ > 0) {
      kill(pid_, SIGCONT);
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

class ApplicationOnScreen : public ::testing::TestWithParam<Manager> {};

TEST_P(ApplicationOnScreen, DialogsPaintAndWaitIdle) {
  const std::string exe = ExecutableFolder() + "../app/brivane";
  if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "the executable is not built: " << exe;
  if (!testsupport::HaveTool("xdotool") || !testsupport::HaveTool("import"))
    GTEST_SKIP() << "xdotool or ImageMagick's import is not installed";
  testsupport::VirtualScreen screen;
  if (!screen.Start()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
  testsupport::ScratchDir dir;
  WindowManager wm;
  if (GetParam() && !wm.Start(screen.Display(), GetParam(), dir.path()))
    GTEST_SKIP() << (GetParam() == kTwm ? "twm" : "openbox") << " (or xprop, xwininfo) is not installed or did not start";

  testsupport::WriteFile(dir / "zero.bva", "");
  testsupport::WriteSilentWav(dir / "a.wav");
  testsupport::WriteSilentWav(dir / "b.wav");
  // A project of two sound files whose folder has been moved since it was saved.
  const std::string gone = (dir / "inputs").string();
  testsupport::WriteFile(dir / "two.bva",
                         "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane version_major=\"1\" version_minor=\"0\" >\n"
                         "<castora_jobs current_data=\"0\" batch_mode=\"false\" >\n"
                         "<castora_data input=\"" + gone + "/a.wav\" swf_fps=\"12\" />\n"
                         "<castora_data input=\"" + gone + "/b.wav\" swf_fps=\"12\" />\n"
                         "</castora_jobs>\n</brivane>\n</xml>\n");
  // The same for rows that save it.
  for (const char* copy : {"once.bva", "root.bva"}) std::filesystem::copy_file(dir / "two.bva", dir / copy);

  const std::string empty =
      "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane version_major=\"1\" version_minor=\"0\" >\n"
      "<castora_jobs current_data=\"0\" batch_mode=\"false\" >\n</castora_jobs>\n</brivane>\n</xml>\n";
  // A missing file of a long path: its question grows the dialog rather than being cut off.
  // The long paths lie outside the scratch folder, under a folder that never exists, so that
  // the text and its line breaks (and so what tesseract reads) are the same whatever the
  // temporary folder's path.
  const std::string deep =
      "/nonexistent/" + std::string(60, 'd') + "/" + std::string(60, 'e') + "/" + std::string(60, 'f');
  testsupport::WriteFile(dir / "deep.bva", empty.substr(0, empty.find("</castora_jobs>")) +
                                               "<castora_data input=\"" + deep + "/a.wav\" swf_fps=\"12\" />\n" +
                                               empty.substr(empty.find("</castora_jobs>")));
  // Missing files of paths of long folder names without blanks, of 513 to 3,847 bytes: the
  // question grows as tall as the screen allows, and scrolls beyond.
  // Each ends in folders of 60 q, then 28 r and the name, which tesseract reads whole in
  // either dialog; a first folder takes up the bytes that the folders of q leave.
  for (std::size_t bytes : {513, 1062, 2038, 3847}) {
    const std::string end = "/" + std::string(28, 'r') + "/song.wav";
    std::string path = "/nonexistent/";
    const std::size_t folders = (bytes - path.size() - end.size() - 1) / 61;
    path += std::string(bytes - path.size() - end.size() - folders * 61, 'p');
    for (std::size_t i = 0; i < folders; ++i) path += "/" + std::string(60, 'q');
    path += end;
    testsupport::WriteFile(dir / ("path" + std::to_string(bytes) + ".bva"),
                           empty.substr(0, empty.find("</castora_jobs>")) + "<castora_data input=\"" + path +
                               "\" swf_fps=\"12\" />\n" + empty.substr(empty.find("</castora_jobs>")));
  }
  testsupport::WriteFile(dir / "long.bva", empty);
  testsupport::WriteFile(dir / "moved.bva", empty);
  const std::string longName = "type:" + std::string(253, 'n');
  const char* kLongName = longName.c_str();
  constexpr const char* kQuestion = "song.wav\" cannot be found. Do you want to locate it?|Don't Relocate";
  constexpr const char* kBatchMode = "F10 Right Down Return";  // Edit > Batch Mode: a change to save
  const Case cases[] = {
      {"damaged project", "zero.bva", {{"Error", "Return"}}},
      {"left out", "two.bva",
       {{"Missing Audio File", "Escape"}, {"Missing Audio File", "Escape"}, {"Error", "Return"}}},
      // Relocate, then cancel the chooser: the box that says the job is left out, which
      // Escape answers as its only button does; then the second file's question.
      {"relocation cancelled", "two.bva",
       {{"Missing Audio File", "Return"}, {kChooser, "Escape"}, {"Missing Audio File", "Escape"},
        {"Missing Audio File", ""}}},
      // The chooser starts in the folder nearest the missing file: a name typed alone is
      // found there, and the second file then beside it.
      {"relocation chooser starts by the missing file", "two.bva",
       {{"Missing Audio File", "Return"}, {kChooser, "type a.wav"}, {kChooser, "Return", false},
        {"\\*two.bva", "", false}}},
      // A name typed with its extension gets the application's own question, and Escape
      // there keeps the file.
      {"one question before replacing", "good.bva",
       {{"good.bva", "ctrl+shift+s", false}, {"Save", "ctrl+a type good.bva"}, {"Save", "Return", false},
        {kReplaceGood, "Escape"}, {"Save", "Escape", false}, {"good.bva", "ctrl+q", false}},
       false, true, "version_minor=\"0\""},
      // The focus starts on Relocate, not on Don't Relocate: Space relocates.
      {"space in the missing-audio dialog", "two.bva",
       {{"Missing Audio File", "space"}, {kChooser, "Escape"}, {"Missing Audio File", ""}}},
      {"long path", "deep.bva",
       {{"Missing Audio File", "Escape", true, "a.wav\" cannot be found. Do you want to locate it?"}, {"Error", "Return"}}},
      // Save As of a name that the extension takes past 255 bytes says it is too long.
      {"name too long", "long.bva",
       {{"long.bva", "ctrl+shift+s", false}, {"Save", kLongName}, {"Error", "Return", true, "is too long"}}},
      // A name on the command line that is not UTF-8 is refused in an alert, not dropped.
      {"name not UTF-8", "\xFF\xFE.bva", {{"Error", "Return", true, "cannot be used because its name is not valid UTF-8"}}},
      // A dialog shown before the window manager has placed the main window is centred over
      // where the main window ends up, not where it was created.
      {"dialog before the main window is placed", "\xFF\xFE.bva",
       {{"Error", "Return", true, "cannot be used because its name is not valid UTF-8"}}, true, false, "", true},
      {"path of 513 bytes", "path513.bva",
       {{"Missing Audio File", "Escape", true, kQuestion}, {"Error", "Return", true, "song.wav"}}},
      {"path of 1062 bytes", "path1062.bva",
       {{"Missing Audio File", "Escape", true, kQuestion}, {"Error", "Return", true, "song.wav"}}},
      // Taller than the screen: the end of the text shows once scrolled to.
      {"path of 2038 bytes", "path2038.bva",
       {{"Missing Audio File", "scroll"}, {"Missing Audio File", "Escape", false, kQuestion},
        {"Error", "scroll"}, {"Error", "Return", false, "song.wav"}}},
      {"path of 3847 bytes", "path3847.bva",
       {{"Missing Audio File", "scroll"}, {"Missing Audio File", "Escape", false, kQuestion},
        {"Error", "scroll"}, {"Error", "Return", false, "song.wav"}}},
      // The keys scroll it too: Page Down and the down arrow to the end, and Return and
      // Escape still answer.
      {"path of 2038 bytes by the keys", "path2038.bva",
       {{"Missing Audio File", "Page_Down Down Escape"},
        {"Error", "Page_Down Page_Down Page_Down Page_Down Page_Down Page_Down Page_Down Down"},
        {"Error", "Return", false, "song.wav"}}},
      // Dialogs open over the main window where the user has put it, choosers too.
      {"main window moved", "moved.bva",
       {{"moved.bva", "move", false}, {"moved.bva", "ctrl+o", false}, {"Open", "Escape"},
        {"moved.bva", kBatchMode, false}, {"\\*moved.bva", "ctrl+n", false}, {"Unsaved Changes", "Escape"}},
       false, false, "", false, true},
      {"main window maximised", "moved.bva",
       {{"moved.bva", "maximise", false}, {"moved.bva", "ctrl+o", false}, {"Open", "Escape"}},
       false, false, "", false, true},
      // Destroyed by another X client, a dialog is cancelled: the chooser, the missing-audio
      // question (its cancel leaves the job out, which a message says) and that message.
      {"dialogs destroyed from outside", "two.bva",
       {{"Missing Audio File", "Return"}, {kChooser, "destroy"}, {"Missing Audio File", "destroy"},
        {"Missing Audio File", "destroy"}, {"Error", "destroy"}, {"two.bva", "ctrl+q", false}},
       false, true},
      // The same as soon as each is there, and with the pointer on the root window, where
      // the errors for what the application still asks of them come late; the unsaved-changes
      // question too. Then Ctrl+S saves and Ctrl+Q asks.
      {"dialogs destroyed at once", "once.bva",
       {{"Missing Audio File", "destroy at once"}, {"Missing Audio File", "destroy at once"},
        {"Error", "destroy at once"}, {"once.bva", kBatchMode, false}, {"\\*once.bva", "ctrl+s", false},
        {"once.bva", kBatchMode, false}, {"\\*once.bva", "ctrl+q", false}, {"Unsaved Changes", "Escape"}},
       false, false, "", false, true},
      {"dialogs destroyed from the root window", "root.bva",
       {{"Missing Audio File", "destroy from the root"}, {"Missing Audio File", "destroy from the root"},
        {"Error", "destroy from the root"}, {"root.bva", kBatchMode, false}, {"\\*root.bva", "ctrl+n", false},
        {"Unsaved Changes", "destroy from the root"}, {"\\*root.bva", "ctrl+s", false},
        {"root.bva", kBatchMode, false}, {"\\*root.bva", "ctrl+q", false}, {"Unsaved Changes", "Escape"}},
       false, false, "", false, true},
      // A chooser destroyed under its question takes the question with it: nothing replaced.
      {"chooser destroyed under its question", "good.bva",
       {{"good.bva", "ctrl+shift+s", false}, {"Save", "ctrl+a type good"}, {"Save", "Return", false},
        {kReplaceGood, "destroy the chooser"}, {"good.bva", kBatchMode, false}, {"\\*good.bva", "ctrl+q", false},
        {"Unsaved Changes", "space"}},
       false, true, "batch_mode=\"true\"", false, true},
      // By the corner of the screen, a dialog stands whole on the screen, its frame too.
      {"main window by the corner of the screen", "moved.bva",
       {{"moved.bva", "move 1000 550", false}, {"moved.bva", "ctrl+shift+s", false}, {"Save", "Escape"},
        {"moved.bva", kBatchMode, false}, {"\\*moved.bva", "ctrl+n", false}, {"Unsaved Changes", "Escape"}},
       false, false, "", false, true},
      // The focus starts on Save, not on Don't Save: Space saves.
      {"space in the save question", "space.bva",
       {{"space.bva", kBatchMode, false}, {"\\*space.bva", "ctrl+q", false}, {"Unsaved Changes", "space"}},
       false, true, "batch_mode=\"true\""},
      // The window manager's close: Cancel in a dialog that has one, the only button in
      // one that has one, and Quit (asking first) in the main window.
      // A dialog minimised comes back: the application would wait for it with nothing shown.
      {"closed by the window manager", "two.bva",
       {{"Missing Audio File", "minimise"}, {"Missing Audio File", "alt+F4", false}, {"Missing Audio File", "alt+F4"},
        {"Error", "alt+F4"},
        {"two.bva", "alt+F4", false}},
       true, true},
      {"relocation chooser closed by the window manager", "two.bva",
       {{"Missing Audio File", "Return"}, {kChooser, "alt+F4"}, {"Missing Audio File", ""}}, true},
      // The question a file dialog asks answers the close as its cancel button does.
      {"replace question closed by the window manager", "good.bva",
       {{"good.bva", "ctrl+shift+s", false}, {"Save", "ctrl+a type good"}, {"Save", "Return", false},
        {kReplaceGood, "alt+F4"}, {"Save", "Escape", false}, {"good.bva", "ctrl+q", false}},
       true, true, "version_minor=\"0\""},
      {"unsaved changes closed by the window manager", "close.bva",
       {{"close.bva", kBatchMode, false}, {"\\*close.bva", "alt+F4", false}, {"Unsaved Changes", "alt+F4"},
        {"\\*close.bva", "alt+F4", false}, {"Unsaved Changes", "Return"}},
       true, true, "batch_mode=\"true\""},
  };
  const std::filesystem::path shots = testsupport::ShotsDir("app");
  for (const Case& c : cases) {
    if ((c.windowManager && GetParam() != kOpenbox) || (GetParam() == kTwm && !c.everyManager)) continue;
    SCOPED_TRACE(std::string(c.name) + (GetParam() == kOpenbox ? ", under openbox" : GetParam() ? ", under twm" : ""));
    if (*c.saved) testsupport::WriteFile(dir / c.document, empty);
    if (c.busyWindowManager) wm.Hold(true);
    App app(screen, dir.path() / "home", (dir / c.document).string());
    if (c.busyWindowManager) {
      const bool created = WaitFor([&] { return app.Exists(std::string("^") + c.steps[0].title + "$"); });
      wm.Hold(false);
      ASSERT_TRUE(created) << "the first dialog was never created";
    }
    std::string previous, main;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      SCOPED_TRACE(step.title);
      std::string id;
      // A fresh window: not the one the last key has just closed.
      ASSERT_TRUE(WaitFor([&] {
        id = app.Window(step.title);
        const bool chooser = std::string(step.title) == kChooser;
        return !id.empty() && (id != previous || !step.fresh) && app.Window(kChooser).empty() != chooser;
      })) << "never shown; the process " << (app.Running() ? "runs" : "has ended") << ", windows shown:\n"
           << app.Windows() << "its output:\n" << testsupport::ReadFile(dir.path() / "home" / "output.txt")
           << testsupport::ReadFile(dir.path() / "home" / "errors.txt");
      if (!step.fresh && std::string(step.title).find(".bva") != std::string::npos) main = id;
      if (std::string(step.key) == "destroy at once") {  // before it is even painted
        app.Xdo("windowclose " + id);
        previous = id;
        continue;
      }
      if (step.fresh) {
        // A dialog to the window manager, transient for a window of the application, and
        // centred over the main window (give or take a title bar), choosers too; one too tall
        // for that is kept on the screen's 1,024 rows instead.
        const std::string properties = app.Properties(id);
        EXPECT_NE(properties.find("_NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos) << properties;
        EXPECT_NE(properties.find("WM_TRANSIENT_FOR(WINDOW)"), std::string::npos) << properties;
        if (main.empty()) main = app.Window("Brivane|.*\\.bva");
        // A window is mapped, then placed: on a busy machine its first place may show. Where
        // the main window stands by the screen's edge, the dialog moves just far enough to
        // stand whole on the screen, its frame included.
        std::string where;
        EXPECT_TRUE(WaitFor([&] {
          const std::array<int, 4> over = app.Frame(main), dialog = app.Frame(id);
          const auto kept = [](int centred, int size, int screen) { return std::max(0, std::min(centred, screen - size)); };
          const int dx = dialog[0] - kept(over[0] + (over[2] - dialog[2]) / 2, dialog[2], 1280);
          const int dy = dialog[1] - kept(over[1] + (over[3] - dialog[3]) / 2, dialog[3], 1024);
          where = "the dialog's frame is at " + std::to_string(dialog[0]) + "," + std::to_string(dialog[1]) + ", " +
                  std::to_string(dialog[2]) + "x" + std::to_string(dialog[3]) + ", " + std::to_string(dx) + "," +
                  std::to_string(dy) + " off centre over the main window's";
          return std::abs(dx) <= 30 && std::abs(dy) <= 30 && dialog[0] >= 0 && dialog[1] >= 0 &&
                 dialog[0] + dialog[2] <= 1280 && dialog[1] + dialog[3] <= 1024;
        }, 20)) << where;
      }
      const auto shown = Clock::now();
      const std::filesystem::path shot =
          shots / (std::string(c.name) + (GetParam() == kOpenbox ? "-wm-" : GetParam() ? "-twm-" : "-") +
                   std::to_string(i) + ".png");
      ASSERT_TRUE(WaitFor([&] { return app.Painted(id, shot); })) << "never painted";
      const double paint = Since(shown);
      std::printf("%s%s, %s: painted %.0f ms after it appeared\n", c.name, GetParam() ? " (window manager)" : "",
                  step.title, paint * 1000);
      if (std::string(c.name) == "long path") {
        // The dialog grew to hold the whole question.
        EXPECT_GT(app.Geometry(id)[3], 140) << "the dialog kept its size for a long path";
      }
      // Waiting for the user costs (next to) nothing.
      double used = 0;
      EXPECT_TRUE(GoesIdle(app.Pid(), &used)) << "busy while waiting: " << used * 100 << "% of a core";
      if (*step.reads && testsupport::HaveTool("tesseract")) {
        // Read once the process is idle, when the screen shows all it was given; read again
        // only when something is missing (a busy machine may yet show a scroll half done).
        std::string read;
        int readings = 0;
        const auto reading = Clock::now();
        EXPECT_TRUE(WaitFor([&] { return ++readings, ReadsAll(read = app.Read(id, shot), step.reads); }, 120))
            << "read: " << read;
        std::printf("%s%s, %s: read in %.1f s (%d readings)\n", c.name, GetParam() ? " (window manager)" : "",
                    step.title, Since(reading), readings);
      }
      if (std::string(step.key) == "minimise") {
        app.Xdo("windowminimize " + id);
      } else if (std::string(step.key).starts_with("type ")) {
        app.Xdo("windowfocus --sync " + id + " " + step.key);
      } else if (std::string(step.key).starts_with("type:")) {  // a name typed over the proposed one
        app.Xdo("windowfocus --sync " + id + " key ctrl+a type --delay 2 '" + std::string(step.key + 5) + "'");
        app.Xdo("key Return");
      } else if (std::string(step.key) == "scroll") {  // the mouse wheel over the text, to its end
        app.Xdo("mousemove --window " + id + " 200 200 click --repeat 100 --delay 5 5");
      } else if (std::string(step.key).starts_with("move") || std::string(step.key) == "maximise") {
        const std::array<int, 4> before = app.Geometry(id);
        if (std::string(step.key).starts_with("move")) {
          app.Xdo("windowmove " + id + " " + (std::string(step.key) == "move" ? "500 400" : step.key + 5));
        } else if (GetParam() == kOpenbox) {  // a double click on the title bar
          const std::pair<int, int> title = app.TitleBar(id);
          app.Xdo("mousemove " + std::to_string(title.first) + " " + std::to_string(title.second) + " click --repeat 2 1");
        } else {
          app.Xdo("windowmove " + id + " 0 0 windowsize " + id + " 100% 100%");
        }
        // The dialog that follows is asked for once the main window stands where it goes.
        EXPECT_TRUE(WaitFor([&] {
          const std::array<int, 4> now = app.Geometry(id);
          return std::string(step.key).starts_with("move") ? now != before : now[2] > before[2] + 300;
        }, 20)) << step.key;
      } else if (std::string(step.key).starts_with("destroy")) {
        if (std::string(step.key) == "destroy from the root") app.Xdo("mousemove 1279 1023");
        app.Xdo("windowclose " + (std::string(step.key) == "destroy the chooser" ? app.Window("Save") : id));
      } else if (*step.key) {
        app.Xdo("windowfocus --sync " + id + " key " + step.key);
      }
      previous = id;
    }
    if (c.ends) {
      EXPECT_TRUE(WaitFor([&] { return !app.Running(); })) << "the application did not quit";
      EXPECT_TRUE(WIFEXITED(app.Status()) && WEXITSTATUS(app.Status()) == 0) << "wait status " << app.Status();
      if (*c.saved) {
        EXPECT_NE(testsupport::ReadFile(dir / c.document).find(c.saved), std::string::npos);
      }
    }
  }
}

// The main window keeps the size it is given, as often as it is given, and can be made
// smaller again.
INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, ApplicationOnScreen, ::testing::Values(kNoManager, kOpenbox, kTwm),
                         [](const ::testing::TestParamInfo<Manager>& info) {
                           return std::string(info.param == kOpenbox ? "openbox" : info.param ? "twm" : "none");
                         });

// The display going away under the application ends it with status 1, saying so, and
// naming the project whose unsaved changes are lost, as the end of the input does headless.
TEST(MainWindowOnScreen, SaysWhatIsLostWithTheDisplay) {
  const std::string exe = ExecutableFolder() + "../app/brivane";
  if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "the executable is not built: " << exe;
  if (!testsupport::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  testsupport::VirtualScreen screen;
  if (!screen.Start()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
  WindowManager wm;
  if (!wm.Start(screen.Display())) GTEST_SKIP() << "openbox (or xprop) is not installed or did not start";
  testsupport::ScratchDir dir;
  App app(screen, dir.path() / "home", "");
  std::string id;
  ASSERT_TRUE(WaitFor([&] { return !(id = app.Window("Brivane")).empty(); }));
  app.Xdo("windowfocus --sync " + id + " key F10 Right Down Return");  // Edit > Batch Mode
  ASSERT_TRUE(WaitFor([&] { return !app.Window("\\*Brivane").empty(); })) << app.Windows();
  screen.Stop();
  ASSERT_TRUE(WaitFor([&] { return !app.Running(); }));
  EXPECT_TRUE(WIFEXITED(app.Status()) && WEXITSTATUS(app.Status()) == 1) << "wait status " << app.Status();
  const std::string errors = testsupport::ReadFile(dir.path() / "home" / "errors.txt");
  EXPECT_NE(errors.find("brivane: the connection to the display was lost"), std::string::npos) << errors;
  EXPECT_NE(errors.find("the unsaved changes to the project \"Untitled\" were not saved and are lost"),
            std::string::npos) << errors;
}

TEST(MainWindowOnScreen, KeepsTheSizeItIsGiven) {
  const std::string exe = ExecutableFolder() + "../app/brivane";
  if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "the executable is not built: " << exe;
  if (!testsupport::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  testsupport::VirtualScreen screen;
  if (!screen.Start()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
  testsupport::ScratchDir dir;
  App app(screen, dir.path() / "home", "");
  std::string id;
  ASSERT_TRUE(WaitFor([&] { return !(id = app.Window("Brivane")).empty(); }));
  // First the size its window description gives: 640 by 420, and the menu bar above.
  std::pair<int, int> first;
  EXPECT_TRUE(WaitFor([&] { first = app.Size(id); return first.first == 640 && first.second > 420; }, 20));
  EXPECT_EQ(first.first, 640);
  EXPECT_GT(first.second, 420);
  EXPECT_LT(first.second, 460);
  for (std::pair<int, int> size : {std::pair{800, 560}, {800, 560}, {800, 560}, {500, 300}, {640, 420}}) {
    app.Xdo("windowsize " + id + " " + std::to_string(size.first) + " " + std::to_string(size.second));
    std::pair<int, int> now;
    EXPECT_TRUE(WaitFor([&] { return (now = app.Size(id)) == size; }, 20))
        << "asked " << size.first << "x" << size.second << ", got " << now.first << "x" << now.second;
  }
}

}  // namespace
