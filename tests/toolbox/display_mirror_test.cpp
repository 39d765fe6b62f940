#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "toolbox/Controls.h"
#include "toolbox/DisplayMirror.h"
#include "toolbox/Events.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Windows.h"

using namespace toolbox;

namespace {

ControlRef NewControl(WindowRef w, OSType kind, Rect bounds, const std::wstring& title) {
  ControlRef c;
  EXPECT_EQ(CreateControl(w, kind, bounds, title, &c), kNoErr);
  return c;
}

// A control shows only while it and every container above it are visible, and is enabled
// only while they are all active; titles reach the screen as UTF-8.
TEST(DisplayMirror, WindowViewFollowsEmbeddingAndAttributes) {
  TestDriver driver;
  WindowRef w;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowCloseBoxAttribute, Rect{10, 20, 110, 220}, &w),
            kNoErr);
  SetWindowTitle(w, L"Caf\u00e9 \u266B");
  ControlRef outer = NewControl(w, kControlKindUserPane, Rect{0, 0, 100, 200}, L"");
  ControlRef inner = NewControl(w, kControlKindUserPane, Rect{0, 0, 50, 100}, L"");
  ControlRef box = NewControl(w, kControlKindCheckBox, Rect{5, 6, 25, 86}, L"\u00dcber");
  ControlRef free = NewControl(w, kControlKindPushButton, Rect{60, 6, 80, 86}, L"OK");
  ASSERT_EQ(EmbedControl(inner, outer), kNoErr);
  ASSERT_EQ(EmbedControl(box, inner), kNoErr);
  SetControlValue(box, 1);

  WindowView v = ViewOfWindow(w);
  EXPECT_EQ(v.ref, w);
  EXPECT_EQ(v.title, "Caf\xc3\xa9 \xe2\x99\xab");
  EXPECT_EQ(v.bounds, (Rect{10, 20, 110, 220}));
  EXPECT_FALSE(v.visible);
  EXPECT_TRUE(v.closeBox);
  EXPECT_FALSE(v.resizable);
  EXPECT_TRUE(v.hasMenuBar);
  ASSERT_EQ(v.controls.size(), 4u);
  EXPECT_EQ(v.controls[2].ref, box);
  EXPECT_EQ(v.controls[2].kind, kControlKindCheckBox);
  EXPECT_EQ(v.controls[2].title, "\xc3\x9c" "ber");
  EXPECT_EQ(v.controls[2].bounds, (Rect{5, 6, 25, 86}));
  EXPECT_EQ(v.controls[2].value, 1);
  EXPECT_EQ(v.controls[3].ref, free);

  struct Case {
    bool outerVisible, innerVisible, outerActive, boxActive;
    bool boxShown, boxEnabled;
  };
  const Case cases[] = {
      {true, true, true, true, true, true},
      {false, true, true, true, false, true},   // hidden two levels up
      {true, false, true, true, false, true},
      {true, true, false, true, true, false},   // deactivated two levels up
      {true, true, true, false, true, false},
  };
  for (const Case& c : cases) {
    SetControlVisibility(outer, c.outerVisible);
    SetControlVisibility(inner, c.innerVisible);
    c.outerActive ? ActivateControl(outer) : DeactivateControl(outer);
    c.boxActive ? ActivateControl(box) : DeactivateControl(box);
    WindowView cv = ViewOfWindow(w);
    EXPECT_EQ(cv.controls[2].visible, c.boxShown);
    EXPECT_EQ(cv.controls[2].enabled, c.boxEnabled);
    EXPECT_TRUE(cv.controls[3].visible);  // not embedded: unaffected
    EXPECT_TRUE(cv.controls[3].enabled);
  }

  ShowWindow(w);
  EXPECT_TRUE(ViewOfWindow(w).visible);
  DisposeWindow(w);
  EXPECT_FALSE(ViewOfWindow(w).ref);
}

TEST(DisplayMirror, OnlyDocumentWindowsCarryTheMenuBar) {
  TestDriver driver;
  for (WindowClass c : {kDocumentWindowClass, kMovableModalWindowClass, kFloatingWindowClass,
                        kUtilityWindowClass, kSheetWindowClass}) {
    WindowRef w;
    ASSERT_EQ(CreateNewWindow(c, kWindowResizableAttribute, Rect{0, 0, 10, 10}, &w), kNoErr);
    WindowView v = ViewOfWindow(w);
    EXPECT_EQ(v.hasMenuBar, c == kDocumentWindowClass) << c;
    EXPECT_EQ(v.windowClass, c);
    EXPECT_TRUE(v.resizable);
    EXPECT_FALSE(v.closeBox);
  }
}

