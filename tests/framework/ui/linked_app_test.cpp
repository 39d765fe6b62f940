#include "framework/ui/LinkedApp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/platform/Bundle.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Navigation.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

// The user is asked with the application's own words for the tool's folder; only a folder
// that holds the plug-in bundle gives an answer, and anything else leaves `out` alone.
TEST(LinkedApp, LocateTakesTheBundleFromTheChosenFolder) {
  TestDriver driver;
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "Localizable.strings", "\"131\" = \"Where is the tool?\";\n");
  SetResourcesFolder(dir.str());
  const std::string tool = (dir / "Tool").string(), empty = (dir / "Empty").string();
  std::filesystem::create_directories(tool + "/" + WideToUtf8(kLinkedAppBundleName));
  std::filesystem::create_directories(empty);
  struct Case {
    std::string chosen;  // empty: cancel
    bool found;
  };
  for (const Case& c : {Case{tool, true}, Case{empty, false}, Case{"", false}}) {
    std::wstring message;
    if (c.chosen.empty()) {
      driver.ThenCancelFileDialog();
    } else {
      driver.Then([&] {
        message = ViewOfNavDialog(FrontNavDialog()).options.message;
        NavDialogAccept(FrontNavDialog(), {c.chosen});
      });
    }
    PathString out(L"unchanged");
    EXPECT_EQ(LocateLinkedApp(out, WindowRef{}), c.found) << c.chosen;
    EXPECT_EQ(WideToUtf8(out), c.found ? tool + "/" + WideToUtf8(kLinkedAppBundleName) : "unchanged");
    if (!c.chosen.empty()) {
      EXPECT_EQ(message, L"Where is the tool?");
    }
  }
  SetResourcesFolder("");
}
