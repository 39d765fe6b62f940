#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Menus.h"
#include "toolbox/Nib.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

// Every call of the control model on a null or disposed handle fails and reads nothing
// (ASan and UBSan watch).
TEST(ControlModel, NullAndDisposedHandlesFailEveryCall) {
  TestDriver driver;
  WindowRef w;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, Rect{0, 0, 100, 100}, &w), kNoErr);
  ControlRef disposed;
  ASSERT_EQ(CreateControl(w, kControlKindEditText, Rect{0, 0, 20, 50}, L"x", &disposed), kNoErr);
  MenuRef menu;
  CreateNewMenu(1, L"", &menu);
  SetControlMenu(disposed, menu, true);
  DisposeControl(disposed);
  EXPECT_FALSE(IsValidMenu(menu));  // an owned menu goes with its control
  for (ControlRef c : {ControlRef{}, disposed}) {
    int a = 0, b = 0;
    bool passed = true;
    std::int16_t id = 0;
    std::uint16_t item = 0;
    ControlFontStyle font;
    ButtonContent content;
    EXPECT_EQ(HitControlPart(c, kControlMenuPart), kInvalidControlErr);
    EXPECT_EQ(SetControlAutoToggle(c, true), kInvalidControlErr);
    EXPECT_EQ(SetControlMenu(c, MenuRef{}, false), kInvalidControlErr);
    EXPECT_FALSE(GetControlMenu(c));
    EXPECT_EQ(GetControlLastMenu(c, &id, &item), kInvalidControlErr);
    EXPECT_EQ(ChooseControlMenuItem(c, menu, 1), kInvalidControlErr);
    EXPECT_EQ(SetEditTextSelection(c, 0, 1), kInvalidControlErr);
    EXPECT_EQ(GetEditTextSelection(c, &a, &b), kInvalidControlErr);
    EXPECT_EQ(GetEditTextCaret(c, &a, &b), kInvalidControlErr);
    EXPECT_EQ(MoveEditTextCaret(c, CaretStep::kWords, -1, true), kInvalidControlErr);
    EXPECT_EQ(SetKeyFilter(c, nullptr), kInvalidControlErr);
    EXPECT_FALSE(GetKeyFilter(c));
    EXPECT_EQ(TypeCharacter(c, 'a', &passed), kInvalidControlErr);
    EXPECT_FALSE(passed);
    EXPECT_EQ(SetKeyboardFocus(w, c), c ? kInvalidControlErr : kNoErr);
    EXPECT_EQ(SetDataBrowserCallbacks(c, {}), kInvalidControlErr);
    EXPECT_EQ(AddDataBrowserListViewColumn(c, {}), kInvalidControlErr);
    EXPECT_EQ(RemoveDataBrowserTableViewColumn(c, 1), kInvalidControlErr);
    EXPECT_EQ(AddDataBrowserItems(c, {1}), kInvalidControlErr);
    EXPECT_EQ(RemoveAllDataBrowserItems(c), kInvalidControlErr);
    EXPECT_EQ(GetDataBrowserItemCount(c), 0u);
    EXPECT_EQ(SetDataBrowserSelectedItems(c, {1}), kInvalidControlErr);
    EXPECT_TRUE(GetDataBrowserSelectedItems(c).empty());
    EXPECT_EQ(GetDataBrowserCellText(c, 1, 1), L"");
    EXPECT_EQ(SelectDataBrowserItemByUser(c, 1), kInvalidControlErr);
    EXPECT_EQ(SortDataBrowser(c, 1), kInvalidControlErr);
    EXPECT_EQ(FindControlPart(c, Point{1, 1}), kControlNoPart);
    EXPECT_EQ(TrackControl(c, Point{1, 1}, [](ControlRef, ControlPartCode) { FAIL(); }), kControlNoPart);
    EXPECT_EQ(PressControlPart(c, kControlIndicatorPart), kInvalidControlErr);
    EXPECT_EQ(SetControlViewSize(c, 5), kInvalidControlErr);
    EXPECT_EQ(SetTabTitles(c, {L"a"}), kInvalidControlErr);
    EXPECT_EQ(ClickTab(c, 1), kInvalidControlErr);
    EXPECT_EQ(SetControlHelpText(c, L"h"), kInvalidControlErr);
    EXPECT_EQ(GetControlHelpText(c), L"");
    EXPECT_EQ(SetControlFontStyle(c, font), kInvalidControlErr);
    EXPECT_EQ(GetControlFontStyle(c, &font), kInvalidControlErr);
    EXPECT_EQ(SetBevelButtonContent(c, content), kInvalidControlErr);
    EXPECT_EQ(GetBevelButtonContent(c, &content), kInvalidControlErr);
  }
  EXPECT_EQ(SetThemeCursor(99), kParamErr);
}

