#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "framework/platform/WideText.h"
#include "framework/ui/ControlArrangement.h"
#include "framework/ui/EditText.h"
#include "framework/ui/NibRef.h"
#include "framework/ui/WindowBase.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

struct Dialog : WindowBase {
  bool OnInitDialog() override { return true; }
};

class ArrangementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "nibs");
    testsupport::WriteFile(dir_.path() / "nibs" / "main.xml", R"(<nib>
  <window name="IDD_TABS" width="400" height="300">
    <control kind="tabs" signature="tTab" id="0" left="10" top="10" width="380" height="200">
      <entry title="One"/><entry title="Two"/><entry title="Three"/>
    </control>
    <control kind="pane" id="11" left="20" top="40" width="360" height="160">
      <control kind="edit" signature="eOne" id="0" left="30" top="50" width="100" height="20"/>
    </control>
    <control kind="pane" id="12" left="20" top="40" width="360" height="160"/>
    <control kind="pane" id="13" left="20" top="40" width="360" height="160"/>
    <control kind="bevel" signature="tAdd" id="0" left="10" top="250" width="40" height="40"/>
    <control kind="radio" signature="tDel" id="0" left="60" top="250" width="40" height="40"/>
  </window>
</nib>)");
    testsupport::WriteFile(dir_.path() / "Localizable.strings", "\"101\" = \"Add files\";\n");
    SetResourcesFolder(dir_.str());
    ASSERT_TRUE(nib_.OpenMain());
    ASSERT_TRUE(window_.Create(nib_, L"IDD_TABS", WindowRef{}, 0));
    ASSERT_TRUE(window_.BindControl(FourCC("tTab"), &tabs_));
    for (int id : {11, 12, 13}) tabs_.AddPane(&window_, id);
    static std::vector<int>* sink;
    sink = &emitted_;
    tabs_.tabSignal.Connect(new FunctionSlot<TabControl*>([](TabControl* t) {
      sink->push_back(GetControlValue(t->GetControl()));
    }));
  }
  void TearDown() override { SetResourcesFolder(""); }
  std::vector<bool> Shown() {
    std::vector<bool> out;
    for (int i = 0; i < 3; ++i) out.push_back(IsControlVisible(tabs_.GetPaneControl(i)));
    return out;
  }

  TestDriver driver_;
  testsupport::ScratchDir dir_;
  NibRef nib_;
  Dialog window_;
  TabControl tabs_;
  std::vector<int> emitted_;
};

}  // namespace

TEST_F(ArrangementTest, TabsShowOnePaneAndAnnounceEverySelection) {
  ControlRef field;
  ASSERT_EQ(GetControlByID(window_.GetWindow(), ControlID{FourCC("eOne"), 0}, &field), kNoErr);
  SetKeyboardFocus(window_.GetWindow(), field);
  EXPECT_TRUE(tabs_.SelectTab(1, true));
  EXPECT_EQ(Shown(), (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(GetKeyboardFocus(window_.GetWindow()));  // no focus left in a hidden pane
  tabs_.SelectTab(5, false);
  EXPECT_EQ(Shown(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(GetControlValue(tabs_.GetControl()), 3);  // pinned to the tabs there are
  EXPECT_EQ(ClickTab(tabs_.GetControl(), 1), kNoErr);  // the user clicks the first tab
  EXPECT_EQ(Shown(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(emitted_, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(tabs_.AddPaneWithTitle(&window_, 14, 987654), -1);
  EXPECT_EQ(tabs_.PaneCount(), 3);
  EXPECT_FALSE(tabs_.GetPaneControl(3));
}

TEST_F(ArrangementTest, ToolbarBindsNibButtonsById0) {
  Toolbar bar;
  EXPECT_TRUE(bar.Attach(window_.GetWindow()));
  bar.Begin();
  bar.AddIcon(128, FourCC("TbA0"));
  EXPECT_TRUE(bar.AddButton(L"Add", FourCC("tAdd"), 0, false, false));
  EXPECT_TRUE(bar.AddButton(L"Delete", FourCC("tDel"), 7, false, false));  // no such icon
  EXPECT_FALSE(bar.AddButton(L"Play", FourCC("tPly"), 0, false, false));
  EXPECT_EQ(bar.ButtonCount(), 2);
  ASSERT_NE(bar.FindButton(FourCC("tAdd")), nullptr);
  EXPECT_EQ(bar.FindButton(FourCC("tPly")), nullptr);
  ButtonContent content;
  GetBevelButtonContent(bar.FindButton(FourCC("tAdd"))->button.GetControl(), &content);
  EXPECT_EQ(content.icon, FourCC("TbA0"));
  EXPECT_EQ(bar.SetHelpTag(FourCC("tAdd"), 101), 0);
  WideText help(101);
  ASSERT_STRNE(ToNativeString(help.CStr()).c_str(), "101");
  EXPECT_EQ(GetControlHelpText(bar.FindButton(FourCC("tAdd"))->button.GetControl()), help.CStr());
  EXPECT_EQ(bar.SetHelpTag(FourCC("tPly"), 101), 0);
  HelpTag tag;
  EXPECT_FALSE(tag.SetForControl(bar.FindButton(FourCC("tDel"))->button.GetControl(), 987654));
}

TEST_F(ArrangementTest, AnchorsMoveAndStretchFromTheRecordedGeometry) {
  EditText a, b, c;
  ASSERT_TRUE(a.Create(&window_, FourCC("eA  "), Rect{10, 10, 30, 110}, L""));
  ASSERT_TRUE(b.Create(&window_, FourCC("eB  "), Rect{40, 10, 60, 110}, L""));
  ASSERT_TRUE(c.Create(&window_, FourCC("eC  "), Rect{70, 10, 90, 110}, L""));
  ControlAnchorList anchors;
  anchors.Add(&a, true, false, false, false);
  anchors.Add(&b, false, true, true, true);
  anchors.Add(&c, false, false, false, false);
  anchors.Apply(30, 20);
  Rect r;
  a.GetBounds(&r);
  EXPECT_EQ(r, (Rect{10, 40, 30, 140}));
  b.GetBounds(&r);
  EXPECT_EQ(r, (Rect{60, 10, 100, 140}));
  c.GetBounds(&r);
  EXPECT_EQ(r, (Rect{70, 10, 90, 110}));
  anchors.Apply(0, 0);
  b.GetBounds(&r);
  EXPECT_EQ(r, (Rect{40, 10, 60, 110}));
  EXPECT_TRUE(SetWatchCursorChecked());
  EXPECT_EQ(GetThemeCursor(), kThemeWatchCursor);
  EXPECT_EQ(SetArrowCursor(), kNoErr);
  EXPECT_EQ(GetThemeCursor(), kThemeArrowCursor);
}
