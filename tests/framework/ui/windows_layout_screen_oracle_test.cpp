// Every window the framework builds, as the GTK back end shows it under Xvfb: each control
// exactly in its model rectangle and none over another, the system's own texts whole, the
// model's fonts, the alert icons, and the window exactly the model's size. Screenshots go to
// the temporary folder (brivane-shots-layout) for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"
#include "framework/ui/FontDialog.h"
#include "framework/ui/MessageBox.h"
#include "framework/ui/ProgressDialog.h"
#include "framework/ui/RelocateDialogs.h"
#include "support/TestSupport.h"
#include "support/VirtualScreen.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/Display.h"
#include "toolbox/DisplayMirror.h"
#include "toolbox/Events.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"
#include "toolbox/Alerts.h"
#include "toolbox/Windows.h"
#if BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif

using namespace toolbox;

// GTK's own caches are left out of the leak checker's report by the suppressions that
// another screen test of this executable gives.

#if BRIVANE_HAVE_GTK
namespace {

std::string Describe(const Rect& r) {
  std::ostringstream out;
  out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
  return out.str();
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const Rect& outer, const Rect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Whether the window is on screen and laid out at the model's size.
bool LaidOut(WindowRef w) {
  const GtkShownWindow shown = GtkWindowAsShown(w);
  Rect model;
  return shown.shown && GetWindowBounds(w, &model) == kNoErr && shown.content.Width() == model.Width() &&
         shown.content.Height() == model.Height() && !shown.controls.empty();
}

// Checks the window as shown against the model; `longText` names controls whose text may be
// cut (a user's long path).
void CheckWindow(WindowRef w, const std::string& name, const std::string& expectedIcon) {
  SCOPED_TRACE(name);
  const GtkShownWindow shown = GtkWindowAsShown(w);
  ASSERT_TRUE(shown.shown);
  Rect model;
  GetWindowBounds(w, &model);
  EXPECT_EQ(shown.content.Width(), model.Width());
  EXPECT_EQ(shown.content.Height(), model.Height());
  EXPECT_EQ(shown.alertIcon, expectedIcon);
  const WindowView view = ViewOfWindow(w);
  std::vector<std::pair<Rect, Rect>> placed;  // allocation, model bounds
  for (const GtkShownControl& c : shown.controls) {
    const ControlView* v = nullptr;
    for (const ControlView& cv : view.controls)
      if (cv.ref == c.control) v = &cv;
    ASSERT_NE(v, nullptr);
    SCOPED_TRACE("\"" + v->title + "\" at " + Describe(v->bounds));
    EXPECT_LE(std::abs(c.allocation.left - v->bounds.left), 1) << Describe(c.allocation);
    EXPECT_LE(std::abs(c.allocation.top - v->bounds.top), 1) << Describe(c.allocation);
    EXPECT_LE(std::abs(c.allocation.right - v->bounds.right), 1) << Describe(c.allocation);
    EXPECT_LE(std::abs(c.allocation.bottom - v->bounds.bottom), 1) << Describe(c.allocation);
    EXPECT_FALSE(c.textCut);
    EXPECT_FALSE(c.textOverflows);
    EXPECT_EQ(c.fontPixels, v->fontSize > 0 ? v->fontSize : 13);
    EXPECT_EQ(c.bold, v->bold);
    placed.emplace_back(c.allocation, v->bounds);
  }
  // Controls the model nests (a pane in its tab control) may share pixels; others never.
  for (std::size_t i = 0; i < placed.size(); ++i)
    for (std::size_t j = i + 1; j < placed.size(); ++j) {
      const Rect& a = placed[i].second;
      const Rect& b = placed[j].second;
      if (Contains(a, b) || Contains(b, a)) continue;
      EXPECT_FALSE(Overlap(placed[i].first, placed[j].first))
          << Describe(placed[i].first) << " and " << Describe(placed[j].first);
    }
}

// The push button of the front window that sends `command`.
ControlRef ButtonOf(WindowRef w, OSType command) {
  for (ControlRef c : GetWindowControls(w)) {
    OSType id = 0;
    if (GetControlCommandID(c, &id) == kNoErr && id == command) return c;
  }
  return ControlRef{};
}

class WindowsOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    screen = &testsupport::SharedScreen();
    if (screen->Display().empty()) GTEST_SKIP() << "no X server could be started (Xvfb is missing or failed)";
    if (!testsupport::HaveTool("import")) GTEST_SKIP() << "ImageMagick's import is not installed";
    setenv("DISPLAY", screen->Display().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    std::unique_ptr<DisplayBackend> gtk = MakeGtkBackend();
    if (!gtk) GTEST_SKIP() << "GTK could not open the display " << screen->Display();
    SetResourcesFolder((testsupport::SourceDir() / "resources").string());
    SetDisplayBackend(std::move(gtk));
  }
  void TearDown() override {
    SetDisplayBackend(nullptr);
    SetResourcesFolder("");
  }

  // Runs `open` (which runs a modal dialog); once its window is laid out, checks it, takes
  // a screenshot and hits the button that sends `close`.
  void CheckModal(const std::string& name, const std::string& icon, OSType close,
                  const std::function<void()>& open) {
    bool checked = false;
    int laidOut = 0;  // ticks since the window was laid out: GTK paints it meanwhile
    const double start = CurrentEventTime();
    EventLoopTimerRef timer;
    InstallEventLoopTimer(0.05, 0.05, [&](EventLoopTimerRef t) {
      const WindowRef w = FrontWindow();
      if (!checked && LaidOut(w) && ++laidOut > 4) {
        checked = true;
        CheckWindow(w, name, icon);
        EXPECT_TRUE(screen->Shot(testsupport::ShotsDir("layout") / (name + ".png")));
      }
      if (checked || CurrentEventTime() - start > 60) {
        RemoveEventLoopTimer(t);
        if (ControlRef button = ButtonOf(w, close)) HitControl(button);
        else QuitAppModalLoopForWindow(w);
      }
    }, &timer);
    open();
    EXPECT_TRUE(checked) << name << " was never laid out at the model's size";
  }

  static testsupport::VirtualScreen* screen;
};

testsupport::VirtualScreen* WindowsOnScreen::screen = nullptr;

TEST_F(WindowsOnScreen, MessageBoxesOfEveryButtonSetFitTheirModel) {
  const std::wstring longText =
      L"The movie could not be written because the folder \"/home/user/Music/Recordings/2026 "
      L"Sessions/Live at the Harbour Hall/Second Night/Encore\" is full or read-only. Free some "
      L"space or choose another folder in the export settings, then export the job again. The "
      L"other jobs of the project were written; their movies are in their own folders.";
  // A path of long folder names without a blank breaks only inside them.
  std::wstring deep;
  while (deep.size() + 61 < 1050) deep += L"/" + std::wstring(60, L'q');
  deep += L"/song.wav";
  const struct {
    MessageBoxStyle style;
    const char* name;
    const char* icon;
    OSType close;
    std::wstring text;
    std::wstring title = L"Brivane";
  } cases[] = {
      {0x101, "stop-ok", "dialog-error", FourCC("ok  "), L"The project could not be opened."},
      {0x202, "caution-ok-cancel", "dialog-warning", FourCC("not!"), L"Apply the preset to every job?"},
      {0x404, "note-retry-cancel", "dialog-information", FourCC("not!"), L"The encoder is busy."},
      {0x208, "caution-yes-no", "dialog-warning", FourCC("not!"), L"Replace the movie \"song.swf\"?"},
      {0x010, "plain-yes-cancel-no", "", FourCC("not!"), L"Save the changes to the project?"},
      {0x220, "caution-save", "dialog-warning", FourCC("not!"), L"Save the changes to \"Untitled\"?"},
      {0x140, "stop-retry-ignore-abort", "dialog-error", FourCC("not!"), L"The disk is not ready."},
      {0x101, "stop-long", "dialog-error", FourCC("ok  "), longText},
      {0x101, "stop-titled", "dialog-error", FourCC("ok  "),
       L"The audio file was not found, so its job has been left out of the project.", L"Missing Audio File"},
      {0x101, "stop-long-path", "dialog-error", FourCC("ok  "),
       L"Some jobs could not be read as they were saved. Jobs left out of the project:\n\n" + deep},
  };
  for (const auto& c : cases)
    CheckModal(c.name, c.icon, c.close,
               [&] { ShowMessageBox(WindowRef{}, c.style, c.title.c_str(), L"%ls", c.text.c_str()); });
}

TEST_F(WindowsOnScreen, DialogsFitTheirModel) {
  const PathString missing = L"/home/user/Music/Recordings/take one.wav";
  const RelocateTexts texts{L"Relocate", L"The file \"take one.wav\" could not be found. Relocate it, "
                                         L"replace it with another file or leave it out?"};
  CheckModal("relocate", "", FourCC("bCan"), [&] { RelocateDialog(&missing, &texts).Run(WindowRef{}); });
  std::wstring deep;
  while (deep.size() + 61 < 1050) deep += L"/" + std::wstring(60, L'q');
  const RelocateTexts deepTexts{L"Missing Audio File",
                                L"The audio file \"" + deep + L"/song.wav\" cannot be found. Do you want to locate it?"};
  CheckModal("relocate-long-path", "", FourCC("bCan"), [&] { RelocateDialog(&missing, &deepTexts).Run(WindowRef{}); });
  CheckModal("replace", "", FourCC("bDnt"), [&] { ReplaceDialog(&missing, 1).Run(WindowRef{}); });
  CheckModal("font", "", kResultCancel, [&] {
    FontInfo font;
    FontDialog dialog;
    dialog.Run(&font, WindowRef{}, nullptr);
  });
}

TEST_F(WindowsOnScreen, ProgressDialogFitsItsModel) {
  ProgressDialogBase dialog;
  ProgressDialogParams params;
  params.title = L"Encoding (1 of 2)";
  ProgressState state;
  ASSERT_EQ(dialog.Show(0, &params, &state), 0);
  dialog.SetStatusText(L"Encoding the sound");
  dialog.SetProgress(40);
  const double start = CurrentEventTime();
  while (!LaidOut(dialog.GetWindow()) && CurrentEventTime() - start < 60) dialog.SetProgress(40);
  // Work that updates now and then: GTK paints meanwhile.
  for (const double shown = CurrentEventTime(); CurrentEventTime() - shown < 0.5;) dialog.SetProgress(40);
  CheckWindow(dialog.GetWindow(), "progress", "");
  EXPECT_TRUE(screen->Shot(testsupport::ShotsDir("layout") / "progress.png"));
  dialog.Finish();
}

// A window's size comes from the model and the user alone: asked again and again for the
// same size it keeps it, it can be made smaller again, and a long path in its static text
// or a long item in its pop-up never widens it.
TEST_F(WindowsOnScreen, WindowSizeComesFromTheModelAlone) {
  WindowRef w;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowResizableAttribute, Rect{60, 60, 460, 660}, &w), kNoErr);
  SetWindowTitle(w, L"Sizes");
  ControlRef path, popup;
  CreateControl(w, kControlKindStaticText, Rect{10, 10, 26, 200},
                L"/home/user/Music/Recordings/2026 Sessions/Live at the Harbour Hall/Second Night/encore.wav", &path);
  CreateControl(w, kControlKindPopupButton, Rect{40, 10, 60, 150}, L"", &popup);
  MenuRef items;
  CreateNewMenu(0, L"", &items);
  AppendMenuItem(items, MenuItemInfo{L"A pop-up item far longer than the pop-up that shows it, and longer still", 0});
  SetControlMenu(popup, items, true);
  SetControlMaximum(popup, 1);
  SetControlValue(popup, 1);
  ShowWindow(w);
  auto pump = [] {
    std::unique_ptr<Event> e;
    if (ReceiveNextEvent(0.02, &e) == kNoErr && e) DispatchQueuedEvent(e.get());
  };
  for (auto [width, height] : {std::pair<short, short>{800, 560}, {800, 560}, {800, 560}, {300, 200}, {600, 400}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    SizeWindow(w, width, height);
    const double start = CurrentEventTime();
    auto settled = [&] {
      const GtkShownWindow shown = GtkWindowAsShown(w);
      return shown.content.Width() == width && shown.content.Height() == height;
    };
    while (!settled() && CurrentEventTime() - start < 60) pump();
    for (int i = 0; i < 10; ++i) pump();  // what the screen reports back has reached the model
    Rect model;
    GetWindowBounds(w, &model);
    EXPECT_EQ(model.Width(), width);
    EXPECT_EQ(model.Height(), height);
    const GtkShownWindow shown = GtkWindowAsShown(w);
    EXPECT_EQ(shown.content.Width(), width);
    EXPECT_EQ(shown.content.Height(), height);
    for (const GtkShownControl& c : shown.controls) EXPECT_LE(c.allocation.right, 200);
    // The long path ends in an ellipsis inside its rectangle.
    ASSERT_FALSE(shown.controls.empty());
    EXPECT_TRUE(shown.controls[0].control == path ? shown.controls[0].textCut : shown.controls[1].textCut);
  }
  EXPECT_TRUE(screen->Shot(testsupport::ShotsDir("layout") / "sizes.png"));
  DisposeWindow(w);
}

