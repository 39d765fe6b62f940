#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "framework/ui/ControlBase.h"
#include "framework/ui/NibRef.h"
#include "framework/ui/WindowBase.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

// The smallest control that makes a control: a user pane.
class PaneControl : public ControlBase {
 public:
  bool Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) override {
    if (!ControlBase::Create(w, code, r, title) || !w) return false;
    if (OSStatus s = CreateControl(w->GetWindow(), kControlKindUserPane, r, title, &control)) {
      status = s;
      return false;
    }
    return FinishCreate(w, code);
  }
};

struct Dialog : WindowBase {
  bool OnInitDialog() override { return true; }
};

class ControlBaseFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "nibs");
    testsupport::WriteFile(dir_.path() / "nibs" / "main.xml", R"(<nib>
  <window name="IDD_DLG" width="300" height="200">
    <control kind="push" signature="ok  " id="4" title="OK" left="10" top="20" width="60" height="20"/>
    <control kind="pane" id="7" left="100" top="100" width="100" height="50"/>
  </window>
</nib>)");
    SetResourcesFolder(dir_.str());
    ASSERT_TRUE(nib_.OpenMain());
  }
  void TearDown() override { SetResourcesFolder(""); }

  TestDriver driver_;
  testsupport::ScratchDir dir_;
  NibRef nib_;
};

}  // namespace

// Every operation on a wrapper without a control, or whose control went with its window,
// fails without touching anything (ASan and UBSan watch).
TEST_F(ControlBaseFixture, EmptyAndStaleWrappersFailEveryOperation) {
  PaneControl empty;
  PaneControl stale;
  {
    Dialog w;
    ASSERT_TRUE(w.Create(nib_, L"IDD_DLG", WindowRef{}, 4));
    ASSERT_TRUE(w.BindControl(FourCC("ok  "), &stale));
    w.Destroy();
  }
  for (ControlBase* c : {static_cast<ControlBase*>(&empty), static_cast<ControlBase*>(&stale)}) {
    Rect r;
    int a = -1, b = -1;
    EXPECT_FALSE(c->GetBounds(&r));
    EXPECT_FALSE(c->GetPosition(&a, &b));
    EXPECT_FALSE(c->Move(1, 2));
    EXPECT_FALSE(c->SetLeft(3));
    EXPECT_FALSE(c->SetTop(3));
    EXPECT_FALSE(c->GetSize(&a, &b));
    EXPECT_FALSE(c->Resize(5, 6));
    EXPECT_FALSE(c->SetWidth(5));
    EXPECT_FALSE(c->SetHeight(5));
    EXPECT_EQ(c->GetLeft() + c->GetTop() + c->GetWidth() + c->GetHeight(), 0);
    EXPECT_FALSE(c->Draw());
    EXPECT_FALSE(c->Enable(true));
    EXPECT_FALSE(c->Disable());
    EXPECT_FALSE(c->Show(true));
    EXPECT_FALSE(c->Hide());
    EXPECT_FALSE(c->EmbedIn(ControlRef{}));
    EXPECT_TRUE(c->Destroy());
    EXPECT_FALSE(c->FinishCreate(nullptr, FourCC("abcd")));
    EXPECT_EQ(c->GetLayoutMetric1(), 16);
  }
  WindowRef none;
  EXPECT_FALSE(empty.Attach(FourCC("ok  "), &none, 4));
  EXPECT_FALSE(empty.Attach(FourCC("ok  "), nullptr, 4));
}

TEST_F(ControlBaseFixture, CreateOnceAttachBorrowsAndGeometryKeepsTheOtherHalf) {
  Dialog w;
  ASSERT_TRUE(w.Create(nib_, L"IDD_DLG", WindowRef{}, 4));
  PaneControl made;
  ASSERT_TRUE(made.Create(&w, FourCC("pane"), Rect{10, 20, 40, 120}, L""));
  const ControlRef first = made.GetControl();
  EXPECT_FALSE(made.Create(&w, FourCC("pane"), Rect{0, 0, 5, 5}, L""));
  EXPECT_EQ(made.GetControl(), first);
  ControlID id;
  GetControlID(first, &id);
  EXPECT_EQ(id, (ControlID{FourCC("pane"), 4}));
  EXPECT_EQ(ControlBase::FromControl(first), &made);
  EXPECT_TRUE(made.SetLeft(50));
  EXPECT_EQ(made.GetTop(), 10);
  EXPECT_TRUE(made.SetWidth(33));
  EXPECT_EQ(made.GetHeight(), 30);
  EXPECT_EQ(made.GetLeft(), 50);
  made.Destroy();
  EXPECT_FALSE(IsValidControlRef(first));
  EXPECT_TRUE(made.Create(&w, FourCC("pane"), Rect{0, 0, 5, 5}, L""));  // again after Destroy

  ControlRef ok;
  {
    PaneControl bound;
    ASSERT_TRUE(w.BindControl(FourCC("ok  "), &bound));
    ok = bound.GetControl();
    EXPECT_FALSE(bound.IsOwned());
    bound.Destroy();
    EXPECT_TRUE(IsValidControlRef(ok));
  }
  EXPECT_TRUE(IsValidControlRef(ok));  // the destructor leaves a bound control too
  PaneControl missing;
  EXPECT_FALSE(w.BindControl(FourCC("nope"), &missing));
  EXPECT_FALSE(missing.GetControl());
}

TEST_F(ControlBaseFixture, ControlsOfAPaneWindowGoIntoTheHostPane) {
  Dialog w;
  ASSERT_TRUE(w.Create(nib_, L"IDD_DLG", WindowRef{}, 4));
  Dialog pane;
  ASSERT_TRUE(pane.AttachToUserPane(nib_, 7, w.GetWindow(), 9));
  PaneControl c;
  ASSERT_TRUE(c.Create(&pane, FourCC("inPn"), Rect{0, 0, 10, 10}, L""));
  EXPECT_EQ(GetSuperControl(c.GetControl()), pane.GetHostPane());
  ControlID id;
  GetControlID(c.GetControl(), &id);
  EXPECT_EQ(id, (ControlID{FourCC("inPn"), 9}));
}
