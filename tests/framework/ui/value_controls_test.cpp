#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

// The owning window hands every mouse-down to its scroll bar, as the timeline does.
class BarWindow : public WindowBase {
 public:
  ScrollBar* bar = nullptr;
  bool OnLButtonDown(int, int, std::uint32_t) override { return bar && bar->TrackClick(); }
};

std::vector<std::int32_t>* sink;

class ScrollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.CreateWindow(0, 0, 600, 400, kWindowFlagShow, WindowRef{}));
    sink = &emitted_;
  }
  void MakeBar(const Rect& r, std::int32_t minimum, std::int32_t maximum, std::int32_t value) {
    ASSERT_TRUE(bar_.Create(&window_, FourCC("sBar"), r));
    bar_.SetViewSize(r.Width() > r.Height());
    bar_.SetRange(minimum, maximum, false);
    ASSERT_TRUE(bar_.SetValue(value, false));
    bar_.valueSignal.Connect(new FunctionSlot<std::int32_t>([](std::int32_t v) { sink->push_back(v); }));
    window_.bar = &bar_;
  }
  // A press at `at`, dragged through `path`, then released.
  void Press(Point at, std::vector<Point> path = {}) {
    SetTrackingPath(std::move(path));
    TestDriver::MouseDown(window_.GetWindow(), at, 1, 0);
  }
  TestDriver driver_;
  BarWindow window_;
  ScrollBar bar_;
  std::vector<std::int32_t> emitted_;
};

}  // namespace

TEST_F(ScrollTest, ArrowsAndPagesStepAndPin) {
  MakeBar(Rect{100, 10, 300, 26}, 0, 100, 98);  // vertical, 200 long
  bar_.SetLineStep(5);
  Press(Point{295, 18});  // down arrow
  EXPECT_EQ(bar_.GetValue(), 100);
  Press(Point{295, 18});
  EXPECT_EQ(emitted_, std::vector<std::int32_t>{100});
  Press(Point{101, 18}, {Point{101, 18}});  // up arrow held: two steps
  EXPECT_EQ(bar_.GetValue(), 90);
  EXPECT_FALSE(bar_.SetValue(150, false));
  EXPECT_EQ(bar_.GetValue(), 90);
}

TEST_F(ScrollTest, HorizontalBarPagesByItsBigStep) {
  MakeBar(Rect{10, 10, 26, 310}, 0, 1000, 0);
  bar_.SetBigStep(16);
  Press(Point{18, 250});  // page right of the thumb
  Press(Point{18, 250});
  EXPECT_EQ(emitted_, (std::vector<std::int32_t>{16, 32}));
}

TEST_F(ScrollTest, ThumbDragsFollowSnapBackAndResume) {
  MakeBar(Rect{10, 10, 26, 210}, 0, 152, 0);  // 200 long: 152 of travel, one value a pixel
  const Point thumb{18, 30};
  ASSERT_EQ(FindControlPart(bar_.GetControl(), thumb), kControlIndicatorPart);
  Press(thumb);  // a click without moving
  EXPECT_EQ(bar_.GetValue(), 0);
  EXPECT_TRUE(emitted_.empty());
  Press(thumb, {Point{18, 80}, Point{500, 80}, Point{18, 90}});
  EXPECT_EQ(emitted_, (std::vector<std::int32_t>{50, 0, 60}));
  EXPECT_EQ(bar_.GetValue(), 60);
}

// Short bars and the widest range drag without overflow (UBSan watches the arithmetic).
TEST_F(ScrollTest, ShortBarsAndFullRangeStayDefined) {
  struct Case { Rect bounds; std::int32_t minimum, maximum, value; } cases[] = {
      {Rect{10, 10, 26, 50}, 0, 100, 50},
      {Rect{10, 10, 26, 58}, 0, 100, 50},
      {Rect{10, 10, 26, 70}, INT32_MIN, INT32_MAX, 0},
      {Rect{10, 10, 26, 70}, INT32_MIN, INT32_MAX, INT32_MAX},
  };
  for (const Case& c : cases) {
    ScrollBar bar;
    ASSERT_TRUE(bar.Create(&window_, FourCC("sBar"), c.bounds));
    bar.SetViewSize(true);
    bar.SetRange(c.minimum, c.maximum, false);
    ASSERT_TRUE(bar.SetValue(c.value, false));
    window_.bar = &bar;
    for (short x : {-200, 0, 20, 35, 45, 69, 160, 400}) {
      if (c.bounds.Width() <= 48) {
        EXPECT_EQ(bar.ValueUnder(Point{18, x}), bar.GetValue());
      }
      Press(Point{18, static_cast<short>(c.bounds.left + 24)}, {Point{18, x}, Point{60, x}});
      EXPECT_GE(bar.GetValue(), c.minimum);
      EXPECT_LE(bar.GetValue(), c.maximum);
    }
    window_.bar = nullptr;
  }
}

TEST(ValueControls, ProgressSliderAndStaticText) {
  TestDriver driver;
  WindowBase w;
  ASSERT_TRUE(w.CreateWindow(0, 0, 300, 200, 0, WindowRef{}));
  ProgressBar p;
  ASSERT_TRUE(p.Create(&w, FourCC("prog"), Rect{10, 10, 26, 200}, L""));
  EXPECT_TRUE(p.SetRange(0, 40000, false));
  EXPECT_TRUE(p.SetValue(30000, false));
  EXPECT_EQ(GetControlMinimum(p.GetControl()), 0);
  EXPECT_EQ(GetControlMaximum(p.GetControl()), 40000);
  EXPECT_EQ(p.GetValue(), 30000);
  p.SetRange(0, 1000, true);
  EXPECT_EQ(GetControlMaximum(p.GetControl()), 1000);
  Slider s;
  ASSERT_TRUE(s.Create(&w, FourCC("sldr"), Rect{30, 10, 50, 200}, L""));
  s.SetRange(-10, 10, false);
  s.SetValue(25, false);
  EXPECT_EQ(s.GetValue(), 10);
  StaticText t;
  ASSERT_TRUE(t.Create(&w, FourCC("txt1"), Rect{60, 10, 80, 200}, L"Label"));
  EXPECT_EQ(t.GetLayoutMetric1(), 16);
  EXPECT_TRUE(t.SetTextF(true, L"%ls", std::wstring(600, L'z').c_str()));
  EXPECT_EQ(t.GetText().size(), 600u);
  EXPECT_FALSE(t.SetTextF(true, L"%s", "\xff"));
  EXPECT_EQ(t.GetText().size(), 600u);
  EXPECT_TRUE(t.Clear(false));
  EXPECT_EQ(t.GetText(), L"");
  StaticText none;
  EXPECT_FALSE(none.SetText(L"x", false));
  ScrollBar empty;
  EXPECT_FALSE(empty.TrackClick());
  EXPECT_FALSE(empty.SetValue(0, false));
}