// Every numbered text of the application fits whole in an alert, under a bold title.
TEST_F(WindowsOnScreen, EveryNumberedTextFitsItsAlert) {
  const std::string strings = testsupport::ReadFile(testsupport::SourceDir() / "resources" / "Localizable.strings");
  const std::regex entry(R"re("(\d+)" = "((?:[^"\\]|\\.)*)";)re");
  int shown = 0;
  for (std::sregex_iterator it(strings.begin(), strings.end(), entry), end; it != end; ++it) {
    std::string text = (*it)[2];
    text = std::regex_replace(text, std::regex(R"(\\n)"), "\n");
    text = std::regex_replace(text, std::regex(R"(\\(.))"), "$1");
    text = std::regex_replace(text, std::regex("%ls"), "Song.bva");
    text = std::regex_replace(text, std::regex("%d"), "3");
    SCOPED_TRACE((*it)[1].str() + ": " + text);
    AlertStdParams params;
    GetStandardAlertDefaultParams(&params, 1);
    WindowRef alert;
    ASSERT_EQ(CreateStandardAlert(kAlertStopAlert, L"Error", Utf8ToWide(text), &params, &alert), kNoErr);
    ShowWindow(alert);
    const double start = CurrentEventTime();
    while (!LaidOut(alert) && CurrentEventTime() - start < 60) {
      std::unique_ptr<Event> e;
      if (ReceiveNextEvent(0.02, &e) == kNoErr && e) DispatchQueuedEvent(e.get());
    }
    for (const GtkShownControl& c : GtkWindowAsShown(alert).controls) EXPECT_FALSE(c.textCut);
    DisposeWindow(alert);
    ++shown;
  }
  EXPECT_GT(shown, 30);
}

}  // namespace
#endif
