// Controls on a real screen (the GTK back end under Xvfb) show what their model holds and
// hand the user's input to the model as the user gave it: typing in the middle of a field
// and typing fast on a busy machine, scroll bars dragged to their ends, lists that keep
// their place, pop-up separators, default and cancel buttons, the colour chooser, slider
// ticks and button icons. Driven by xdotool, judged from ImageMagick screenshots.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/ui/Buttons.h"
#include "framework/ui/DataBrowserList.h"
#include "framework/ui/EditText.h"
#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"
#include "support/Screen.h"
#include "support/TestSupport.h"
#include "toolbox/Controls.h"
#include "toolbox/Display.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Icons.h"
#include "toolbox/Menus.h"
#if BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif

using namespace toolbox;

// The leak checker's list of GTK's own caches comes with the other screen tests of this
// program (controls_screen_oracle_test.cpp).

namespace {

class TestWindow : public WindowBase {
 public:
  std::vector<std::string> commands;
  std::function<void()> onCommand;  // called as each command arrives
  ScrollBar* bar = nullptr;
  bool OnInitDialog() override { return true; }
  bool OnCommand(std::uint32_t command, EventRef*) override {
    commands.push_back(FourCCText(command));
    if (onCommand) onCommand();
    return false;
  }
  bool OnLButtonDown(int, int, std::uint32_t) override { return bar && bar->TrackClick(); }
};

// Busy loops on every core while it lives: the screen must keep up with a loaded machine.
// The loops end with the test process, however it ends.
class BusyMachine {
 public:
  explicit BusyMachine(bool on) {
    const unsigned n = on ? std::clamp(std::thread::hardware_concurrency(), 2u, 4u) : 0;
    for (unsigned i = 0; i < n; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == 1) _exit(0);  // the test ended before the line above
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  ~BusyMachine() {
    for (pid_t pid : children_) kill(pid, SIGKILL);
    for (pid_t pid : children_) waitpid(pid, nullptr, 0);
  }

 private:
  std::vector<pid_t> children_;
};

class ControlsFollowTheModel : public ::testing::Test {
 protected:
  void SetUp() override {
#if !BRIVANE_HAVE_GTK
    GTEST_SKIP() << "built without GTK 3: no screen back end";
#else
    for (const char* tool : {"xdotool", "import", "convert"})
      if (!testsupport::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    if (Display().empty()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
    setenv("DISPLAY", Display().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);  // no desktop settings service here
    std::unique_ptr<DisplayBackend> gtk = MakeGtkBackend();
    if (!gtk) GTEST_SKIP() << "GTK could not open the display " << Display();
    ResetEventModel();
    ResetWindowModel();
    ResetMenuModel();
    SetDisplayBackend(std::move(gtk));
#endif
  }
  void TearDown() override {
    SetDisplayBackend(nullptr);
    ResetWindowModel();
  }

  // GTK opens its display once per process: every test of the process shares one server.
  static const std::string& Display() {
    return testsupport::SharedScreen().Display();
  }

  static void Pump(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      std::unique_ptr<Event> e;
      if (ReceiveNextEvent(0.02, &e) == kNoErr && e) DispatchQueuedEvent(e.get());
    } while (std::chrono::steady_clock::now() < end);
  }
  // Runs the model and GTK until `done` holds; false when it still does not after a time
  // long enough for a very busy machine.
  static bool PumpUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      Pump(0.05);
    }
    return true;
  }

