#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui/Buttons.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

class CommandWindow : public WindowBase {
 public:
  std::vector<OSType> commands;
  bool OnCommand(std::uint32_t c, EventRef*) override {
    commands.push_back(c);
    return true;
  }
};

class ButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.CreateWindow(0, 0, 400, 300, kWindowFlagShow, WindowRef{})); }
  TestDriver driver_;
  CommandWindow window_;
};

}  // namespace

TEST_F(ButtonsTest, PopupSelectionAndItemsArePinnedToTheItems) {
  PopupButton p;
  ASSERT_TRUE(p.Create(&window_, FourCC("popF"), Rect{10, 10, 30, 150}, L"Format"));
  EXPECT_TRUE(p.SetSelectedIndex(3));
  EXPECT_EQ(p.GetSelection(nullptr, 0, false), -1);  // empty: the value stays at the minimum
  for (const wchar_t* t : {L"SWF", L"FLV", L"multi"}) p.AddItem(t);
  struct { int index; int selected; } selects[] = {{-5, 0}, {1, 1}, {3, 2}, {99, 2}};
  for (auto c : selects) {
    p.SetSelectedIndex(c.index);
    EXPECT_EQ(p.GetSelection(nullptr, 0, false), c.selected) << c.index;
  }
  EXPECT_EQ(p.FindItemByText(L"flv"), -1);
  EXPECT_EQ(p.FindItemByText(L"FLV"), 1);
  EXPECT_EQ(p.DeleteItem(-1), 2);  // the first
  EXPECT_EQ(p.FindItemByText(L"SWF"), -1);
  EXPECT_EQ(p.DeleteItem(50), 1);  // the last
  EXPECT_EQ(p.FindItemByText(L"multi"), -1);
  EXPECT_EQ(p.DeleteItem(0), 0);
  EXPECT_EQ(GetControlMinimum(p.GetControl()), 0);
  EXPECT_EQ(GetControlMaximum(p.GetControl()), 0);
  // A long item read into a short buffer: its first 15 characters, terminated.
  const std::wstring longText(200, L'x');
  p.AddItem(L"Présentation 中");
  p.AddItem(longText);
  p.SetSelectedIndex(1);
  wchar_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), L'?');
  EXPECT_EQ(p.GetSelection(buffer, 16, true), 1);
  EXPECT_EQ(std::wstring(buffer), std::wstring(15, L'x'));
  p.SetSelectedIndex(p.FindItemByText(L"Présentation 中"));
  wchar_t wide[64];
  EXPECT_EQ(p.GetSelection(wide, 64, true), 0);
  EXPECT_EQ(std::wstring(wide), L"Présentation 中");
  EXPECT_TRUE(p.RemoveAll());
  EXPECT_EQ(p.Count(), 0);
  // The user's choice on screen selects the item and sends the pop-up's command once.
  p.AddItem(L"a");
  p.AddItem(L"b");
  EXPECT_EQ(ChooseControlMenuItem(p.GetControl(), GetControlMenu(p.GetControl()), 2), kNoErr);
  EXPECT_EQ(p.GetSelection(nullptr, 0, false), 1);
  EXPECT_EQ(window_.commands, std::vector<OSType>{FourCC("popF")});
}

TEST_F(ButtonsTest, EmptyAndDisposedWrappersAnswerWithFailures) {
  PopupButton p;
  EXPECT_EQ(p.Count(), 0);
  EXPECT_EQ(p.AddItem(L"x"), -1);
  EXPECT_EQ(p.GetStatus(), kInvalidControlErr);
  EXPECT_EQ(p.AddSeparator(), -1);
  EXPECT_EQ(p.DeleteItem(0), -1);
  EXPECT_FALSE(p.RemoveAll());
  EXPECT_EQ(p.FindItemByText(L"x"), -1);
  wchar_t buffer[4] = {L'k', 0};
  EXPECT_EQ(p.GetSelection(buffer, 4, true), -1);
  EXPECT_EQ(buffer[0], L'k');
  CheckBox c;
  EXPECT_FALSE(c.GetValue());
  c.SetValue(true, true);
  PushButton b;
  EXPECT_FALSE(b.SetTitle(L"x", true));
  ASSERT_TRUE(b.Create(&window_, FourCC("push"), Rect{0, 0, 20, 60}, L"Go"));
  ControlRef gone = b.GetControl();
  DisposeControl(gone);
  EXPECT_FALSE(b.SetTitle(L"x", true));
  EXPECT_FALSE(b.Draw());
  BevelMenuButton bevel;
  EXPECT_FALSE(bevel.SetMenu(MenuRef{}, true));
  ColorSwatchButton swatch;
  swatch.SetColor(0xFF, true);
  EXPECT_EQ(swatch.GetColor(), 0xFFu);
  RadioButton r;
  EXPECT_FALSE(r.SetIcon(128, FourCC("Icn1")));
}

