#include "framework/platform/PortDrawing.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdint>
#include <string>

#include "toolbox/Fonts.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

constexpr std::uint16_t kFaceBold = 1;
constexpr std::uint16_t kFaceItalic = 2;
constexpr std::uint16_t kFaceUnderline = 4;

// The characters as UTF-8, each one that is not a character becoming U+FFFD.
std::string Utf8Of(const wchar_t* text, size_t count) {
  std::wstring wide(text, count);
  for (wchar_t& c : wide) {
    const auto u = static_cast<std::uint32_t>(c);
    if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF || u == 0) c = L'\xFFFD';
  }
  return WideToUtf8(wide);
}

// A layout of the text in the current port's font; null when the port cannot draw.
PangoLayout* MakeLayout(cairo_t* cr, const wchar_t* text, size_t count) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = PortFontDescription(nullptr);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  GrafPtr port = nullptr;
  GetGWorld(&port);
  if (GetPortTextFace(port) & kFaceUnderline) {
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  const std::string utf8 = text ? Utf8Of(text, count) : std::string();
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  return layout;
}

// A cairo context on the current port, or on a scratch surface for measuring when the
// current port has no pixels.
cairo_t* CurrentPortContext(bool* drawable) {
  GrafPtr port = nullptr;
  GetGWorld(&port);
  cairo_surface_t* surface = GetPortSurface(port);
  *drawable = surface != nullptr;
  if (surface) return cairo_create(surface);
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_surface_destroy(scratch);
  return cr;
}

void DrawLayout(cairo_t* cr, PangoLayout* layout, double x, double baselineY) {
  const RGBColor fore = GetForeColor();
  cairo_set_source_rgb(cr, fore.red / 65535.0, fore.green / 65535.0, fore.blue / 65535.0);
  const double baseline = pango_layout_get_baseline(layout) / static_cast<double>(PANGO_SCALE);
  cairo_move_to(cr, x, baselineY - baseline);
  pango_cairo_show_layout(cr, layout);
  cairo_surface_flush(cairo_get_target(cr));
}

}  // namespace

PangoFontDescription* PortFontDescription(GrafPtr port) {
  if (!port) GetGWorld(&port);
  PangoFontDescription* font = pango_font_description_new();
  std::wstring family;
  const short id = GetPortTextFont(port);
  if (id <= 0 || GetFontFamilyName(id, &family) != kNoErr) GetFontFamilyName(GetSysFont(), &family);
  pango_font_description_set_family(font, family.empty() ? "Sans" : WideToUtf8(family).c_str());
  const short size = GetPortTextSize(port);
  pango_font_description_set_absolute_size(font, (size > 0 ? size : 12) * PANGO_SCALE);
  const std::uint16_t face = GetPortTextFace(port);
  if (face & kFaceBold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  if (face & kFaceItalic) pango_font_description_set_style(font, PANGO_STYLE_ITALIC);
  return font;
}

void DrawTextAt(int x, int y, const wchar_t* text, size_t count) {
  bool drawable = false;
  cairo_t* cr = CurrentPortContext(&drawable);
  if (drawable && text && count) {
    PangoLayout* layout = MakeLayout(cr, text, count);
    DrawLayout(cr, layout, x, y);
    g_object_unref(layout);
  }
  cairo_destroy(cr);
}

int DrawTextCentered(const wchar_t* text, size_t count, const Rect& rect, unsigned flags) {
  bool drawable = false;
  cairo_t* cr = CurrentPortContext(&drawable);
  PangoLayout* layout = MakeLayout(cr, text, text ? count : 0);
  int width = 0;
  pango_layout_get_pixel_size(layout, &width, nullptr);
  if ((flags & 1) && drawable) {
    const int x = rect.left + (rect.right - rect.left) / 2 - width / 2;
    DrawLayout(cr, layout, x, rect.bottom);
  }
  g_object_unref(layout);
  cairo_destroy(cr);
  return width;
}

void PlotPixels(const unsigned char* pixels, int width, int height, int depth, GWorldPtr world) {
  if (!pixels || !world || (depth != 24 && depth != 1)) return;
  GrafPtr saved = nullptr;
  GetGWorld(&saved);
  SetGWorld(world);
  if (LockPixels(world)) {
    std::uint32_t* base = GetPixBaseAddr(world);
    const int rowWords = RowWords(world);
    const Rect bounds = GetPortBounds(world);
    const int bytesPerPixel = depth == 24 ? 3 : 1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const unsigned char* p =
            pixels + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * bytesPerPixel;
        if (x >= bounds.right || y >= bounds.bottom) continue;
        std::uint32_t word;
        if (depth == 24)
          word = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        else
          word = p[0] ? 0xFFFFFFFFu : 0xFF000000u;
        base[static_cast<size_t>(y) * static_cast<size_t>(rowWords) + static_cast<size_t>(x)] = word;
      }
    }
    UnlockPixels(world);
  }
  SetGWorld(saved);
}