  // The same with the model polling without waiting: all that waits arrives at once.
  static bool PollUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::unique_ptr<Event> e;
      if (ReceiveNextEvent(0, &e) == kNoErr && e) DispatchQueuedEvent(e.get());
    }
    return true;
  }

  void Xdo(const std::string& args) {
    int status = -1;
    const std::string out = testsupport::Run("DISPLAY=" + Display() + " xdotool " + args + " 2>&1", &status);
    EXPECT_EQ(status, 0) << args << ": " << out;
  }
  std::string At(int x, int y) const { return std::to_string(ox_ + x) + " " + std::to_string(oy_ + y); }
  // (From the screen's corner: a synchronous move to where the mouse already is would wait.)
  void Click(int x, int y) { Xdo("mousemove 0 0 mousemove --sync " + At(x, y) + " click 1"); }

  // Shows the window and finds where its content lies on screen.
  void Show(TestWindow& w, const std::string& title) {
    SetWindowTitle(w.GetWindow(), std::wstring(title.begin(), title.end()));
    w.Show(true);
    ASSERT_TRUE(PumpUntil([&] { return testsupport::FindXWindow(Display(), "^" + title + "$", &ox_, &oy_); }))
        << title << " never showed";
  }

  // A screenshot once the screen has settled: the same twice running.
  std::string SettledShot() {
    const std::string a = (dir_ / "a.png").string(), b = (dir_ / "b.png").string();
    std::string previous;
    PumpUntil([&] {
      Pump(0.1);
      if (!testsupport::Screenshot(Display(), a)) return false;
      const std::string now = testsupport::Run("convert '" + a + "' -depth 8 rgb:- | md5sum");
      const bool same = now == previous;
      previous = now;
      return same;
    }, 30);
    std::filesystem::copy_file(a, b, std::filesystem::copy_options::overwrite_existing);
    if (const char* keep = std::getenv("BRIVANE_KEEP_SCREENSHOT"))
      std::filesystem::copy_file(b, keep, std::filesystem::copy_options::overwrite_existing);
    return b;
  }
  // The pixels of a rectangle of the window's content in a screenshot.
  std::vector<std::string> Pixels(const std::string& shot, const Rect& r) const {
    return testsupport::Pixels(shot, ox_ + r.left, oy_ + r.top, r.Width(), r.Height());
  }

  int ox_ = 0, oy_ = 0;
  testsupport::ScratchDir dir_;
};

