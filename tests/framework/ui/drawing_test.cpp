#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <limits>
#include <vector>

#include "framework/ui/Drawing.h"

using namespace toolbox;

namespace {

std::uint32_t Grey(int g) { return static_cast<std::uint32_t>(g * 0x010101); }

struct Offscreen {
  GWorldPtr world = nullptr;
  Offscreen(int w, int h) { EXPECT_TRUE(CreateOffscreen(&world, w, h, 32)); }
  ~Offscreen() { DisposeOffscreen(&world); }
  std::uint32_t At(int x, int y) const { return GetPixBaseAddr(world)[y * RowWords(world) + x]; }
};

}  // namespace

TEST(GradientRamp, TableOfStopsGivesTheDocumentedColours) {
  struct Case {
    const char* name;
    std::vector<std::pair<float, std::uint32_t>> stops;
    int n;
    std::vector<std::pair<int, std::uint32_t>> expect;  // entry, colour
  } cases[] = {
      // 68 -> 221 over 154 entries: one level per column, one level over two columns.
      {"two grey stops", {{0.0f, Grey(68)}, {1.0f, Grey(221)}}, 154,
       {{0, Grey(68)}, {1, Grey(69)}, {76, Grey(144)}, {77, Grey(144)}, {152, Grey(219)}, {153, Grey(221)}}},
      {"same colour fills its stretch", {{0.0f, 0x123456}, {1.0f, 0x123456}}, 10,
       {{0, 0x123456}, {5, 0x123456}, {9, 0x123456}}},
      {"many stops", {{0.0f, 0x0000FF}, {0.5f, 0x00FF00}, {1.0f, 0xFF0000}}, 512,
       {{0, 0x0000FF}, {255, 0x00FE01}, {256, 0x00FF00}, {511, 0xFF0000}}},
      {"stops out of order", {{1.0f, Grey(200)}, {0.0f, Grey(0)}}, 201,
       {{0, Grey(0)}, {99, Grey(99)}, {100, Grey(99)}, {200, Grey(200)}}},
  };
  for (const Case& c : cases) {
    GradientFill g;
    for (auto [p, color] : c.stops) g.AddStop(p, color);
    std::vector<std::uint32_t> ramp = g.BuildRamp(c.n);
    ASSERT_EQ(ramp.size(), static_cast<size_t>(c.n)) << c.name;
    for (auto [i, color] : c.expect) EXPECT_EQ(ramp[i], color) << c.name << " entry " << i;
    // Every step changes a channel by at most one level; the last entry is the last colour.
    for (int i = 1; i + 1 < c.n; ++i)
      for (int shift : {0, 8, 16})
        EXPECT_LE(std::abs(int((ramp[i] >> shift) & 0xFF) - int((ramp[i - 1] >> shift) & 0xFF)), 1)
            << c.name << " entry " << i;
  }
}

TEST(GradientFill, AddStopReplacesAndClamps) {
  GradientFill g;
  g.AddStop(0.5f, 1);
  g.AddStop(0.5f, 2);
  g.AddStop(-0.5f, 3);
  g.AddStop(1.5f, 4);
  g.AddStop(std::numeric_limits<float>::quiet_NaN(), 5);
  ASSERT_EQ(g.Stops().size(), 3u);
  EXPECT_EQ(g.Stops()[0]->position, 0.0f);
  EXPECT_EQ(g.Stops()[0]->color, 5u);  // NaN counts as 0, the stop at 0 takes its colour
  EXPECT_EQ(g.Stops()[1]->color, 2u);
  EXPECT_EQ(g.Stops()[2]->position, 1.0f);
}

TEST(GradientFill, RadialAndClippedRendering) {
  Offscreen off(100, 100);
  GradientFill g;
  g.SetTwoStops(Grey(0), Grey(255));
  g.Render(off.world, Rect{0, 0, 100, 100}, false);
  EXPECT_EQ(off.At(50, 50), 0xFF000000u);   // centre: the first colour
  EXPECT_EQ(off.At(0, 0), 0xFFFFFFFFu);     // distance 70: past the 50 entries
  EXPECT_EQ(off.At(99, 50), 0xFFFFFFFFu);   // distance 49: the last entry
  // Rectangles larger than the offscreen write only inside it (ASan watches the buffer).
  g.Render(off.world, Rect{-50, -50, 300, 300}, true);
  g.Render(off.world, Rect{-50, -50, 300, 300}, false);
  LockOffscreenPixels(off.world, 1000, 1000, 128);
  EXPECT_EQ(off.At(99, 99), 0xFF808080u);
  // A stop outside 0..1 on a 10-pixel ramp stays in the table.
  GradientFill wide;
  wide.AddStop(-0.5f, Grey(10));
  wide.AddStop(1.5f, Grey(20));
  Offscreen small(10, 1);
  wide.Render(small.world, Rect{0, 0, 1, 10}, true);
  EXPECT_EQ(small.At(0, 0), 0xFF0A0A0Au);
  EXPECT_EQ(small.At(9, 0), 0xFF141414u);
}

TEST(Offscreen, ScaledCopyMatchesCairoNearestScaling) {
  Offscreen src(7, 5), dst(20, 16);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) GetPixBaseAddr(src.world)[y * RowWords(src.world) + x] = 0xFF000000u | (x * 30 << 16) | (y * 50);
  UnlockPixels(src.world);
  OffscreenBlit(src.world, Rect{1, 2, 5, 7}, dst.world, Rect{2, 3, 14, 18});
  // cairo's own answer for the same copy.
  cairo_surface_t* ref = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 16);
  cairo_t* cr = cairo_create(ref);
  cairo_rectangle(cr, 3, 2, 15, 12);
  cairo_clip(cr);
  cairo_translate(cr, 3, 2);
  cairo_scale(cr, 15.0 / 5, 12.0 / 4);
  cairo_set_source_surface(cr, GetPortSurface(src.world), -2, -1);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(ref);
  auto* want = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(ref));
  const int stride = cairo_image_surface_get_stride(ref) / 4;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(dst.At(x, y), want[y * stride + x]) << x << "," << y;
  cairo_surface_destroy(ref);
  // A block larger than both ports copies only what lies inside them.
  OffscreenBlit(src.world, Rect{-10, -10, 40, 40}, dst.world, Rect{-10, -10, 40, 40});
  EXPECT_EQ(dst.At(6, 4), src.At(6, 4));
}

TEST(Offscreen, CreateSetsColoursAndKeepsTheCurrentPort) {
  GrafPtr before = nullptr;
  GetGWorld(&before);
  Offscreen off(4, 4);
  GrafPtr after = nullptr;
  GetGWorld(&after);
  EXPECT_EQ(before, after);
  SetGWorld(off.world);
  EXPECT_EQ(GetForeColor(), (RGBColor{0, 0, 0}));
  EXPECT_EQ(GetBackColor(), (RGBColor{65535, 65535, 65535}));
  SetGWorld(before);
  GWorldPtr none = nullptr;
  EXPECT_FALSE(CreateOffscreen(&none, 0, 10, 32));
  EXPECT_EQ(none, nullptr);
}
