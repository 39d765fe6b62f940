#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/ui/ProgressDialog.h"
#include "toolbox/Alerts.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

// A second window whose button records each call that reaches it.
class OtherWindow : public WindowBase {
 public:
  std::vector<std::string> calls;
  bool OnCommand(std::uint32_t command, EventRef*) override {
    calls.push_back(FourCCText(command));
    return true;
  }
  bool OnPaint() override {
    calls.push_back("paint");
    return true;
  }
};

std::unique_ptr<Event> HitOf(ControlRef control) {
  auto e = std::make_unique<Event>(kEventClassControl, kEventControlHit);
  e->SetParameter(kEventParamDirectObject, kTypeControlRef, control);
  e->SetTarget(GetControlEventTarget(control));
  return e;
}

class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other.CreateWindow(400, 400, 200, 100, kWindowFlagShow, WindowRef{}));
    ASSERT_TRUE(button.Create(&other, FourCC("bRem"), Rect{10, 10, 30, 90}, L"Remove"));
    ASSERT_EQ(dialog.Show(0, &params, &state), 0);
  }
  void QueueHit(ControlRef c) { PostEventToQueue(HitOf(c)); }
  ControlRef Cancel() {
    ControlRef c;
    GetControlByID(dialog.GetWindow(), ControlID{kProgressCancelCommand, 0}, &c);
    return c;
  }

  TestDriver driver;
  OtherWindow other;
  PushButton button;
  ProgressDialogParams params;
  ProgressState state;
  ProgressDialogBase dialog;
};

TEST_F(ProgressDialogTest, ShowsItsControlsAndStartsAgainOnEveryShow) {
  WindowRef w = dialog.GetWindow();
  std::uint32_t attributes = 0;
  GetWindowAttributes(w, &attributes);
  EXPECT_FALSE(attributes & kWindowCloseBoxAttribute);
  EXPECT_EQ(dialog.GetStatusText()->GetText(), L"Initializing...");
  dialog.SetStatusText(L"Writing");
  dialog.SetProgress(40);
  EXPECT_EQ(dialog.GetProgressBar()->GetValue(), 40);
  // A close request (a window manager's button) leaves the dialog of running work up.
  EXPECT_EQ(SendWindowCloseEvent(w), kEventNotHandledErr);
  EXPECT_TRUE(IsValidWindowRef(w));

  ProgressState next;
  params.title = L"Exporting";
  ASSERT_EQ(dialog.Show(0, &params, &next), 0);
  EXPECT_EQ(dialog.GetWindow(), w);  // the window is reused
  EXPECT_EQ(dialog.GetStatusText()->GetText(), L"Initializing...");
  EXPECT_EQ(dialog.GetProgressBar()->GetValue(), 0);
}

// While the work runs, a click on another window is dropped, not run inside the work; the
// dialog's own Cancel is honoured at the next update, and repaints still get through.
TEST_F(ProgressDialogTest, UpdatesPassOnlyTheDialogsInputAndHarmlessEvents) {
  QueueHit(button.GetControl());
  QueueHit(Cancel());
  dialog.SetProgress(10);
  EXPECT_FALSE(state.cancel);
  dialog.SetProgress(20);
  EXPECT_TRUE(other.calls.empty());
  EXPECT_TRUE(state.cancel);
  EXPECT_EQ(FourCCText(static_cast<OSType>(dialog.GetModalResult())), "not!");
  EXPECT_TRUE(dialog.IsBusy());  // until the work has seen the cancel and returned

  ASSERT_EQ(dialog.Show(0, &params, &state), 0);
  auto paint = std::make_unique<Event>(kEventClassWindow, kEventWindowDrawContent);
  paint->SetTarget(GetWindowEventTarget(other.GetWindow()));
  PostEventToQueue(std::move(paint));
  for (int i = 0; i < 3; ++i) QueueHit(button.GetControl());
  dialog.SetStatusText(L"one");
  EXPECT_EQ(other.calls, std::vector<std::string>{"paint"});
  // SetRange and Reset never take an event; each update takes at most one.
  dialog.SetRange(0, 1000);
  dialog.Reset();
  EXPECT_EQ(QueuedEventCount(), 3u);
  dialog.AdvanceProgress(5);
  EXPECT_EQ(QueuedEventCount(), 2u);

  // The screen lets the user act only on the dialog while the work runs.
  EXPECT_FALSE(WindowAcceptsUserInput(other.GetWindow()));
  EXPECT_TRUE(WindowAcceptsUserInput(dialog.GetWindow()));
  dialog.Finish();
  EXPECT_TRUE(state.done);
  EXPECT_TRUE(WindowAcceptsUserInput(other.GetWindow()));
  dialog.SetProgress(100);  // the work is over: a click on the other window reaches it again
  EXPECT_EQ(other.calls, (std::vector<std::string>{"paint", "bRem"}));
}

// Cancel ends nothing by itself: until the work has seen the flag and returned, a click on
// another window is still dropped, however it ends (Finish, or the dialog hidden).
TEST_F(ProgressDialogTest, AfterCancelOtherWindowsWaitUntilTheWorkReturns) {
  for (bool finish : {true, false}) {
    SCOPED_TRACE(finish ? "finished" : "hidden");
    other.calls.clear();
    ASSERT_EQ(dialog.Show(0, &params, &state), 0);
    QueueHit(Cancel());
    QueueHit(button.GetControl());
    dialog.SetProgress(10);  // takes the Cancel
    ASSERT_TRUE(state.cancel);
    dialog.SetProgress(20);  // the work has not looked at the flag yet
    EXPECT_TRUE(other.calls.empty());
    EXPECT_FALSE(WindowAcceptsUserInput(other.GetWindow()));
    if (finish) dialog.Finish();
    else dialog.Hide();
    EXPECT_TRUE(WindowAcceptsUserInput(other.GetWindow()));
    QueueHit(button.GetControl());
    std::unique_ptr<Event> next;  // the application's own loop takes it
    ASSERT_EQ(ReceiveNextEvent(0, &next), kNoErr);
    DispatchQueuedEvent(next.get());
    EXPECT_EQ(other.calls, std::vector<std::string>{"bRem"});
  }
}

}  // namespace