TEST_F(ControlsFollowTheModel, EditFieldTakesEveryKeyWhereTheCursorIs) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 420, 110, kWindowFlagUtility, WindowRef{}));
  EditText field, other;
  ASSERT_TRUE(field.Create(&w, FourCC("edit"), Rect{10, 10, 40, 400}, L""));
  ASSERT_TRUE(other.Create(&w, FourCC("othr"), Rect{60, 10, 90, 400}, L""));
  Show(w, "Brivane typing");
  if (HasFatalFailure()) return;
  struct Case {
    const char* name;
    int mode;
    std::wstring start;
    std::vector<std::string> steps;  // xdotool commands
    std::wstring want;
    bool loaded;          // with every core busy
    bool polled = false;  // the model polls without waiting: all of it arrives at once
  };
  // The window moved away and back: a report that waits in the input queue before the keys
  // after it.
  const std::string nudge =
      "search --name '^Brivane typing$' windowmove %1 " + At(30, 0) + " windowmove %1 " + At(0, 0);
  const std::vector<Case> cases = {
      {"typed at the start", EditText::kAny, L"hello world", {"key Home", "type XYZ"}, L"XYZhello world", false},
      {"backspace after typing in the middle", EditText::kAny, L"hello world",
       {"key Home", "type XYZ", "key BackSpace"}, L"XYhello world", false},
      {"delete after moving", EditText::kAny, L"hello", {"key Home Right Right", "key Delete"}, L"helo", false},
      {"typed over a selection", EditText::kAny, L"hello world", {"key ctrl+a", "type ab"}, L"ab", false},
      {"filtered keys typed fast", EditText::kUnsignedDecimal, L"", {"type --delay 1 '12a.5.'"}, L"12.5", true},
      {"a sentence typed fast", EditText::kAny, L"", {"type --delay 1 'the quick brown fox'"},
       L"the quick brown fox", true},
      {"a blocked key typed over a selection", EditText::kDigits, L"123", {"key ctrl+a", "type x", "key End", "type 4"},
       L"1234", false},
      {"fast typing in the middle", EditText::kDigits, L"1199", {"key Home Right Right", "type --delay 1 '2x3y4'"},
       L"1123499", true},
      // Caret moves reach the model in order with the keys, also behind input waiting.
      {"typed at the start behind a window move", EditText::kAny, L"", {"type abc", "key Home", nudge, "type X"},
       L"Xabc", false, true},
      {"delete behind a window move", EditText::kAny, L"hello", {"key Home", nudge, "key Delete"}, L"ello", false,
       true},
      {"typed over a selection behind a window move", EditText::kAny, L"hello",
       {"key End shift+Left shift+Left", nudge, "type p"}, L"help", false, true},
      // The click at the end left the caret where it stood: the focus selected nothing.
      {"typed after a click at the end behind a window move", EditText::kAny, L"abc", {nudge, "type X"}, L"abcX",
       false, true},
      {"an arrow after typing that waits", EditText::kAny, L"", {"type abc", nudge, "type X", "key Left", "type Y"},
       L"abcYX", false, true},
      {"delete after arrows behind typing that waits", EditText::kAny, L"",
       {"type abc", nudge, "type X", "key Left Left", "key Delete"}, L"abX", false, true},
      // GTK fetches a paste from the clipboard's owner (another program here), and hears back
      // only after the keys typed after it: the paste still lands where it was asked for.
      {"pasted at the end, then at the start", EditText::kAny, L"hello", {"key ctrl+v Home shift+Insert"},
       L"PASTEhelloPASTE", false, true},
      {"typed around a paste", EditText::kAny, L"", {"type ab", "key ctrl+v", "type cd"}, L"abPASTEcd", false, true},
      // A cut takes what the model has selected by then, and the paste after it gets that.
      {"cut behind typing that waits", EditText::kAny, L"",
       {"type abc", nudge, "type X", "key shift+Left ctrl+x Home ctrl+v"}, L"Xabc", false, true},
  };
  // The clipboard's owner: xclip serves "PASTE" until the screen goes.
  int status = -1;
  if (testsupport::HaveTool("xclip"))
    testsupport::Run("printf PASTE | DISPLAY=" + Display() + " xclip -selection clipboard -i >/dev/null 2>&1", &status);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (status != 0 && c.want.find(L"PASTE") != std::wstring::npos) {
      std::printf("%s: skipped, xclip is not installed or failed\n", c.name);
      continue;
    }
    // The other field first, so that a click focuses this one afresh.
    Click(200, 75);
    ASSERT_TRUE(PumpUntil([&] { return GetKeyboardFocus(w.GetWindow()) == other.GetControl(); }));
    field.SetInputMode(c.mode);
    field.SetText(c.start, true);
    Click(200, 25);
    ASSERT_TRUE(PumpUntil([&] { return GetKeyboardFocus(w.GetWindow()) == field.GetControl(); }));
    {
      BusyMachine busy(c.loaded);
      for (const std::string& step : c.steps) Xdo(step);
      (c.polled ? PollUntil : PumpUntil)([&] { return field.GetText() == c.want; }, 60);
    }
    EXPECT_EQ(field.GetText(), c.want);
  }
}

// Keys reach the model in the order they were typed, even when they all arrive while the
// model polls without waiting: Return commits what was typed before it, not after.
TEST_F(ControlsFollowTheModel, ReturnCommitsWhatWasTypedBeforeIt) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 420, 80, kWindowFlagUtility, WindowRef{}));
  EditText field;
  PushButton ok;
  ASSERT_TRUE(field.Create(&w, FourCC("edit"), Rect{10, 10, 40, 300}, L""));
  ASSERT_TRUE(ok.Create(&w, FourCC("ok  "), Rect{10, 320, 40, 400}, L"OK"));
  SetWindowDefaultButton(w.GetWindow(), ok.GetControl());
  std::vector<std::wstring> committed;
  w.onCommand = [&] { committed.push_back(field.GetText()); };
  Show(w, "Brivane typing in order");
  if (HasFatalFailure()) return;
  Click(100, 25);
  ASSERT_TRUE(PumpUntil([&] { return GetKeyboardFocus(w.GetWindow()) == field.GetControl(); }));
  // Typed while the model does not look: everything waits for its next poll.
  Xdo("type 12");
  Xdo("key Return");
  Xdo("type 3");
  PollUntil([&] { return field.GetText() == L"123"; });
  EXPECT_EQ(field.GetText(), L"123");
  // (The button's hit reaches the window twice: as the hit and as its command.)
  ASSERT_FALSE(committed.empty()) << "Return never pressed the default button";
  for (const std::wstring& text : committed) EXPECT_EQ(text, L"12");
}