TEST(ControlModel, NibsDescribeEveryKindWithItsEntries) {
  TestDriver driver;
  NibDescription nib;
  std::string error;
  ASSERT_TRUE(ParseNib(R"(<nib><window name="w" width="300" height="200">
    <control kind="popup" signature="pop1" value="2"><entry title="A"/><entry separator="true"/><entry title="C"/></control>
    <control kind="bevel" signature="bev1"><entry title="Go" command="go  "/></control>
    <control kind="tabs" signature="tab1" value="2"><entry title="One"/><entry title="Two"/></control>
    <control kind="radio" signature="rad1" help="Pick me"/>
    <control kind="slider" signature="sld1" maximum="100"/>
    <control kind="scrollbar" signature="scr1" maximum="100"/>
    <control kind="progress" signature="prg1" maximum="100"/>
    <control kind="list" signature="lst1"/>
  </window></nib>)", &nib, &error)) << error;
  EXPECT_FALSE(ParseNib("<nib><window name='w'><entry title='x'/></window></nib>", &nib, &error));
  // Created from a file, each kind gets what its entries say.
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir.path() / "w.xml", R"(<nib><window name="w" width="300" height="200">
    <control kind="popup" signature="pop1" value="2"><entry title="A"/><entry separator="true"/><entry title="C"/></control>
    <control kind="tabs" signature="tab1" value="2"><entry title="One"/><entry title="Two"/></control>
    <control kind="radio" signature="rad1" help="Pick me"/>
  </window></nib>)");
  NibRefHandle ref;
  ASSERT_EQ(CreateNibReferenceFromFile((dir.path() / "w.xml").string(), &ref), kNoErr);
  WindowRef w;
  ASSERT_EQ(CreateWindowFromNib(ref, "w", &w), kNoErr);
  ControlRef popup, tabs, radio;
  GetControlByID(w, ControlID{FourCC("pop1"), 0}, &popup);
  GetControlByID(w, ControlID{FourCC("tab1"), 0}, &tabs);
  GetControlByID(w, ControlID{FourCC("rad1"), 0}, &radio);
  EXPECT_EQ(CountMenuItems(GetControlMenu(popup)), 3);
  EXPECT_EQ(GetControlMaximum(popup), 3);
  EXPECT_EQ(GetControlValue(popup), 2);
  EXPECT_EQ(GetTabTitles(tabs), (std::vector<std::wstring>{L"One", L"Two"}));
  EXPECT_EQ(GetControlValue(tabs), 2);
  EXPECT_EQ(GetControlHelpText(radio), L"Pick me");
  DisposeNibReference(ref);
}

// The caret keys move in the model's own text, and a selection grows from where it began.
TEST(ControlModel, CaretKeysMoveInTheFieldsText) {
  TestDriver driver;
  WindowRef w;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{0, 0, 100, 300}, &w);
  ControlRef field;
  CreateControl(w, kControlKindEditText, Rect{0, 0, 20, 200}, L"hello, world", &field);
  struct { int anchor, caret; CaretStep step; int count; bool extend; int wantAnchor, wantCaret; } moves[] = {
      {12, 12, CaretStep::kCharacters, -1, false, 11, 11}, {0, 12, CaretStep::kCharacters, 1, false, 12, 12},
      {0, 12, CaretStep::kCharacters, -1, false, 0, 0},    {12, 12, CaretStep::kCharacters, -3, true, 12, 9},
      {12, 9, CaretStep::kCharacters, 5, true, 12, 12},    {12, 12, CaretStep::kWords, -1, false, 7, 7},
      {0, 0, CaretStep::kWords, 2, false, 12, 12},         {7, 7, CaretStep::kWords, -1, true, 7, 0},
      {3, 5, CaretStep::kEnds, 1, true, 3, 12},            {3, 5, CaretStep::kEnds, -1, false, 0, 0},
  };
  for (const auto& m : moves) {
    SetEditTextSelection(field, m.anchor, m.caret);
    EXPECT_EQ(MoveEditTextCaret(field, m.step, m.count, m.extend), kNoErr);
    int anchor = -1, caret = -1;
    GetEditTextCaret(field, &anchor, &caret);
    EXPECT_EQ(anchor, m.wantAnchor) << m.anchor << " " << m.caret << " by " << m.count;
    EXPECT_EQ(caret, m.wantCaret) << m.anchor << " " << m.caret << " by " << m.count;
  }
}

TEST(ControlModel, ListSelectionsAreToldAndScrollPartsFound) {
  TestDriver driver;
  WindowRef w;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{0, 0, 300, 300}, &w);
  ControlRef list, bar;
  CreateControl(w, kControlKindDataBrowser, Rect{0, 0, 100, 100}, L"", &list);
  CreateControl(w, kControlKindScrollBar, Rect{200, 0, 216, 200}, L"", &bar);
  std::vector<DataBrowserItemID> told;
  DataBrowserCallbacks callbacks;
  callbacks.notification = [&](ControlRef, DataBrowserItemID id, std::uint32_t) { told.push_back(id); };
  SetDataBrowserCallbacks(list, callbacks);
  AddDataBrowserItems(list, {1, 2, 3});
  SetDataBrowserSelectedItems(list, {2});
  SetDataBrowserSelectedItems(list, {2, 3, 9});
  EXPECT_EQ(told, (std::vector<DataBrowserItemID>{2, 3}));  // only newly selected items
  EXPECT_EQ(GetDataBrowserSelectedItems(list), (std::vector<DataBrowserItemID>{2, 3}));
  SetControlMaximum(bar, 100);
  struct { short h; ControlPartCode part; } parts[] = {
      {5, kControlUpButtonPart}, {20, kControlIndicatorPart}, {100, kControlPageDownPart},
      {195, kControlDownButtonPart}, {250, kControlNoPart}};
  for (auto p : parts) EXPECT_EQ(FindControlPart(bar, Point{208, p.h}), p.part) << p.h;
  SetControlValue(bar, 100);
  EXPECT_EQ(FindControlPart(bar, Point{208, 100}), kControlPageUpPart);
  ControlRef under;
  EXPECT_EQ(FindControlUnderMouse(w, Point{50, 50}, &under), kControlButtonPart);
  EXPECT_EQ(under, list);
}

