#include "toolbox/QuickDraw.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace toolbox {

struct GrafPort {
  cairo_surface_t* surface = nullptr;  // null for the screen port
  short depth = 32;
  int width = 0;
  int height = 0;
  RGBColor fore{0, 0, 0};
  RGBColor back{65535, 65535, 65535};
  short font = 0;
  short size = 12;
  std::uint16_t face = 0;
};

namespace {

constexpr int kMaxSide = 16384;

GrafPort& Screen() {
  static GrafPort screen;
  return screen;
}

std::set<GrafPtr>& Live() {
  static std::set<GrafPtr> live;
  return live;
}

GrafPtr& Current() {
  static GrafPtr current = nullptr;
  return current;
}

GrafPort& Port() {
  GrafPtr p = Current();
  return p && Live().count(p) ? *p : Screen();
}

bool Valid(GrafPtr p) { return p && (p == &Screen() || Live().count(p)); }

RGBColor Classic(long color) {
  switch (color) {
    case kWhiteColor: return {65535, 65535, 65535};
    case 205: return {65535, 0, 0};       // red
    case 341: return {0, 65535, 0};       // green
    case 409: return {0, 0, 65535};       // blue
    default: return {0, 0, 0};            // black and anything unknown
  }
}

struct Box {
  int left, top, right, bottom;
  bool Empty() const { return right <= left || bottom <= top; }
};

Box Intersect(Box a, Box b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

}  // namespace

OSStatus NewGWorld(GWorldPtr* outWorld, short depth, const Rect& bounds) {
  if (!outWorld) return kParamErr;
  switch (depth) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    default: return kParamErr;
  }
  const int width = bounds.Width(), height = bounds.Height();
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return kParamErr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return kMemoryErr;
  }
  auto* port = new GrafPort;
  port->surface = s;
  port->depth = depth;
  port->width = width;
  port->height = height;
  Live().insert(port);
  *outWorld = port;
  return kNoErr;
}

void DisposeGWorld(GWorldPtr world) {
  if (!world || !Live().count(world)) return;
  Live().erase(world);
  if (Current() == world) Current() = nullptr;
  cairo_surface_destroy(world->surface);
  delete world;
}

void GetGWorld(GrafPtr* port) {
  if (port) *port = &Port();
}

void SetGWorld(GrafPtr port) { Current() = Valid(port) && port != &Screen() ? port : nullptr; }

GrafPtr GetScreenPort() { return &Screen(); }

void RGBForeColor(const RGBColor& color) { Port().fore = color; }
void RGBBackColor(const RGBColor& color) { Port().back = color; }
void ForeColor(long classicColor) { Port().fore = Classic(classicColor); }
void BackColor(long classicColor) { Port().back = Classic(classicColor); }
RGBColor GetForeColor() { return Port().fore; }
RGBColor GetBackColor() { return Port().back; }
void TextFont(short family) { Port().font = family; }
void TextSize(short size) { Port().size = size; }
void TextFace(std::uint16_t face) { Port().face = face; }
short GetPortTextFont(GrafPtr port) { return Valid(port) ? port->font : 0; }
short GetPortTextSize(GrafPtr port) { return Valid(port) ? port->size : 0; }
std::uint16_t GetPortTextFace(GrafPtr port) { return Valid(port) ? port->face : 0; }

void EraseRect(const Rect& r) {
  GrafPort& p = Port();
  if (!p.surface) return;
  const Box box = Intersect({r.left, r.top, r.right, r.bottom}, {0, 0, p.width, p.height});
  if (box.Empty()) return;
  cairo_surface_flush(p.surface);
  const std::uint32_t pixel = 0xFF000000u | (std::uint32_t(p.back.red >> 8) << 16) |
                              (std::uint32_t(p.back.green >> 8) << 8) | (p.back.blue >> 8);
  auto* base = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(p.surface));
  const int stride = cairo_image_surface_get_stride(p.surface) / 4;
  for (int y = box.top; y < box.bottom; ++y)
    std::fill(base + y * stride + box.left, base + y * stride + box.right, pixel);
  cairo_surface_mark_dirty(p.surface);
}

Rect GetPortBounds(GrafPtr port) {
  if (!Valid(port)) return Rect{};
  return Rect{0, 0, static_cast<short>(port->height), static_cast<short>(port->width)};
}

short GetPortDepth(GrafPtr port) { return Valid(port) ? port->depth : 0; }

bool LockPixels(GrafPtr port) {
  if (!Valid(port) || !port->surface) return false;
  cairo_surface_flush(port->surface);
  return true;
}

void UnlockPixels(GrafPtr port) {
  if (Valid(port) && port->surface) cairo_surface_mark_dirty(port->surface);
}

std::uint32_t* GetPixBaseAddr(GrafPtr port) {
  if (!Valid(port) || !port->surface) return nullptr;
  return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(port->surface));
}

int RowWords(GrafPtr port) {
  if (!Valid(port) || !port->surface) return 0;
  return cairo_image_surface_get_stride(port->surface) / 4;
}

cairo_surface_t* GetPortSurface(GrafPtr port) {
  return Valid(port) ? port->surface : nullptr;
}

OSStatus CopyBits(GrafPtr source, GrafPtr destination, const Rect& sourceRect,
                  const Rect& destinationRect) {
  if (!Valid(source) || !Valid(destination) || !source->surface || !destination->surface)
    return kParamErr;
  const int sw = sourceRect.Width(), sh = sourceRect.Height();
  const int dw = destinationRect.Width(), dh = destinationRect.Height();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return kNoErr;
  const double sx = double(dw) / sw, sy = double(dh) / sh;
  // The part of the destination whose pixels come from inside the source.
  const Box readable = Intersect({sourceRect.left, sourceRect.top, sourceRect.right, sourceRect.bottom},
                                 {0, 0, source->width, source->height});
  if (readable.Empty()) return kNoErr;
  auto mapX = [&](int x) { return destinationRect.left + (x - sourceRect.left) * sx; };
  auto mapY = [&](int y) { return destinationRect.top + (y - sourceRect.top) * sy; };
  Box clip = Intersect({destinationRect.left, destinationRect.top, destinationRect.right,
                        destinationRect.bottom},
                       {0, 0, destination->width, destination->height});
  clip = Intersect(clip, {static_cast<int>(std::ceil(mapX(readable.left) - 1e-9)),
                          static_cast<int>(std::ceil(mapY(readable.top) - 1e-9)),
                          static_cast<int>(std::ceil(mapX(readable.right) - 1e-9)),
                          static_cast<int>(std::ceil(mapY(readable.bottom) - 1e-9))});
  if (clip.Empty()) return kNoErr;

  cairo_surface_t* from = source->surface;
  bool copied = false;
  if (source == destination) {  // read the pixels before any is written
    from = cairo_surface_create_similar_image(source->surface, CAIRO_FORMAT_ARGB32,
                                              source->width, source->height);
    cairo_t* c = cairo_create(from);
    cairo_set_source_surface(c, source->surface, 0, 0);
    cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
    cairo_paint(c);
    cairo_destroy(c);
    copied = true;
  }
  cairo_t* cr = cairo_create(destination->surface);
  cairo_rectangle(cr, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
  cairo_clip(cr);
  cairo_translate(cr, destinationRect.left, destinationRect.top);
  cairo_scale(cr, sx, sy);
  cairo_set_source_surface(cr, from, -sourceRect.left, -sourceRect.top);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (copied) cairo_surface_destroy(from);
  cairo_surface_flush(destination->surface);
  return ok ? kNoErr : kMemoryErr;
}

}  // namespace toolbox