TEST_F(ControlsFollowTheModel, ScrollBarReachesItsEndsByClicksAndDrags) {
  TestWindow w;
  ScrollBar bar;
  w.bar = &bar;
  ASSERT_TRUE(w.CreateWindow(100, 100, 340, 60, kWindowFlagUtility, WindowRef{}));
  ASSERT_TRUE(bar.Create(&w, FourCC("sbar"), Rect{20, 10, 36, 310}));
  bar.SetViewSize(true);
  bar.SetRange(0, 1000, true);
  Show(w, "Brivane scrolling");
  if (HasFatalFailure()) return;
  // The thumb takes about a quarter of the track: at value 0 it covers x 10 to 80, at
  // 1000 x 240 to 310.
  struct Case {
    const char* name;
    int start;
    std::function<std::string()> gesture;  // xdotool commands
    std::function<bool(int)> reached;
  };
  const std::vector<Case> cases = {
      {"a click near the end of the track", 0, [&] { return "mousemove --sync " + At(305, 28) + " click 1"; },
       [](int v) { return v >= 900; }},
      {"a drag far past the end", 0,
       [&] {
         return "mousemove --sync " + At(40, 28) + " mousedown 1 mousemove --sync " + At(200, 28) +
                " mousemove --sync " + At(700, 28) + " mouseup 1";
       },
       [](int v) { return v == 1000; }},
      {"a drag far before the start", 1000,
       [&] {
         return "mousemove --sync " + At(280, 28) + " mousedown 1 mousemove --sync " + At(150, 28) +
                " mousemove --sync " + std::to_string(std::max(0, ox_ - 90)) + " " + std::to_string(oy_ + 28) +
                " mouseup 1";
       },
       [](int v) { return v == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bar.SetValue(c.start, true);
    SettledShot();  // the thumb drawn where the value puts it
    Xdo(c.gesture());
    PumpUntil([&] { return c.reached(bar.GetValue()); }, 20);
    EXPECT_TRUE(c.reached(bar.GetValue())) << "value " << bar.GetValue();
  }
}

TEST_F(ControlsFollowTheModel, ListsKeepTheirPlaceAndShowTheModelsSelection) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 420, 330, kWindowFlagUtility, WindowRef{}));
  DataBrowserList tall, sorted, narrow, early;
  const Rect tallBounds{10, 10, 130, 200}, sortedBounds{10, 220, 130, 400}, narrowBounds{150, 10, 190, 400},
      earlyBounds{200, 10, 320, 200};
  ASSERT_TRUE(tall.Create(&w, FourCC("tall"), tallBounds));
  ASSERT_TRUE(sorted.Create(&w, FourCC("sort"), sortedBounds));
  ASSERT_TRUE(narrow.Create(&w, FourCC("narw"), narrowBounds));
  ASSERT_TRUE(early.Create(&w, FourCC("erly"), earlyBounds));
  auto addRow = [](DataBrowserList& list, const std::wstring& text) {
    ListItemRecord r;
    r.mask = kListMaskText;
    r.row = -1;
    r.text = const_cast<wchar_t*>(text.c_str());
    list.AddRows(r);
  };
  ListColumnRecord plain;
  tall.AddColumn(0, plain);
  for (int i = 0; i < 60; ++i) addRow(tall, L"row " + std::to_wstring(i));
  early.AddColumn(0, plain);
  for (int i = 0; i < 60; ++i) addRow(early, L"row " + std::to_wstring(i));
  early.SelectRow(55, true);  // before the window shows, as the font dialog selects its family
  ListColumnRecord titled;
  titled.mask = kListColumnTitle;
  titled.title = L"Name";
  sorted.AddColumn(0, titled);
  for (const wchar_t* t : {L"cherry", L"apple", L"banana"}) addRow(sorted, t);
  ListColumnRecord capped;
  capped.mask = kListColumnWidth;
  capped.width = 60;
  narrow.AddColumn(0, capped);
  addRow(narrow, std::wstring(40, L'W'));
  Show(w, "Brivane lists");
  if (HasFatalFailure()) return;
  const int mid = (tallBounds.left + tallBounds.right) / 2;
  auto highlighted = [&](const std::string& shot, int y) {
    return testsupport::Saturated(Pixels(shot, Rect{static_cast<short>(y), static_cast<short>(mid),
                                                    static_cast<short>(y + 1), static_cast<short>(mid + 1)})
                                      .at(0));
  };
  auto anyHighlighted = [&](const std::string& shot, const Rect& r) {
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
      if (highlighted(shot, y)) return y;
    return -1;
  };
  EXPECT_GE(anyHighlighted(SettledShot(), earlyBounds), 0) << "the row selected before the window showed is out of sight";

  // A selection the program makes is scrolled into view.
  tall.SelectRow(50, true);
  std::string shot = SettledShot();
  int rowY = anyHighlighted(shot, tallBounds);
  ASSERT_GE(rowY, 0) << "the selected row 50 is out of sight";
  rowY += 4;

  // A click on another row keeps the list where it is: the clicked row stays under the
  // mouse, highlighted.
  const int clickY = rowY > tallBounds.top + 40 ? tallBounds.top + 12 : tallBounds.bottom - 12;
  Click(mid, clickY);
  ASSERT_TRUE(PumpUntil([&] { return tall.GetSelectedRow() != 50; }));
  EXPECT_GE(tall.GetSelectedRow(), 40);
  const int chosen = tall.GetSelectedRow();
  EXPECT_TRUE(highlighted(SettledShot(), clickY)) << "the list jumped away from the clicked row " << chosen;

  // A Ctrl-click on the selected row leaves the model's selection, and the screen shows it.
  Xdo("mousemove 0 0 mousemove --sync " + At(mid, clickY) + " keydown ctrl click 1 keyup ctrl");
  Click((sortedBounds.left + sortedBounds.right) / 2, sortedBounds.top + 40);  // after it: a click elsewhere
  ASSERT_TRUE(PumpUntil([&] { return sorted.GetSelectedRow() >= 0; }));
  EXPECT_EQ(tall.GetSelectedRow(), chosen);
  EXPECT_TRUE(highlighted(SettledShot(), clickY)) << "the Ctrl-click emptied the selection on screen";

  // The second click on a header sorts the other way, and the header shows which.
  const std::vector<std::string> unsorted = Pixels(SettledShot(), Rect{10, 220, 34, 400});
  Click(240, 20);
  ASSERT_TRUE(PumpUntil([&] { return GetDataBrowserSortProperty(sorted.GetControl()) == 1; }));
  EXPECT_EQ(GetDataBrowserItemsInOrder(sorted.GetControl()), (std::vector<DataBrowserItemID>{2, 3, 1}));
  const std::vector<std::string> increasing = Pixels(SettledShot(), Rect{10, 220, 34, 400});
  Click(240, 20);
  bool decreasing = false;
  EXPECT_TRUE(PumpUntil([&] {
    GetDataBrowserSortProperty(sorted.GetControl(), &decreasing);
    return decreasing;
  }, 20));
  EXPECT_EQ(GetDataBrowserItemsInOrder(sorted.GetControl()), (std::vector<DataBrowserItemID>{1, 3, 2}));
  const std::vector<std::string> decreasingHeader = Pixels(SettledShot(), Rect{10, 220, 34, 400});
  EXPECT_NE(unsorted, increasing) << "no sort indicator";
  EXPECT_NE(increasing, decreasingHeader) << "the sort indicator does not turn";

  // A column no wider than its maximum: the long text is cut there.
  shot = SettledShot();
  std::vector<std::string> beyond = Pixels(shot, Rect{158, 100, 176, 380});
  std::sort(beyond.begin(), beyond.end());
  beyond.erase(std::unique(beyond.begin(), beyond.end()), beyond.end());
  EXPECT_EQ(beyond.size(), 1u) << "the column is wider than its maximum of 60 pixels";
}

