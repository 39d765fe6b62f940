#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui/FontButton.h"
#include "framework/ui/FontDialog.h"
#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

bool HaveDejaVu() {
  return FindFontFamily(L"DejaVu Sans") && FindFontFamily(L"DejaVu Serif") &&
         FindFontFamily(L"DejaVu Sans Mono");
}

// A font menu made by hand: DejaVu Sans with its faces except Bold resolving, DejaVu Sans
// Mono (the second family) not resolving at all, DejaVu Serif with all its faces, and a
// family without a submenu. `reportedSubmenus` is what the menu claims to hold.
class ModelMenuDialog : public FontDialog {
 public:
  int reportedOffset = 0;

 protected:
  OSStatus MakeFontMenu(MenuRef menu, std::uint16_t* count) override {
    std::uint16_t submenus = 0;
    auto family = [&](const wchar_t* name, bool resolves, bool withFaces, std::uint16_t skipStyle) {
      const FontFamilyID id = FindFontFamily(name);
      std::uint16_t item = 0;
      AppendMenuItem(menu, MenuItemInfo{name}, &item);
      if (!withFaces) {
        if (resolves) SetFontMenuItemSelection(menu, item, id, GetFontFamilyStyles(id).front());
        return;
      }
      MenuRef sub;
      CreateNewMenu(static_cast<std::int16_t>(100 + submenus), name, &sub);
      for (std::uint16_t style : GetFontFamilyStyles(id)) {
        std::uint16_t at = 0;
        AppendMenuItem(sub, MenuItemInfo{StyleName(style)}, &at);
        if (resolves && style != skipStyle) SetFontMenuItemSelection(sub, at, id, style);
      }
      SetMenuItemHierarchicalMenu(menu, item, sub);
      ++submenus;
    };
    family(L"DejaVu Sans", true, true, kStyleBold);
    family(L"DejaVu Sans Mono", false, true, 0);
    family(L"DejaVu Serif", true, true, 0xFFFF);
    family(L"DejaVu Sans Mono", true, false, 0);
    *count = static_cast<std::uint16_t>(submenus + reportedOffset);
    return kNoErr;
  }
};

// Writes the text into the front font dialog's size field.
void SetSizeField(const wchar_t* text) {
  ControlRef field;
  GetControlByID(FrontWindow(), ControlID{FourCC("eSiz"), 0}, &field);
  SetControlTitle(field, text);
}

FontInfo Font(const wchar_t* family, std::uint16_t style, std::int32_t size) {
  FontInfo f;
  EXPECT_TRUE(f.SetFamilyByName(family));
  f.SetStyle(style);
  f.SetSize(size);
  return f;
}

}  // namespace

TEST(FontDialog, EveryListedFaceSelectsAndReadsBackItself) {
  if (!HaveDejaVu()) GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
  TestDriver driver;
  ModelMenuDialog dialog;
  ASSERT_TRUE(dialog.CreateWindow(100, 100, 500, 320, kWindowFlagMovableModal, WindowRef{}));
  ASSERT_EQ(dialog.Families().size(), 3u);  // the unresolved family is left out
  int checked = 0;
  for (const auto& family : dialog.Families()) {
    std::vector<std::uint16_t> styles;
    for (const auto& face : family->typefaces) styles.push_back(face->style);
    if (styles.empty()) styles.push_back(GetFontFamilyStyles(static_cast<FontFamilyID>(family->familyId)).front());
    for (std::uint16_t style : styles) {
      FontInfo want;
      want.SetFamilyById(family->familyId);
      want.SetStyle(style);
      want.SetSize(15);
      dialog.SelectFont(want);
      FontInfo got = Font(L"DejaVu Serif", 0, 9);
      dialog.ReadSelection(&got);
      EXPECT_EQ(got.GetFamilyId(), want.GetFamilyId()) << family->familyId << " " << style;
      EXPECT_EQ(got.GetStyle(), style);
      EXPECT_EQ(got.GetSize(), 15);
      ++checked;
    }
  }
  EXPECT_GE(checked, 4);
  EXPECT_EQ(dialog.SizeList().GetSelectedRow(), -1);  // 15 is no row: it is in the field
  EXPECT_EQ(dialog.SizeField().GetText(), L"15");
}

