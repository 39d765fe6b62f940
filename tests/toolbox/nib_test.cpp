#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Menus.h"
#include "toolbox/Nib.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Windows.h"

using namespace toolbox;

namespace {

const char* kNib = R"(<?xml version="1.0" encoding="UTF-8"?>
<nib>
  <menubar name="BAR">
    <menu id="1001" title="Fichier">
      <item title="Ouvrir…" command="open" key="O" modifiers="0"/>
      <separator/>
      <item title="Quitter" command="quit" enabled="false"/>
    </menu>
  </menubar>
  <window name="DLG" class="movable-modal" title="Réglages" left="10" top="20" width="300"
          height="200" closebox="true">
    <control kind="pane" id="5" left="0" top="0" width="300" height="150">
      <control kind="check" signature="mBat" id="9" command="mBat" title="Batch" left="4"
               top="4" width="80" height="18" value="1"/>
    </control>
    <control kind="push" signature="ok  " id="9" command="ok  " title="OK" left="200"
             top="160" width="80" height="20"/>
  </window>
</nib>)";

TEST(Nib, ParsesWindowsControlsAndMenus) {
  NibDescription d;
  std::string error;
  ASSERT_TRUE(ParseNib(kNib, &d, &error)) << error;
  ASSERT_EQ(d.windows.size(), 1u);
  const NibWindow& w = d.windows[0];
  EXPECT_EQ(w.name, "DLG");
  EXPECT_EQ(w.windowClass, kMovableModalWindowClass);
  EXPECT_EQ(w.attributes, kWindowCloseBoxAttribute | kWindowStandardHandlerAttribute);
  EXPECT_EQ(w.title, L"R\u00e9glages");
  EXPECT_EQ(w.bounds, (Rect{20, 10, 220, 310}));
  ASSERT_EQ(w.controls.size(), 2u);
  EXPECT_EQ(w.controls[0].kind, kControlKindUserPane);
  EXPECT_EQ(w.controls[0].id, (ControlID{0, 5}));
  ASSERT_EQ(w.controls[0].children.size(), 1u);
  EXPECT_EQ(w.controls[0].children[0].id, (ControlID{FourCC("mBat"), 9}));
  EXPECT_EQ(w.controls[0].children[0].value, 1);
  ASSERT_EQ(d.menuBars.size(), 1u);
  const NibMenu& m = d.menuBars[0].menus.at(0);
  EXPECT_EQ(m.id, 1001);
  ASSERT_EQ(m.items.size(), 3u);
  EXPECT_EQ(m.items[0].text, L"Ouvrir\u2026");
  EXPECT_EQ(m.items[0].key, U'O');
  EXPECT_EQ(m.items[1].attributes, kMenuItemAttrSeparator);
  EXPECT_FALSE(m.items[2].enabled);
}

TEST(Nib, RejectsBadDescriptions) {
  const char* cases[] = {
      "",
      "<nib>",
      "<window/>",
      "<nib><bogus/></nib>",
      "<nib><window name='a' colour='red'/></nib>",
      "<nib><window name='a' class='round'/></nib>",
      "<nib><window name='a' left='40000'/></nib>",
      "<nib><window name='a' left='30000' width='5000'/></nib>",
      "<nib><window name='a' width='-1'/></nib>",
      "<nib><window name='a' width='12px'/></nib>",
      "<nib><window name='a' closebox='yes'/></nib>",
      "<nib><window name='a'><control signature='toolong'/></window></nib>",
      "<nib><window name='a'><control kind='dial'/></window></nib>",
      "<nib><menubar name='b'><item title='x'/></menubar></nib>",
      "<nib><menubar name='b'><menu id='70000'/></menubar></nib>",
      "<nib><menubar name='b'><menu><item key='ab'/></menu></menubar></nib>",
      "<!DOCTYPE nib [<!ENTITY a 'aaaa'>]><nib/>",
      "<nib><nib/></nib>",
  };
  for (const char* xml : cases) {
    NibDescription d;
    std::string error;
    EXPECT_FALSE(ParseNib(xml, &d, &error)) << xml;
    EXPECT_FALSE(error.empty()) << xml;
  }
  std::string deep = "<nib><window name='a'>";
  for (int i = 0; i < 40; ++i) deep += "<control>";
  for (int i = 0; i < 40; ++i) deep += "</control>";
  deep += "</window></nib>";
  EXPECT_FALSE(ParseNib(deep, nullptr, nullptr));
  std::string many = "<nib><menubar name='b'><menu>";
  for (int i = 0; i < 5000; ++i) many += "<separator/>";
  many += "</menu></menubar></nib>";
  EXPECT_FALSE(ParseNib(many, nullptr, nullptr));
}