TEST_F(ControlsFollowTheModel, PopupSeparatorsCannotBeChosen) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 260, 160, kWindowFlagUtility, WindowRef{}));
  PopupButton popup;
  ASSERT_TRUE(popup.Create(&w, FourCC("popb"), Rect{10, 10, 40, 160}, L""));
  popup.AddItem(L"First");
  popup.AddSeparator();
  popup.AddItem(L"Third");
  popup.SetSelectedIndex(0);
  Show(w, "Brivane pop-up");
  if (HasFatalFailure()) return;
  const std::vector<std::string> closed = Pixels(SettledShot(), Rect{0, 0, 150, 250});
  Click(85, 25);
  ASSERT_TRUE(PumpUntil([&] { return Pixels(SettledShot(), Rect{0, 0, 150, 250}) != closed; })) << "no menu opened";
  Xdo("key Down Return");  // from "First" the next item that can be chosen is "Third"
  PumpUntil([&] { return popup.GetSelection(nullptr, 0, false) == 2; }, 20);
  EXPECT_EQ(popup.GetSelection(nullptr, 0, false), 2);
}

TEST_F(ControlsFollowTheModel, ReturnAndEscapePressTheDefaultAndCancelButtons) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 300, 120, kWindowFlagUtility, WindowRef{}));
  EditText field;
  PushButton plain, cancel, ok;
  ASSERT_TRUE(field.Create(&w, FourCC("edit"), Rect{10, 10, 40, 200}, L""));
  ASSERT_TRUE(plain.Create(&w, FourCC("plan"), Rect{70, 20, 100, 100}, L"OK"));
  ASSERT_TRUE(cancel.Create(&w, FourCC("not!"), Rect{70, 110, 100, 190}, L"Cancel"));
  ASSERT_TRUE(ok.Create(&w, FourCC("ok  "), Rect{70, 200, 100, 280}, L"OK"));
  SetWindowDefaultButton(w.GetWindow(), ok.GetControl());
  SetWindowCancelButton(w.GetWindow(), cancel.GetControl());
  Show(w, "Brivane buttons");
  if (HasFatalFailure()) return;
  const std::string shot = SettledShot();
  EXPECT_NE(Pixels(shot, Rect{70, 200, 100, 280}), Pixels(shot, Rect{70, 20, 100, 100}))
      << "the default button is drawn like any other";
  struct Case {
    const char* name;
    int x, y;  // clicked first
    const char* key;
    const char* command;
  };
  const Case cases[] = {
      {"Return over the window", 250, 25, "Return", "ok  "},
      {"Enter over the window", 250, 25, "KP_Enter", "ok  "},
      {"Escape over the window", 250, 25, "Escape", "not!"},
      {"Return in a field", 100, 25, "Return", "ok  "},
      {"Escape in a field", 100, 25, "Escape", "not!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.commands.clear();
    Click(c.x, c.y);
    Xdo(std::string("key ") + c.key);
    PumpUntil([&] { return !w.commands.empty(); }, 20);
    // A hit the window does not handle reaches it again as the button's command.
    ASSERT_FALSE(w.commands.empty());
    for (const std::string& heard : w.commands) EXPECT_EQ(heard, c.command);
  }
}