TEST(FontDialog, AMenuWithMoreSubmenusThanReportedLeavesTheListsEmpty) {
  TestDriver driver;
  if (!HaveDejaVu()) GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
  ModelMenuDialog dialog;
  dialog.reportedOffset = -1;
  ASSERT_TRUE(dialog.CreateWindow(100, 100, 500, 320, kWindowFlagMovableModal, WindowRef{}));
  EXPECT_TRUE(dialog.Families().empty());
  EXPECT_EQ(dialog.FamilyList().GetCount(), 0);
  EXPECT_EQ(dialog.SizeList().GetCount(), 14);
}

TEST(FontDialog, SizesOtherThanWholePointsKeepThePreviousSize) {
  if (!HaveDejaVu()) GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
  struct { const wchar_t* field; OSType button; std::int32_t size; } cases[] = {
      {L"abc", kResultOK, 12}, {L"0", kCommandApply, 12}, {L"-3", kResultOK, 12},
      {L"", kCommandApply, 12}, {L"15", kResultOK, 15}, {L" 40000", kResultOK, 12}};
  for (auto c : cases) {
    TestDriver driver;
    FontInfo font = Font(L"DejaVu Sans", 0, 12);
    FontDialog dialog;
    driver.Then([&] { SetSizeField(c.field); });
    driver.ThenClick(ControlID{c.button, 0});
    if (c.button == kCommandApply) driver.ThenClick(ControlID{kResultCancel, 0});
    const std::int32_t result = dialog.Run(&font, WindowRef{}, nullptr);
    EXPECT_EQ(result, static_cast<std::int32_t>(c.button == kResultOK ? kResultOK : kResultCancel));
    EXPECT_EQ(font.GetSize(), c.size) << c.field;
    EXPECT_EQ(font.GetFamilyName(), L"DejaVu Sans");
  }
}

// Return (or Enter) presses OK, which reads the chosen size; Escape presses Cancel.
TEST(FontDialog, ReturnAndEscapeAnswerAsOKAndCancel) {
  if (!HaveDejaVu()) GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
  struct { std::uint32_t key; OSType result; std::int32_t size; } cases[] = {
      {kReturnKeyCode, kResultOK, 24}, {kEnterKeyCode, kResultOK, 24}, {kEscapeKeyCode, kResultCancel, 12}};
  for (auto c : cases) {
    TestDriver driver;
    FontInfo font = Font(L"DejaVu Sans", 0, 12);
    FontDialog dialog;
    driver.Then([&] {
      SetSizeField(L"24");
      PressKey(FrontWindow(), c.key);
    });
    EXPECT_EQ(dialog.Run(&font, WindowRef{}, nullptr), static_cast<std::int32_t>(c.result)) << c.key;
    EXPECT_EQ(font.GetSize(), c.size);
  }
}

TEST(FontDialog, NarrowingMovesTheRightColumnsAtMost100Pixels) {
  TestDriver driver;
  FontDialog dialog;
  ASSERT_TRUE(dialog.CreateWindow(100, 100, 500, 320, kWindowFlagMovableModal | kWindowFlagResizable, WindowRef{}));
  dialog.Resize(350, 320);
  ControlRef ok, list;
  GetControlByID(dialog.GetWindow(), ControlID{kResultOK, 0}, &ok);
  GetControlByID(dialog.GetWindow(), ControlID{FourCC("lFnt"), 0}, &list);
  Rect r;
  GetControlBounds(ok, &r);
  EXPECT_EQ(r.left, 300);
  GetControlBounds(list, &r);
  EXPECT_EQ(r.Width(), 50);
}

namespace {
std::vector<std::int32_t> changes;
void Changed(const FontInfo& f, void*) { changes.push_back(f.GetSize()); }
}  // namespace