TEST_F(ButtonsTest, CheckBoxTogglesOnClickRadioDoesNot) {
  CheckBox c;
  RadioButton r;
  ASSERT_TRUE(c.Create(&window_, FourCC("chk1"), Rect{40, 10, 60, 120}, L"Loop"));
  ASSERT_TRUE(r.Create(&window_, FourCC("rad1"), Rect{70, 10, 90, 120}, L"One"));
  TestDriver::Click(c.GetControl());
  EXPECT_TRUE(c.GetValue());
  TestDriver::Click(c.GetControl());
  EXPECT_FALSE(c.GetValue());
  TestDriver::Click(r.GetControl());
  EXPECT_FALSE(r.GetValue());
  r.SetValue(true, false);
  EXPECT_TRUE(r.GetValue());
  EXPECT_TRUE(r.SetIcon(128, FourCC("Icn1")));
  ButtonContent content;
  GetBevelButtonContent(r.GetControl(), &content);
  EXPECT_EQ(content.icon, FourCC("Icn1"));
}

TEST_F(ButtonsTest, BevelMenuChoicesAreAnnouncedOnceAsCommands) {
  BevelMenuButton b;
  ASSERT_TRUE(b.Create(&window_, FourCC("bvl1"), Rect{100, 10, 120, 100}, L"Actions"));
  std::vector<OSType> heard;
  static std::vector<OSType>* sink;
  sink = &heard;
  b.menuSignal.Connect(new FunctionSlot<OSType>([](OSType c) { sink->push_back(c); }));
  MenuRef top, sub;
  CreateNewMenu(200, L"", &top);
  CreateNewMenu(201, L"", &sub);
  AppendMenuItem(top, MenuItemInfo{L"Top", FourCC("tCmd")});
  AppendMenuItem(top, MenuItemInfo{L"More", 0});
  AppendMenuItem(sub, MenuItemInfo{L"Inner", FourCC("iCmd")});
  SetMenuItemHierarchicalMenu(top, 2, sub);
  EXPECT_FALSE(b.SetMenu(top, true));
  ChooseControlMenuItem(b.GetControl(), sub, 1);
  ChooseControlMenuItem(b.GetControl(), top, 1);
  EXPECT_EQ(heard, (std::vector<OSType>{FourCC("iCmd"), FourCC("tCmd")}));
  // One control hit per choice reaches the window, and never the chosen command itself.
  EXPECT_EQ(window_.commands, (std::vector<OSType>{FourCC("bvl1"), FourCC("bvl1")}));
  // A command from a menu that reaches the button is announced and handled.
  Event e(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.attributes = kHICommandFromMenu;
  hc.commandID = FourCC("mCmd");
  e.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  EXPECT_EQ(SendEventToEventTarget(&e, GetControlEventTarget(b.GetControl())), kNoErr);
  EXPECT_EQ(heard.back(), FourCC("mCmd"));
  DisposeMenu(sub);
}

TEST_F(ButtonsTest, ColorSwatchPaintsAndAsksThePicker) {
  ColorSwatchButton s;
  ASSERT_TRUE(s.Create(&window_, FourCC("clr1"), Rect{130, 10, 150, 50}, L""));
  s.SetColor(0x0000FF, true);
  ButtonContent content;
  GetBevelButtonContent(s.GetControl(), &content);
  EXPECT_EQ(content.kind, ButtonContentKind::kPicture);
  EXPECT_EQ(content.picture, 0x0000FFu);  // pure red painted
  RGBColor asked;
  SetColorPickerResponder([&](const std::wstring& prompt, const RGBColor& in, RGBColor* out) {
    EXPECT_EQ(prompt, L"Choose a color");
    asked = in;
    *out = RGBColor{65535, 32896, 0};
    return true;
  });
  TestDriver::Click(s.GetControl());
  EXPECT_EQ(asked, (RGBColor{65535, 0, 0}));
  EXPECT_EQ(s.GetColor(), 0x0080FFu);
  SetColorPickerResponder([](const std::wstring&, const RGBColor&, RGBColor*) { return false; });
  TestDriver::Click(s.GetControl());  // cancelled: unchanged
  EXPECT_EQ(s.GetColor(), 0x0080FFu);
  s.SetClickEnabled(false);
  SetColorPickerResponder(nullptr);
}