// Each step waits for its effect and repeats what a busy screen can drop (a click that
// reaches the swatch before it is ready, a key the chooser does not take yet); a step that
// never happens ends the test within its own time, naming the step.
TEST_F(ControlsFollowTheModel, ColourSwatchOpensTheColourChooser) {
  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 200, 60, kWindowFlagUtility, WindowRef{}));
  ColorSwatchButton swatch;
  ASSERT_TRUE(swatch.Create(&w, FourCC("clr "), Rect{10, 10, 40, 70}, L""));
  swatch.SetColor(0x0000FF, true);  // red
  Show(w, "Brivane colour");
  if (HasFatalFailure()) return;
  // The step under way; should the test outlive its time, it says which never happened.
  std::atomic<const char*> step{"the window shows"};
  std::atomic<bool> over{false};
  std::thread watchdog([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (!over && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (over) return;
    std::fprintf(stderr, "ColourSwatchOpensTheColourChooser: never happened: %s\n", step.load());
    std::_Exit(1);
  });
  // The chooser is answered from another thread while the model runs it.
  struct Answer {
    bool accept;
    std::string picked;  // RRGGBB of the palette swatch clicked
    std::atomic<bool> shown{false};
    std::atomic<bool> done{false};
  };
  auto chooser = [this](int* x, int* y) { return testsupport::FindXWindow(Display(), "^Choose a color$", x, y); };
  auto answer = [&](Answer* a) {
    int x = 0, y = 0;
    auto until = [](const std::function<bool()>& done, int seconds) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
      while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      return true;
    };
    if (!until([&] { return chooser(&x, &y); }, 120)) return;
    a->shown = true;
    // Answered again until the chooser goes: a key or click it was not ready for is lost.
    until([&] {
      if (!chooser(&x, &y)) return true;
      if (!a->accept) {
        testsupport::Run("DISPLAY=" + Display() + " xdotool mousemove --sync " + std::to_string(x + 100) + " " +
                         std::to_string(y + 100) + " key Escape");
      } else {
        // A palette swatch: a block of one clear colour, other than the red shown now.
        const std::string shot = (dir_ / "chooser.png").string();
        const int width = 400, height = 300;
        std::vector<std::string> p;
        if (testsupport::Screenshot(Display(), shot)) p = testsupport::Pixels(shot, x, y, width, height);
        bool clicked = false;
        for (int r = 0; r + 5 < height && !clicked && p.size() == std::size_t(width * height); ++r) {
          for (int c = 0; c + 5 < width; ++c) {
            const std::string& colour = p[std::size_t(r * width + c)];
            bool block = testsupport::Saturated(colour) && colour != "FF0000";
            for (int d = 1; d <= 5 && block; ++d)
              block = p[std::size_t(r * width + c + d)] == colour && p[std::size_t((r + d) * width + c)] == colour;
            if (!block) continue;
            a->picked = colour;
            testsupport::Run("DISPLAY=" + Display() + " xdotool mousemove --sync " + std::to_string(x + c + 2) + " " +
                             std::to_string(y + r + 2) + " click 1 key Return");
            clicked = true;
            break;
          }
        }
      }
      return until([&] { return !chooser(&x, &y); }, 3);
    }, 120);
    a->done = true;
  };
  // The swatch is clicked until the chooser shows (the model then runs it inside the click).
  auto open = [&](Answer* a) {
    for (int tries = 0; tries < 10 && !a->shown && !a->done; ++tries) {
      Click(40, 25);
      PumpUntil([&] { return a->shown || a->done; }, 5);
    }
    PumpUntil([&] { return a->done.load(); }, 120);
  };

  Answer cancelled{false, {}};
  step = "the chooser shows and is cancelled";
  std::thread cancelling(answer, &cancelled);
  open(&cancelled);
  cancelling.join();
  EXPECT_TRUE(cancelled.shown) << "the colour chooser never showed";
  EXPECT_EQ(swatch.GetColor(), 0x0000FFu) << "Cancel changed the colour";

  Answer accepted{true, {}};
  step = "the chooser shows again and a palette colour is chosen";
  std::thread accepting(answer, &accepted);
  open(&accepted);
  accepting.join();
  step = "the swatch takes the colour chosen";
  PumpUntil([&] { return swatch.GetColor() != 0x0000FF; }, 30);
  over = true;
  watchdog.join();
  ASSERT_FALSE(accepted.picked.empty()) << "no colour chooser with a palette showed";
  const std::uint32_t rgb = std::stoul(accepted.picked, nullptr, 16);
  const std::uint32_t bgr = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
  EXPECT_EQ(swatch.GetColor(), bgr) << "picked " << accepted.picked;
  // The swatch shows the colour the model holds.
  const std::vector<std::string> shown = Pixels(SettledShot(), Rect{24, 38, 26, 42});
  EXPECT_EQ(shown.at(0), accepted.picked);
}