// Command keys: the command key (Ctrl) is part of the combination unless the item says
// otherwise; a virtual key has no character to show.
TEST(DisplayMirror, MenuBarViewKeepsItemIndexesAndKeyCombinations) {
  TestDriver driver;
  struct Case {
    const wchar_t* text;
    char32_t key;
    std::uint8_t modifiers;
    bool virtualKey;
    std::uint32_t attributes;
    char32_t shownKey;
    bool ctrl, shift, alt;
  };
  const Case cases[] = {
      {L"Quit", U'Q', 0, false, 0, U'Q', true, false, false},
      {L"", 0, 0, false, kMenuItemAttrSeparator, 0, false, false, false},
      {L"Save As\u2026", U'S', kMenuShiftModifier, false, 0, U'S', true, true, false},
      {L"Other", U'O', kMenuOptionModifier, false, 0, U'O', true, false, true},
      {L"Bare", U'B', kMenuNoCommandModifier, false, 0, U'B', false, false, false},
      {L"Ctrl only", U'K', kMenuNoCommandModifier | kMenuControlModifier, false, 0, U'K', true, false, false},
      {L"Virtual", 0x7A, 0, true, 0, 0, false, false, false},
      {L"None", 0, 0, false, 0, 0, false, false, false},
  };
  MenuRef file, edit;
  CreateNewMenu(1001, L"File", &file);
  CreateNewMenu(1002, L"\u00c9dition", &edit);
  for (const Case& c : cases) {
    MenuItemInfo item;
    item.text = c.text;
    item.key = c.key;
    item.modifiers = c.modifiers;
    item.virtualKey = c.virtualKey;
    item.attributes = c.attributes;
    item.enabled = c.key != U'O';
    item.checked = c.key == U'B';
    AppendMenuItem(file, item);
  }
  SetMenuBar({file, edit});

  std::vector<MenuView> bar = ViewOfMenuBar();
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(bar[0].ref, file);
  EXPECT_EQ(bar[1].title, "\xc3\x89" "dition");
  EXPECT_TRUE(bar[1].items.empty());
  ASSERT_EQ(bar[0].items.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const MenuItemView& v = bar[0].items[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(v.index, i + 1);
    EXPECT_EQ(v.separator, c.attributes == kMenuItemAttrSeparator);
    EXPECT_EQ(v.key, c.shownKey);
    EXPECT_EQ(v.ctrl, c.ctrl);
    EXPECT_EQ(v.shift, c.shift);
    EXPECT_EQ(v.alt, c.alt);
    EXPECT_EQ(v.enabled, c.key != U'O');
    EXPECT_EQ(v.checked, c.key == U'B');
  }
  EXPECT_EQ(bar[0].items[2].label, "Save As\xe2\x80\xa6");
}

// Choosing an item on screen queues the command of that very item, even when another item
// has the same command.
TEST(DisplayMirror, ChoosingAnItemQueuesItsOwnCommand) {
  TestDriver driver;
  MenuRef menu, loose;
  CreateNewMenu(1001, L"File", &menu);
  CreateNewMenu(1002, L"Loose", &loose);
  for (auto [code, enabled, separator] :
       {std::tuple{FourCC("open"), true, false}, std::tuple{FourCC("open"), true, false},
        std::tuple{FourCC("gray"), false, false}, std::tuple{std::uint32_t{0}, true, true}}) {
    MenuItemInfo item;
    item.text = L"x";
    item.command = code;
    item.enabled = enabled;
    if (separator) item.attributes = kMenuItemAttrSeparator;
    AppendMenuItem(menu, item);
    AppendMenuItem(loose, item);
  }
  SetMenuBar({menu});

  struct Case {
    MenuRef menu;
    std::uint16_t index;
    OSStatus status;
  };
  const Case cases[] = {
      {menu, 2, kNoErr},        {menu, 1, kNoErr},        {menu, 3, kNotFoundErr},  // disabled
      {menu, 4, kNotFoundErr},  // separator
      {menu, 0, kNotFoundErr},  {menu, 5, kNotFoundErr},  {loose, 1, kNotFoundErr},  // not in the bar
  };
  for (const Case& c : cases) {
    ASSERT_EQ(QueuedEventCount(), 0u);
    EXPECT_EQ(PostMenuItemChoice(c.menu, c.index), c.status) << c.index;
    if (c.status != kNoErr) continue;
    std::unique_ptr<Event> e;
    ASSERT_EQ(ReceiveNextEvent(0, &e), kNoErr);
    HICommand hc;
    ASSERT_EQ(e->GetParameter(kEventParamDirectObject, kTypeHICommand, &hc), kNoErr);
    EXPECT_EQ(hc.commandID, FourCC("open"));
    EXPECT_EQ(hc.menu, menu);
    EXPECT_EQ(hc.menuItemIndex, c.index);
    EXPECT_EQ(hc.attributes, kHICommandFromMenu);
    EXPECT_TRUE(e->ToUserFocus());
  }
}

// Submenus (recent items) show under their items at any depth, a submenu that leads back
// to a menu above it ends the view there, and a choice in a submenu under the menu bar is
// queued with that submenu's own item.
TEST(DisplayMirror, SubmenusShowUnderTheirItemsAndTakeChoices) {
  TestDriver driver;
  MenuRef file, recent, deeper, loose;
  CreateNewMenu(1001, L"File", &file);
  CreateNewMenu(1002, L"Recent", &recent);
  CreateNewMenu(1003, L"Deeper", &deeper);
  CreateNewMenu(1004, L"Loose", &loose);
  AppendMenuItem(file, MenuItemInfo{L"Open", FourCC("open")});
  AppendMenuItem(file, MenuItemInfo{L"Open Recent", 0});
  AppendMenuItem(recent, MenuItemInfo{L"a.mp3", FourCC("rec1")});
  AppendMenuItem(recent, MenuItemInfo{L"More", 0});
  AppendMenuItem(deeper, MenuItemInfo{L"b.mp3", FourCC("rec2")});
  AppendMenuItem(deeper, MenuItemInfo{L"Back", 0});
  AppendMenuItem(loose, MenuItemInfo{L"c.mp3", FourCC("rec3")});
  ASSERT_EQ(SetMenuItemHierarchicalMenu(file, 2, recent), kNoErr);
  ASSERT_EQ(SetMenuItemHierarchicalMenu(recent, 2, deeper), kNoErr);
  ASSERT_EQ(SetMenuItemHierarchicalMenu(deeper, 2, file), kNoErr);  // a loop
  SetMenuBar({file});

  const std::vector<MenuView> bar = ViewOfMenuBar();
  ASSERT_EQ(bar.size(), 1u);
  const MenuItemView& open = bar[0].items.at(1);
  EXPECT_EQ(open.submenu, recent);
  ASSERT_EQ(open.submenuItems.size(), 2u);
  EXPECT_EQ(open.submenuItems[0].label, "a.mp3");
  const MenuItemView& more = open.submenuItems[1];
  EXPECT_EQ(more.submenu, deeper);
  ASSERT_EQ(more.submenuItems.size(), 2u);
  EXPECT_EQ(more.submenuItems[0].index, 1);
  EXPECT_EQ(more.submenuItems[1].submenu, file);
  EXPECT_TRUE(more.submenuItems[1].submenuItems.empty());  // the loop ends here
  EXPECT_EQ(ViewOfMenuItems(deeper).at(1).submenuItems.size(), 2u);  // seen from below

  struct Case {
    MenuRef menu;
    std::uint16_t index;
    OSType command;
  };
  for (const Case& c : {Case{recent, 1, FourCC("rec1")}, Case{deeper, 1, FourCC("rec2")}}) {
    ASSERT_EQ(PostMenuItemChoice(c.menu, c.index), kNoErr);
    std::unique_ptr<Event> e;
    ASSERT_EQ(ReceiveNextEvent(0, &e), kNoErr);
    HICommand hc;
    ASSERT_EQ(e->GetParameter(kEventParamDirectObject, kTypeHICommand, &hc), kNoErr);
    EXPECT_EQ(hc.commandID, c.command);
    EXPECT_EQ(hc.menu, c.menu);
    EXPECT_EQ(hc.menuItemIndex, c.index);
  }
  EXPECT_EQ(PostMenuItemChoice(loose, 1), kNotFoundErr);  // under no menu of the bar
  SetMenuItemHierarchicalMenu(file, 2, MenuRef{});
  EXPECT_EQ(PostMenuItemChoice(deeper, 1), kNotFoundErr);  // cut off from the bar
  EXPECT_EQ(QueuedEventCount(), 0u);
}

TEST(DisplayMirror, UriListsSplitIntoUris) {
  struct Case {
    std::string text;
    std::vector<std::string> uris;
  };
  const Case cases[] = {
      {"", {}},
      {"file:///a\r\nfile:///b%20c\r\n", {"file:///a", "file:///b%20c"}},
      {"file:///a\nfile:///b", {"file:///a", "file:///b"}},  // last line without an end
      {"# a comment\r\n\r\nfile:///x\r\n\n", {"file:///x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUriList(c.text), c.uris) << c.text;

  Drag drag = MakeFileDrag({"file:///a", "file:///b"}, Point{3, 4});
  std::uint16_t count = 0;
  CountDragItems(&drag, &count);
  EXPECT_EQ(count, 2);
  std::string data;
  EXPECT_EQ(GetFlavorData(&drag, 2, kFlavorUriList, &data), kNoErr);
  EXPECT_EQ(data, "file:///b");
  EXPECT_EQ(drag.mouse, (Point{3, 4}));
}

}  // namespace
