// Text and pixels drawn into offscreen ports, judged against Pango and cairo drawing the
// same thing directly.
#include "framework/platform/PortDrawing.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <string>
#include <vector>

#include "toolbox/Fonts.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

// Fontconfig, Pango and cairo keep their font caches for the life of the process and never
// free them; the leak checker of the sanitizer build is told so.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpangoft2\nleak:libpangocairo\nleak:libcairo.so\n";
}

namespace {

constexpr int kWidth = 160, kHeight = 40;

// An offscreen filled with white, made current.
GWorldPtr WhiteOffscreen() {
  GWorldPtr world = nullptr;
  EXPECT_EQ(NewGWorld(&world, 32, Rect{0, 0, kHeight, kWidth}), kNoErr);
  SetGWorld(world);
  EraseRect(Rect{0, 0, kHeight, kWidth});
  return world;
}

std::string Pixels(cairo_surface_t* s) {
  cairo_surface_flush(s);
  const auto* data = reinterpret_cast<const char*>(cairo_image_surface_get_data(s));
  return std::string(data, static_cast<size_t>(cairo_image_surface_get_stride(s)) * kHeight);
}

// Pango's own drawing of UTF-8 text with the left end of its baseline at (x, y); the
// logical width goes to `width`.
std::string PangoReference(const char* utf8, int size, double x, double y, int* width,
                           const char* family = "Sans", bool bold = false) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, family);
  if (bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, utf8, -1);
  pango_layout_get_pixel_size(layout, width, nullptr);
  if (x >= 0) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, x, y - pango_layout_get_baseline(layout) / double(PANGO_SCALE));
    pango_cairo_show_layout(cr, layout);
  }
  g_object_unref(layout);
  cairo_destroy(cr);
  std::string pixels = Pixels(s);
  cairo_surface_destroy(s);
  return pixels;
}

TEST(PortDrawing, TextIsDrawnAndMeasuredAsPangoDoesIt) {
  const wchar_t text[] = L"A\u00e9\u4e2d";
  const char* utf8 = "A\xC3\xA9\xE4\xB8\xAD";
  GWorldPtr world = WhiteOffscreen();
  TextSize(18);
  DrawTextAt(6, 28, text, 3);
  int width = 0;
  const std::string reference = PangoReference(utf8, 18, 6, 28, &width);
  const std::string drawn = Pixels(GetPortSurface(world));
  EXPECT_EQ(drawn, reference);
  EXPECT_NE(drawn, PangoReference("", 18, -1, 0, &width));  // something was drawn

  PangoReference(utf8, 18, -1, 0, &width);
  EraseRect(Rect{0, 0, kHeight, kWidth});
  const Rect box{0, 10, 35, 150};
  EXPECT_EQ(DrawTextCentered(text, 3, box, 0), width);
  EXPECT_EQ(Pixels(GetPortSurface(world)), PangoReference("", 18, -1, 0, &width));  // flag 0: measure only
  PangoReference(utf8, 18, -1, 0, &width);
  EXPECT_EQ(DrawTextCentered(text, 3, box, 1), width);
  EXPECT_EQ(Pixels(GetPortSurface(world)), PangoReference(utf8, 18, 10 + 70 - width / 2, 35, &width));
  SetGWorld(nullptr);
  DisposeGWorld(world);
}

// The text goes out in the port's font family, size and face, whichever TextFont, TextSize
// and TextFace set: two families draw and measure as Pango does with each, and differ.
TEST(PortDrawing, TextUsesThePortsFontFamilySizeAndFace) {
  struct Case {
    const char* family;
    short size;
    bool bold;
  } cases[] = {{"DejaVu Sans Mono", 16, false}, {"DejaVu Serif", 20, true}};
  const wchar_t text[] = L"iiWW";
  GWorldPtr world = WhiteOffscreen();
  std::vector<int> widths;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    const FontFamilyID id = FindFontFamily(toolbox::Utf8ToWide(c.family));
    if (id == 0) GTEST_SKIP() << c.family << " is not installed";
    TextFont(id);
    TextSize(c.size);
    TextFace(c.bold ? kStyleBold : 0);
    EraseRect(Rect{0, 0, kHeight, kWidth});
    DrawTextAt(4, 30, text, 4);
    int width = 0;
    EXPECT_TRUE(Pixels(GetPortSurface(world)) == PangoReference("iiWW", c.size, 4, 30, &width, c.family, c.bold))
        << "drawn otherwise than Pango draws it";
    EXPECT_EQ(DrawTextCentered(text, 4, Rect{0, 0, 30, 100}, 0), width);
    widths.push_back(width);
  }
  EXPECT_NE(widths[0], widths[1]);
  TextFont(0);
  TextFace(0);
  SetGWorld(nullptr);
  DisposeGWorld(world);
}

TEST(PortDrawing, PlotPixelsByDepth) {
  GWorldPtr world = WhiteOffscreen();
  GWorldPtr other = nullptr;
  ASSERT_EQ(NewGWorld(&other, 32, Rect{0, 0, 4, 4}), kNoErr);
  SetGWorld(other);
  const unsigned char rgb[] = {255, 0, 0, 0, 128, 255};
  const unsigned char mono[] = {0, 7};
  struct Case {
    int depth;
    const unsigned char* pixels;
    std::uint32_t first, second;
  } cases[] = {
      {24, rgb, 0xFFFF0000u, 0xFF0080FFu},
      {1, mono, 0xFF000000u, 0xFFFFFFFFu},
      {8, rgb, 0xFFFFFFFFu, 0xFFFFFFFFu},  // plots nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    SetGWorld(world);
    EraseRect(Rect{0, 0, kHeight, kWidth});
    SetGWorld(other);
    PlotPixels(c.pixels, 2, 1, c.depth, world);
    GrafPtr current = nullptr;
    GetGWorld(&current);
    EXPECT_EQ(current, other);  // the port is restored
    const std::uint32_t* base = GetPixBaseAddr(world);
    EXPECT_EQ(base[0], c.first);
    EXPECT_EQ(base[1], c.second);
    EXPECT_EQ(base[2], 0xFFFFFFFFu);
  }
  // A block wider than the offscreen is cut at its edge.
  std::string wide(3 * (kWidth + 5), '\x10');
  PlotPixels(reinterpret_cast<const unsigned char*>(wide.data()), kWidth + 5, 1, 24, world);
  EXPECT_EQ(GetPixBaseAddr(world)[kWidth - 1], 0xFF101010u);
  SetGWorld(nullptr);
  DisposeGWorld(other);
  DisposeGWorld(world);
}

}  // namespace