// Return and Enter that nothing handles press the window's default button, Escape its
// cancel button; a hidden or inactive button, or a key taken by a handler, presses none.
TEST(ControlModel, UnhandledKeysPressTheDefaultAndCancelButtons) {
  struct Case {
    const char* name;
    std::uint32_t key;
    bool okUsable, keyTaken;
    int okHits, cancelHits;
  };
  const Case cases[] = {
      {"Return", kReturnKeyCode, true, false, 1, 0},
      {"Enter", kEnterKeyCode, true, false, 1, 0},
      {"Escape", kEscapeKeyCode, true, false, 0, 1},
      {"Tab", kTabKeyCode, true, false, 0, 0},
      {"Return to a hidden default button", kReturnKeyCode, false, false, 0, 0},
      {"Return taken by a handler", kReturnKeyCode, true, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDriver driver;
    WindowRef w;
    ASSERT_EQ(CreateNewWindow(kMovableModalWindowClass, 0, Rect{0, 0, 100, 200}, &w), kNoErr);
    ControlRef ok, cancel;
    CreateControl(w, kControlKindPushButton, Rect{60, 100, 80, 180}, L"OK", &ok);
    CreateControl(w, kControlKindPushButton, Rect{60, 10, 80, 90}, L"Cancel", &cancel);
    EXPECT_FALSE(GetWindowDefaultButton(w));
    ASSERT_EQ(SetWindowDefaultButton(w, ok), kNoErr);
    ASSERT_EQ(SetWindowCancelButton(w, cancel), kNoErr);
    EXPECT_EQ(GetWindowDefaultButton(w), ok);
    if (!c.okUsable) SetControlVisibility(ok, false);
    int okHits = 0, cancelHits = 0;
    const EventTypeSpec hit[] = {{kEventClassControl, kEventControlHit}};
    InstallEventHandler(GetControlEventTarget(ok), [&](EventHandlerCallRef, EventRef) { ++okHits; return kNoErr; }, hit, nullptr);
    InstallEventHandler(GetControlEventTarget(cancel), [&](EventHandlerCallRef, EventRef) { ++cancelHits; return kNoErr; }, hit, nullptr);
    const EventTypeSpec key[] = {{kEventClassKeyboard, kEventRawKeyDown}};
    if (c.keyTaken) InstallEventHandler(GetWindowEventTarget(w), [](EventHandlerCallRef, EventRef) { return kNoErr; }, key, nullptr);
    PressKey(w, c.key);
    EXPECT_EQ(okHits, c.okHits);
    EXPECT_EQ(cancelHits, c.cancelHits);
    DisposeControl(ok);
    EXPECT_FALSE(GetWindowDefaultButton(w));  // a disposed button is forgotten
  }
}

// A second sort by the same column orders the other way; another column starts increasing.
TEST(ControlModel, SortingTwiceByAColumnTurnsTheOrder) {
  TestDriver driver;
  WindowRef w;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{0, 0, 300, 300}, &w);
  ControlRef list;
  CreateControl(w, kControlKindDataBrowser, Rect{0, 0, 100, 100}, L"", &list);
  DataBrowserCallbacks callbacks;
  callbacks.compare = [](ControlRef, DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID p) {
    return p == 1 ? a < b : a % 2 < b % 2;
  };
  SetDataBrowserCallbacks(list, callbacks);
  AddDataBrowserItems(list, {3, 1, 2});
  struct { DataBrowserPropertyID by; std::vector<DataBrowserItemID> order; bool decreasing; } steps[] = {
      {1, {1, 2, 3}, false}, {1, {3, 2, 1}, true}, {1, {1, 2, 3}, false}, {1, {3, 2, 1}, true}, {2, {2, 3, 1}, false}};
  EXPECT_EQ(GetDataBrowserSortProperty(list), 0u);
  for (const auto& s : steps) {
    ASSERT_EQ(SortDataBrowser(list, s.by), kNoErr);
    bool decreasing = !s.decreasing;
    EXPECT_EQ(GetDataBrowserSortProperty(list, &decreasing), s.by);
    EXPECT_EQ(decreasing, s.decreasing);
    EXPECT_EQ(GetDataBrowserItemsInOrder(list), s.order);
  }
}