TEST(FontButton, TheOwnerHearsOfEveryChangeMadeInTheDialog) {
  if (!HaveDejaVu()) GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
  TestDriver driver;
  WindowBase owner;
  ASSERT_TRUE(owner.CreateWindow(0, 0, 300, 200, kWindowFlagShow, WindowRef{}));
  FontButton button(Changed, nullptr);
  ASSERT_TRUE(button.Create(&owner, FourCC("fBtn"), Rect{10, 10, 30, 250}, L""));
  FontInfo start = Font(L"DejaVu Sans", 0, 12);
  button.SetFont(start, false);
  EXPECT_EQ(GetControlTitle(button.GetControl()), L"DejaVu Sans Regular 12 pt");
  EXPECT_EQ(button.GetLayoutMetric1(), 17);
  auto setSize = [](const wchar_t* text) {
    return [text] {
      ControlRef field;
      GetControlByID(FrontWindow(), ControlID{FourCC("eSiz"), 0}, &field);
      SetControlTitle(field, text);
    };
  };
  changes.clear();
  // Apply then Cancel: the applied font stays, the title shows it, one call.
  driver.Then(setSize(L"18"));
  driver.ThenClick(ControlID{kCommandApply, 0});
  driver.Then([] { MoveWindow(FrontWindow(), 150, 160); });
  driver.ThenClick(ControlID{kResultCancel, 0});
  TestDriver::Click(button.GetControl());
  EXPECT_EQ(button.GetFont().GetSize(), 18);
  EXPECT_EQ(GetControlTitle(button.GetControl()), L"DejaVu Sans Regular 18 pt");
  EXPECT_EQ(changes, std::vector<std::int32_t>{18});
  EXPECT_EQ(button.GetDialogFrame()[0], 150);
  EXPECT_EQ(button.GetDialogFrame()[1], 160);
  // OK with a new size: one call.
  driver.Then(setSize(L"24"));
  driver.ThenClick(ControlID{kResultOK, 0});
  TestDriver::Click(button.GetControl());
  EXPECT_EQ(changes, (std::vector<std::int32_t>{18, 24}));
  // Cancel alone: nothing changes, nobody is called, the frame is still remembered.
  driver.Then([] { MoveWindow(FrontWindow(), 170, 180); });
  driver.ThenClick(ControlID{kResultCancel, 0});
  TestDriver::Click(button.GetControl());
  EXPECT_EQ(changes.size(), 2u);
  EXPECT_EQ(GetControlTitle(button.GetControl()), L"DejaVu Sans Regular 24 pt");
  EXPECT_EQ(button.GetDialogFrame()[0], 170);
}

TEST(FontButton, FontPanelSelectionsGoToThePanelsOwner) {
  TestDriver driver;
  WindowBase owner;
  ASSERT_TRUE(owner.CreateWindow(0, 0, 300, 200, kWindowFlagShow, WindowRef{}));
  changes.clear();
  auto button = std::make_unique<FontButton>(Changed, nullptr);
  ASSERT_TRUE(button->Create(&owner, FourCC("fBtn"), Rect{10, 10, 30, 250}, L""));
  const std::wstring family = button->GetFont().GetFamilyName();
  Event show(kEventClassCommand, kEventCommandProcess);
  HICommand command;
  command.commandID = FourCC("shfp");
  show.SetParameter(kEventParamDirectObject, kTypeHICommand, command);
  SendEventToEventTarget(&show, GetControlEventTarget(button->GetControl()));
  EXPECT_TRUE(IsFontPanelVisible());
  EXPECT_EQ(FontButton::PanelOwner(), button.get());
  Event pick(kEventClassFont, kEventFontSelection);
  pick.SetParameter(kEventParamFMFontSize, kTypeFMFontValue, std::uint16_t{30});
  SendEventToEventTarget(&pick, GetControlEventTarget(button->GetControl()));
  EXPECT_EQ(button->GetFont().GetSize(), 30);
  EXPECT_EQ(button->GetFont().GetFamilyName(), family);  // only the size was chosen
  EXPECT_EQ(changes, std::vector<std::int32_t>{30});
  button.reset();  // closes the panel it opened
  EXPECT_FALSE(IsFontPanelVisible());
  EXPECT_EQ(FontButton::PanelOwner(), nullptr);
}
