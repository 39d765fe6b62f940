#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/ui/Buttons.h"
#include "framework/ui/ControlArrangement.h"
#include "framework/ui/DataBrowserList.h"
#include "framework/ui/EditText.h"
#include "framework/ui/NibRef.h"
#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"
#include "support/TestSupport.h"
#include "support/VirtualScreen.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Display.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"
#if BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif

extern char** environ;
using namespace toolbox;

// GTK and the libraries under it keep process-wide caches they never free; under the leak
// checker only what this program itself leaks is reported.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
         "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
         "leak:libgio-2.0.so\nleak:libatk\n";
}

#if BRIVANE_HAVE_GTK
namespace {

using testsupport::VirtualScreen;

std::vector<std::string>* commands;
std::vector<int>* scrolled;
std::vector<OSType>* chosen;
int commits = 0;

class ControlsWindow : public WindowBase {
 public:
  ScrollBar bar;
  bool OnInitDialog() override { return true; }
  bool OnCommand(std::uint32_t command, EventRef*) override {
    commands->push_back(FourCCText(command));
    return false;
  }
  bool OnLButtonDown(int, int, std::uint32_t) override { return bar.TrackClick(); }
};

// Lets the model and GTK run for a while.
void Pump(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::unique_ptr<Event> e;
    if (ReceiveNextEvent(0.02, &e) == kNoErr && e) DispatchQueuedEvent(e.get());
  }
}

// Lets the model and GTK run until `done` holds; false when it still does not after a time
// long enough for a very busy machine.
bool PumpUntil(const std::function<bool()>& done, double seconds = 60) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Pump(0.05);
  }
  return true;
}

std::string Xdo(const std::string& display, const std::string& args) {
  int status = -1;
  std::string out = testsupport::Run("DISPLAY=" + display + " xdotool " + args, &status);
  EXPECT_EQ(status, 0) << args << ": " << out;
  return out;
}

}  // namespace