TEST(Nib, CreatesWindowsAndMenuBarsFromAFile) {
  TestDriver driver;
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "x.xml", kNib);
  NibRefHandle nib;
  ASSERT_EQ(CreateNibReferenceFromFile((dir / "x.xml").string(), &nib), kNoErr);
  WindowRef w;
  ASSERT_EQ(CreateWindowFromNib(nib, "DLG", &w), kNoErr);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_EQ(GetWindowName(w), "DLG");
  ControlRef box, pane;
  ASSERT_EQ(GetControlByID(w, ControlID{FourCC("mBat"), 9}, &box), kNoErr);
  ASSERT_EQ(GetControlByID(w, ControlID{0, 5}, &pane), kNoErr);
  EXPECT_EQ(GetSuperControl(box), pane);
  EXPECT_EQ(GetControlValue(box), 1);
  OSType command = 0;
  GetControlCommandID(box, &command);
  EXPECT_EQ(command, FourCC("mBat"));
  EXPECT_EQ(CreateWindowFromNib(nib, "NONE", &w), kNotFoundErr);

  ASSERT_EQ(SetMenuBarFromNib(nib, "BAR"), kNoErr);
  MenuRef file = GetMenuHandle(1001);
  ASSERT_TRUE(file);
  EXPECT_EQ(CountMenuItems(file), 3);
  EXPECT_EQ(SetMenuBarFromNib(nib, "NONE"), kNotFoundErr);
  EXPECT_EQ(DisposeNibReference(nib), kNoErr);
  EXPECT_EQ(CreateWindowFromNib(nib, "DLG", &w), kParamErr);

  testsupport::WriteFile(dir / "bad.xml", "<nib><window");
  EXPECT_EQ(CreateNibReferenceFromFile((dir / "bad.xml").string(), &nib), kNibFormatErr);
  EXPECT_NE(LastNibError().find("bad.xml"), std::string::npos);
  EXPECT_EQ(CreateNibReferenceFromFile((dir / "missing.xml").string(), &nib), kNotFoundErr);
}

// The application's own nib "main" holds the main window and the menu bar with Quit.
TEST(Nib, TheMainNibHasTheMainWindowAndTheMenuBar) {
  TestDriver driver;
  SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  NibRefHandle nib;
  ASSERT_EQ(CreateNibReference("main", &nib), kNoErr) << LastNibError();
  WindowRef w;
  EXPECT_EQ(CreateWindowFromNib(nib, "IDD_MAIN_DIALOG", &w), kNoErr);
  ASSERT_EQ(SetMenuBarFromNib(nib, "IDR_MENU"), kNoErr);
  bool hasQuit = false;
  for (MenuRef m : GetMenuBar()) {
    std::uint16_t index;
    hasQuit = hasQuit || GetIndMenuItemWithCommandID(m, FourCC("quit"), 1, &index) == kNoErr;
  }
  EXPECT_TRUE(hasQuit);
  DisposeNibReference(nib);
  EXPECT_EQ(CreateNibReference("../main", &nib), kNotFoundErr);
  EXPECT_EQ(CreateNibReference("", &nib), kNotFoundErr);
  SetResourcesFolder("");
}

}  // namespace
