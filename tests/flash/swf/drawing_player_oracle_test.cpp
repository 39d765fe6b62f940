// Judged by the browser player: shapes, a gradient, a bitmap fill and a button built from the
// drawing classes are drawn where and how they were built (pixels of a screenshot, decoded by
// python3), as written and after a read/write round trip, and the button's release runs its
// action list.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfMovieWriter.h"
#include "support/Player.h"

using namespace swftest;

namespace {

constexpr int32_t kTwips = 20;

DefineShapeTag* Rectangle(uint16_t id, int32_t x, int32_t y, int32_t w, int32_t h, SwfFillStyle* fill,
                          SwfLineStyle* line = nullptr) {
  auto* t = new DefineShapeTag();
  t->characterId = id;
  t->BuildRectangle(x * kTwips, y * kTwips, w * kTwips, h * kTwips, fill, line);
  return t;
}

SwfMatrix* Scaled(int32_t scale, int32_t x, int32_t y) {
  auto* m = new SwfMatrix();
  m->SetUnitScale();
  m->scaleX = m->scaleY = scale;
  m->translateX = x;
  m->translateY = y;
  return m;
}

// Black to green from left to right across the 200-pixel rectangle at (150, 20).
SwfFillStyle* Gradient() {
  auto* fill = new SwfFillStyle();
  fill->fillType = kFillLinearGradient;
  // The gradient square is 32768 twips wide; 200 pixels are 4000 twips (16.16 scale 8000).
  fill->matrix.reset(Scaled(8000, 250 * kTwips, 70 * kTwips));
  fill->gradient = std::make_unique<SwfGradient>();
  for (int i = 0; i < 2; ++i) {
    auto r = std::make_unique<SwfGradientRecord>();
    r->ratio = static_cast<uint8_t>(255 * i);
    r->color = std::make_unique<SwfRgb>(0, static_cast<uint8_t>(255 * i), 0);
    fill->gradient->records.push_back(std::move(r));
  }
  return fill;
}

// Two by two pixels: red, green / blue, yellow, compressed as the format stores them.
DefineBitsLosslessTag* Bitmap(uint16_t id) {
  const uint8_t pixels[] = {0xFF, 255, 0, 0, 0xFF, 0, 255, 0, 0xFF, 0, 0, 255, 0xFF, 255, 255, 0};
  std::vector<uint8_t> packed(compressBound(sizeof pixels));
  uLongf size = packed.size();
  compress2(packed.data(), &size, pixels, sizeof pixels, 9);
  packed.resize(size);
  auto* t = new DefineBitsLosslessTag(kBitmapDirect24);
  t->characterId = id;
  t->SetWidth(2);
  t->SetHeight(2);
  t->data = packed;
  return t;
}

PlaceObject2Tag* Place(uint16_t id, uint16_t depth) {
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(id);
  p->depth = depth;
  p->SetMatrix(new SwfMatrix());
  return p;
}

DoActionTag* Trace(const wchar_t* text, bool stop) {
  auto* list = new DoActionTag(8);
  list->AddAction(new ActionPush(text));
  list->AddAction(new ActionGeneric(0x26));
  if (stop) list->AddAction(new ActionStop());
  return list;
}

uint32_t WriteDrawingMovie(const PathString& path) {
  SwfMovieWriter w;
  w.SetMovieProperties(550 * kTwips, 400 * kTwips, 12, 8);
  if (!w.Open(path, true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(255, 255, 255), false);
  w.WriteTag(Rectangle(1, 20, 20, 100, 100, new SwfFillStyle(new SwfRgb(255, 0, 0), false),
                       new SwfLineStyle(10 * kTwips, new SwfRgb(0, 0, 255), false)),
             false);
  w.WriteTag(Rectangle(2, 150, 20, 200, 100, Gradient()), false);
  w.WriteTag(Bitmap(3), false);
  auto* bitmapFill = new SwfFillStyle();
  bitmapFill->fillType = kFillClippedBitmapHard;
  bitmapFill->bitmapId = 3;
  // One bitmap pixel is a twip: 50 screen pixels are a scale of 1000.
  bitmapFill->matrix.reset(Scaled(1000 << 16, 400 * kTwips, 20 * kTwips));
  w.WriteTag(Rectangle(4, 400, 20, 100, 100, bitmapFill), false);
  w.WriteTag(Rectangle(5, 20, 150, 100, 60, new SwfFillStyle(new SwfRgb(255, 128, 0), false)), false);
  auto* button = new DefineButton2Tag();
  button->characterId = 6;
  auto* record = new SwfButtonRecord();
  record->stateFlags = kButtonStateUp | kButtonStateOver | kButtonStateDown | kButtonStateHitTest;
  record->characterId = 5;
  record->matrix = std::make_unique<SwfMatrix>();
  record->cxform = std::make_unique<SwfCxformWithAlpha>();
  button->AddButtonRecord(record);
  button->AddCondAction(kButtonConditionRelease, Trace(L"clicked", false));
  w.WriteTag(button, false);
  w.WriteTag(Place(1, 1), false);
  w.WriteTag(Place(2, 2), false);
  w.WriteTag(Place(4, 3), false);
  w.WriteTag(Place(6, 4), false);
  w.WriteTag(Trace(L"drawn", true), false);
  w.WriteTag(new ShowFrameTag(), false);
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

struct Point {
  int x, y;
  int r, g, b;
  const char* what;
};

// "r,g,b" of each point of a PNG screenshot, decoded by python3 (zlib and the PNG filters).
std::vector<std::string> PixelsOf(const std::string& png, const std::vector<Point>& points) {
  std::ostringstream list;
  for (auto& p : points) list << "(" << p.x << "," << p.y << "),";
  const std::string out = testsupport::Python(
      "png_path = '" + png + "'\n" + testsupport::kPythonReadPng +
      "for x, y in [" + list.str() + "]:\n"
      "    print('%d,%d,%d' % px(x, y))\n");
  std::vector<std::string> colours;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) colours.push_back(line);
  return colours;
}

}  // namespace

TEST(DrawingPlayer, ShapesGradientBitmapAndButtonAreDrawnAndTheButtonRuns) {
  SKIP_WITHOUT_PLAYER();
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  ASSERT_GT(WriteDrawingMovie(PathOf(dir / "drawing.swf")), 0u);
  ASSERT_GT(RewriteMovie(PathOf(dir / "drawing.swf"), PathOf(dir / "again.swf")), 0u);
  EXPECT_TRUE(testsupport::ReadFile(dir / "again.swf") == testsupport::ReadFile(dir / "drawing.swf"));

  testsupport::PlayerOptions options;
  options.until = "drawn";
  options.shotDir = dir.str();
  options.click = "70,180";
  options.count = 2;
  auto results = testsupport::RunInPlayer({dir / "drawing.swf", dir / "again.swf"}, options);
  ASSERT_EQ(results.size(), 2u);
  const std::vector<Point> points = {
      {70, 70, 255, 0, 0, "the red fill"},
      {20, 70, 0, 0, 255, "the blue outline on the left edge"},
      {120, 100, 0, 0, 255, "the blue outline on the right edge"},
      {153, 70, 0, 0, 0, "the gradient's black end"},
      {250, 70, 0, 128, 0, "the gradient's middle"},
      {347, 70, 0, 255, 0, "the gradient's green end"},
      {425, 45, 255, 0, 0, "the bitmap's top left pixel"},
      {475, 45, 0, 255, 0, "the bitmap's top right pixel"},
      {425, 95, 0, 0, 255, "the bitmap's bottom left pixel"},
      {475, 95, 255, 255, 0, "the bitmap's bottom right pixel"},
      {70, 180, 255, 128, 0, "the button's shape"},
      {300, 300, 255, 255, 255, "the background"},
  };
  for (auto& r : results) {
    SCOPED_TRACE(r.movie);
    ASSERT_TRUE(r.errors.empty()) << r.errors[0];
    EXPECT_EQ(r.traces, (std::vector<std::string>{"drawn", "clicked"}));
    ASSERT_FALSE(r.shot.empty());
    const auto colours = PixelsOf(r.shot, points);
    ASSERT_EQ(colours.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      int red = -1, green = -1, blue = -1;
      sscanf(colours[i].c_str(), "%d,%d,%d", &red, &green, &blue);
      const auto& p = points[i];
      const int tolerance = 28;
      EXPECT_TRUE(std::abs(red - p.r) <= tolerance && std::abs(green - p.g) <= tolerance &&
                  std::abs(blue - p.b) <= tolerance)
          << p.what << " at " << p.x << "," << p.y << ": " << colours[i];
    }
  }
}