TEST_F(ControlsFollowTheModel, SliderTicksAndButtonIconsShow) {
  // An icon family holding one PNG image of plain magenta.
  const std::string png = (dir_ / "icon.png").string();
  int status = -1;
  testsupport::Run("convert -size 32x32 xc:'#FF00FF' 'png:" + png + "'", &status);
  ASSERT_EQ(status, 0);
  const std::string image = testsupport::ReadFile(png);
  auto be32 = [](std::size_t n) {
    return std::string{char(n >> 24), char((n >> 16) & 0xFF), char((n >> 8) & 0xFF), char(n & 0xFF)};
  };
  const std::string family = "icns" + be32(image.size() + 16) + "ic07" + be32(image.size() + 8) + image;
  IconRef icon;
  ASSERT_EQ(RegisterIconRefFromIconFamily(FourCC("Tst1"), FourCC("TEMP"), family, &icon), kNoErr);

  TestWindow w;
  ASSERT_TRUE(w.CreateWindow(100, 100, 240, 120, kWindowFlagUtility, WindowRef{}));
  Slider slider;
  RadioButton radio;
  BevelMenuButton bevel;
  ASSERT_TRUE(slider.Create(&w, FourCC("sldr"), Rect{10, 10, 50, 210}, L""));
  ASSERT_TRUE(radio.Create(&w, FourCC("rdio"), Rect{64, 10, 110, 80}, L""));
  ASSERT_TRUE(bevel.Create(&w, FourCC("bevl"), Rect{64, 100, 110, 170}, L""));
  ButtonContent content;
  content.kind = ButtonContentKind::kIcon;
  content.icon = FourCC("Tst1");
  ASSERT_EQ(SetBevelButtonContent(radio.GetControl(), content), kNoErr);
  ASSERT_EQ(SetBevelButtonContent(bevel.GetControl(), content), kNoErr);
  Show(w, "Brivane ticks");
  if (HasFatalFailure()) return;
  const std::string shot = SettledShot();
  for (const Rect& r : {Rect{64, 10, 110, 80}, Rect{64, 100, 110, 170}}) {
    const std::vector<std::string> p = Pixels(shot, r);
    EXPECT_NE(std::find(p.begin(), p.end(), "FF00FF"), p.end()) << "no icon in the button at " << r.left;
  }
  // Below the trough, one row crosses all five tick marks: five runs of drawn pixels.
  const std::string background = Pixels(shot, Rect{115, 230, 116, 231}).at(0);
  int most = 0;
  for (int y = 30; y < 50; ++y) {
    const std::vector<std::string> row = Pixels(shot, Rect{static_cast<short>(y), 10, static_cast<short>(y + 1), 210});
    int runs = 0;
    for (std::size_t i = 0; i < row.size(); ++i)
      if (row[i] != background && (i == 0 || row[i - 1] == background)) ++runs;
    most = std::max(most, runs);
  }
  EXPECT_GE(most, 4) << "no tick marks under the slider";
  ReleaseIconRef(icon);
  UnregisterIconRef(FourCC("Tst1"), FourCC("TEMP"));
}

}  // namespace