TEST(ControlsOnScreen, EveryKindShowsAndFeedsTheModel) {
  VirtualScreen& screen = testsupport::SharedScreen();
  if (screen.Display().empty()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
  if (!testsupport::HaveTool("xdotool") || !testsupport::HaveTool("import"))
    GTEST_SKIP() << "xdotool or ImageMagick's import is not installed";
  setenv("DISPLAY", screen.Display().c_str(), 1);
  std::unique_ptr<DisplayBackend> gtk = MakeGtkBackend();
  if (!gtk) GTEST_SKIP() << "GTK could not open the display " << screen.Display();

  testsupport::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "nibs");
  testsupport::WriteFile(dir.path() / "nibs" / "main.xml", R"(<nib>
  <window name="IDD_CONTROLS" class="utility" title="Brivane controls" left="100" top="100" width="620" height="420">
    <control kind="push" signature="push" id="0" title="Push" left="10" top="10" width="90" height="30"/>
    <control kind="check" signature="chek" id="0" title="Check" left="110" top="10" width="90" height="30"/>
    <control kind="radio" signature="rdio" id="0" title="Radio" left="210" top="10" width="90" height="30"/>
    <control kind="popup" signature="popb" id="0" left="310" top="10" width="120" height="30" minimum="1" maximum="3" value="1">
      <entry title="First"/><entry title="Second"/><entry title="Third"/>
    </control>
    <control kind="bevel" signature="bevl" id="0" title="Menu" left="440" top="10" width="80" height="30">
      <entry title="Alpha" command="alph"/><entry title="Beta" command="beta"/>
    </control>
    <control kind="bevel" signature="clr " id="0" left="530" top="10" width="60" height="30"/>
    <control kind="edit" signature="etxt" id="0" left="10" top="60" width="150" height="30"/>
    <control kind="static" signature="stxt" id="0" title="Static text" left="170" top="60" width="120" height="30"/>
    <control kind="slider" signature="sldr" id="0" left="300" top="60" width="150" height="30" maximum="100" value="10"/>
    <control kind="progress" signature="prgb" id="0" left="460" top="60" width="140" height="20" maximum="100" value="50"/>
    <control kind="scrollbar" signature="sbar" id="0" left="10" top="110" width="300" height="16"/>
    <control kind="list" signature="datb" id="0" left="330" top="110" width="270" height="120"/>
    <control kind="tabs" signature="tabs" id="0" left="10" top="240" width="300" height="160" value="1">
      <entry title="One"/><entry title="Two"/>
    </control>
    <control kind="pane" id="31" left="20" top="280" width="280" height="110"/>
    <control kind="pane" id="32" left="20" top="280" width="280" height="110"/>
  </window>
</nib>)");
  SetResourcesFolder(dir.str());
  ResetEventModel();
  ResetWindowModel();
  ResetMenuModel();
  SetDisplayBackend(std::move(gtk));
  std::vector<std::string> heardCommands;
  std::vector<int> heardScroll;
  std::vector<OSType> heardMenu;
  commands = &heardCommands;
  scrolled = &heardScroll;
  chosen = &heardMenu;
  {
    NibRef nib;
    ASSERT_TRUE(nib.OpenMain());
    ControlsWindow w;
    ASSERT_TRUE(w.Create(nib, L"IDD_CONTROLS", WindowRef{}, 0));
    CheckBox check;
    PopupButton popup;
    BevelMenuButton bevel;
    ColorSwatchButton swatch;
    EditText edit;
    Slider slider;
    DataBrowserList list;
    TabControl tabs;
    ASSERT_TRUE(w.BindControl(FourCC("chek"), &check));
    ASSERT_TRUE(w.BindControl(FourCC("popb"), &popup));
    ASSERT_TRUE(w.BindControl(FourCC("bevl"), &bevel));
    ASSERT_TRUE(w.BindControl(FourCC("clr "), &swatch));
    ASSERT_TRUE(w.BindControl(FourCC("etxt"), &edit));
    ASSERT_TRUE(w.BindControl(FourCC("sldr"), &slider));
    ASSERT_TRUE(w.BindControl(FourCC("sbar"), &w.bar));
    ASSERT_TRUE(w.BindControl(FourCC("datb"), &list));
    ASSERT_TRUE(w.BindControl(FourCC("tabs"), &tabs));
    bevel.SetMenu(GetControlMenu(bevel.GetControl()), false);
    MenuRef more;  // a submenu under the bevel button's last item
    CreateNewMenu(301, L"More", &more);
    AppendMenuItem(more, MenuItemInfo{L"Gamma", FourCC("gamm")});
    std::uint16_t moreItem = 0;
    AppendMenuItem(GetControlMenu(bevel.GetControl()), MenuItemInfo{L"More", 0}, &moreItem);
    SetMenuItemHierarchicalMenu(GetControlMenu(bevel.GetControl()), moreItem, more);
    bevel.menuSignal.Connect(new FunctionSlot<OSType>([](OSType c) { chosen->push_back(c); }));
    swatch.SetColor(0x0000FF, true);
    edit.SetInputMode(EditText::kUnsignedDecimal);
    edit.SetCommitCallback([](EditText*, void*) { ++commits; }, nullptr);
    w.bar.SetViewSize(true);
    w.bar.SetRange(0, 1000, true);
    w.bar.valueSignal.Connect(new FunctionSlot<std::int32_t>([](std::int32_t v) { scrolled->push_back(v); }));
    ListColumnRecord column;
    column.mask = kListColumnTitle;
    column.title = L"Name";
    list.AddColumn(0, column);
    for (const wchar_t* row : {L"apple", L"banana", L"cherry"}) {
      ListItemRecord r;
      r.mask = kListMaskText;
      r.row = -1;
      r.text = const_cast<wchar_t*>(row);
      list.AddRows(r);
    }
    tabs.AddPane(&w, 31);
    tabs.AddPane(&w, 32);
    SetControlHelpText(check.GetControl(), L"A check box");
    w.Show(true);
    int ox = -1, oy = -1;
    auto findWindow = [&](const std::string& title) {  // its top-left corner goes to (ox, oy)
      std::string id;
      ASSERT_TRUE(PumpUntil([&] {
        id = testsupport::Run("DISPLAY=" + screen.Display() + " xdotool search --name '^" + title + "$' 2>/dev/null");
        return !id.empty();
      })) << title << " never showed";
      std::istringstream geometry(Xdo(screen.Display(), "getwindowgeometry --shell " + id.substr(0, id.find('\n'))));
      ox = oy = -1;
      for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("X=", 0) == 0) ox = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0) oy = std::stoi(line.substr(2));
      }
      ASSERT_GE(ox, 0);
    };
    findWindow("Brivane controls");
    if (HasFatalFailure()) return;
    // Each action is followed by the model and GTK running until what it should cause has
    // happened (or a generous time has passed), never for a fixed time.
    auto click = [&](int x, int y, const std::function<bool()>& done) {
      Xdo(screen.Display(), "mousemove " + std::to_string(ox + x) + " " + std::to_string(oy + y) + " click 1");
      PumpUntil(done);
    };
    auto keys = [&](const std::string& k, const std::function<bool()>& done) {
      Xdo(screen.Display(), "key --delay 80 " + k);
      PumpUntil(done);
    };
    auto colours = [&](const std::string& shot, int x, int top, int height) {  // the colours down one column
      return testsupport::Run("convert '" + shot + "' -crop 1x" + std::to_string(height) + "+" +
                              std::to_string(ox + x) + "+" + std::to_string(oy + top) +
                              " +repage -unique-colors -depth 8 txt:- | tail -n +2 | sed 's/.*#\\([0-9A-F]*\\).*/\\1/'");
    };

    // A screenshot first: every control drawn where the nib puts it. Taken again until the
    // swatch, set last, shows its colour: the window has then been drawn.
    const std::string shot = (dir.path() / "controls.png").string();
    int status = -1;
    PumpUntil([&] {
      testsupport::Run("import -display " + screen.Display() + " -window root '" + shot + "'", &status);
      return status != 0 || colours(shot, 560, 25, 1) == "FF0000\n";
    });
    ASSERT_EQ(status, 0);
    // Kept for a person to look at when asked for.
    if (const char* keep = std::getenv("BRIVANE_KEEP_SCREENSHOT"))
      std::filesystem::copy_file(shot, keep, std::filesystem::copy_options::overwrite_existing);
    const std::string background = colours(shot, 610, 410, 1);
    ASSERT_FALSE(background.empty());
    struct { const char* name; Rect r; } shown[] = {
        {"push", {10, 10, 40, 100}}, {"check", {10, 110, 40, 200}}, {"radio", {10, 210, 40, 300}},
        {"popup", {10, 310, 40, 430}}, {"bevel", {10, 440, 40, 520}}, {"edit", {60, 10, 90, 160}},
        {"static", {60, 170, 90, 290}}, {"slider", {60, 300, 90, 450}}, {"progress", {60, 460, 80, 600}},
        {"scrollbar", {110, 10, 126, 310}}, {"list", {110, 330, 230, 600}}, {"tabs", {240, 10, 400, 310}}};
    for (auto c : shown) {
      // The column through the control's centre (a check box's or radio button's short
      // title: a quarter in) holds some colour other than the window's.
      const bool titled = c.name == std::string("check") || c.name == std::string("radio");
      const int x = titled ? (3 * c.r.left + c.r.right) / 4 : (c.r.left + c.r.right) / 2;
      const std::string found = colours(shot, x, c.r.top, c.r.Height());
      EXPECT_NE(found, background) << c.name << " is not drawn where the nib puts it";
    }
    EXPECT_EQ(colours(shot, 560, 25, 1), "FF0000\n");  // the red swatch

    click(55, 25, [&] { return !heardCommands.empty(); });
    EXPECT_EQ(heardCommands, std::vector<std::string>{"push"});
    click(120, 25, [&] { return check.GetValue() != 0; });
    EXPECT_TRUE(check.GetValue());
    click(250, 25, [&] { return heardCommands.back() == "rdio"; });
    EXPECT_EQ(heardCommands.back(), "rdio");
    // A menu opens, and the edit field takes the focus, with nothing in the model to show it:
    // there the pause stays a fixed one.
    auto pause = [] { Pump(1.0); return true; };
    click(370, 25, pause);
    keys("Down Return", [&] { return popup.GetSelection(nullptr, 0, false) != 0; });
    EXPECT_EQ(popup.GetSelection(nullptr, 0, false), 1);
    click(480, 25, pause);
    keys("Down Return", [&] { return !heardMenu.empty(); });
    EXPECT_EQ(heardMenu, std::vector<OSType>{FourCC("alph")});
    click(480, 25, pause);
    keys("Down Down Down Right", pause);  // "More" opens its submenu
    const std::string open = (dir.path() / "submenu.png").string();
    testsupport::Run("import -display " + screen.Display() + " -window root '" + open + "'");
    if (const char* keep = std::getenv("BRIVANE_KEEP_SCREENSHOT"))
      std::filesystem::copy_file(open, std::string(keep) + ".bevel.png", std::filesystem::copy_options::overwrite_existing);
    // The submenu opens beside the menu, right of the window, where only the screen's
    // background was before.
    EXPECT_NE(colours(open, 660, 60, 70), colours(shot, 660, 60, 70)) << "the submenu is not shown";
    keys("Return", [&] { return heardMenu.size() > 1; });
    EXPECT_EQ(heardMenu, (std::vector<OSType>{FourCC("alph"), FourCC("gamm")}));
    click(85, 75, pause);
    Xdo(screen.Display(), "type --delay 80 '12a.5.'");
    PumpUntil([&] { return edit.GetText() == L"12.5"; });
    EXPECT_EQ(edit.GetText(), L"12.5");  // the unsigned-decimal filter ran on every key
    keys("Return", [&] { return commits > 0; });
    EXPECT_EQ(commits, 1);
    click(400, 77, [&] { return slider.GetValue() > 50; });  // on the slider's trough
    EXPECT_GT(slider.GetValue(), 50);
    click(250, 118, [&] { return w.bar.GetValue() > 0 && !heardScroll.empty(); });
    EXPECT_GT(w.bar.GetValue(), 0);
    ASSERT_FALSE(heardScroll.empty());
    EXPECT_EQ(heardScroll.back(), w.bar.GetValue());
    click(465, 175, [&] { return list.GetSelectedRow() >= 0; });
    EXPECT_GE(list.GetSelectedRow(), 0);
    click(108, 258, [&] { return GetControlValue(tabs.GetControl()) == 2; });
    EXPECT_EQ(GetControlValue(tabs.GetControl()), 2);
    EXPECT_TRUE(IsControlVisible(tabs.GetPaneControl(1)));
    EXPECT_FALSE(IsControlVisible(tabs.GetPaneControl(0)));
    if (const char* keep = std::getenv("BRIVANE_KEEP_SCREENSHOT"))
      testsupport::Run("import -display " + screen.Display() + " -window root '" + keep + ".after.png'");
    w.Destroy();

    // The menu bar of a document window shows submenus (recent items) too, and a choice in
    // one reaches the window as that item's command.
    MenuRef file, recent;
    CreateNewMenu(400, L"File", &file);
    CreateNewMenu(401, L"Open Recent", &recent);
    AppendMenuItem(file, MenuItemInfo{L"Open", FourCC("open")});
    AppendMenuItem(file, MenuItemInfo{L"Open Recent", 0});
    AppendMenuItem(recent, MenuItemInfo{L"first.mp3", FourCC("rec1")});
    AppendMenuItem(recent, MenuItemInfo{L"second.mp3", FourCC("rec2")});
    SetMenuItemHierarchicalMenu(file, 2, recent);
    SetMenuBar({file});
    ControlsWindow doc;
    ASSERT_TRUE(doc.CreateWindow(100, 100, 300, 200, kWindowFlagShow, WindowRef{}));
    SetWindowTitle(doc.GetWindow(), L"Brivane document");
    findWindow("Brivane document");
    if (HasFatalFailure()) return;
    click(20, 10, pause);
    keys("Down Down", pause);
    const std::string closed = (dir.path() / "menu-closed.png").string();
    testsupport::Run("import -display " + screen.Display() + " -window root '" + closed + "'");
    keys("Right", pause);  // "Open Recent" opens its submenu
    const std::string recentShot = (dir.path() / "menu-recent.png").string();
    testsupport::Run("import -display " + screen.Display() + " -window root '" + recentShot + "'");
    if (const char* keep = std::getenv("BRIVANE_KEEP_SCREENSHOT"))
      std::filesystem::copy_file(recentShot, std::string(keep) + ".menubar.png",
                                 std::filesystem::copy_options::overwrite_existing);
    // The submenu opens beside its item, over the window's empty content.
    EXPECT_NE(colours(recentShot, 250, 40, 60), colours(closed, 250, 40, 60)) << "the submenu is not shown";
    keys("Down Return", [&] { return !heardCommands.empty() && heardCommands.back() == "rec2"; });
    EXPECT_EQ(heardCommands.back(), "rec2");
    doc.Destroy();
  }
  SetDisplayBackend(nullptr);
  ResetEventModel();
  ResetWindowModel();
  ResetMenuModel();
  SetResourcesFolder("");
}
#else
TEST(ControlsOnScreen, EveryKindShowsAndFeedsTheModel) {
  GTEST_SKIP() << "built without GTK 3: no screen back end";
}
#endif
