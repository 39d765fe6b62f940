#include "framework/ui/Drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace toolbox;

bool CreateOffscreen(GWorldPtr* offscreen, int width, int height, int depth) {
  if (!offscreen || width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  GWorldPtr world = nullptr;
  const Rect bounds{0, 0, static_cast<short>(height), static_cast<short>(width)};
  if (NewGWorld(&world, static_cast<short>(depth), bounds) != kNoErr) return false;
  GrafPtr previous = nullptr;
  GetGWorld(&previous);
  SetGWorld(world);
  ForeColor(kBlackColor);
  BackColor(kWhiteColor);
  RGBForeColor(RGBColor{0, 0, 0});
  RGBBackColor(RGBColor{65535, 65535, 65535});
  SetGWorld(previous);
  *offscreen = world;
  return true;
}

bool DisposeOffscreen(GWorldPtr* offscreen) {
  if (offscreen && *offscreen) {
    DisposeGWorld(*offscreen);
    *offscreen = nullptr;
  }
  return true;
}

namespace {

// The rows and columns of the rectangle that lie inside the port.
struct Span {
  int left, top, right, bottom;
};

bool Clip(GrafPtr port, const Rect& r, Span* out) {
  const Rect b = GetPortBounds(port);
  out->left = std::max<int>(r.left, 0);
  out->top = std::max<int>(r.top, 0);
  out->right = std::min<int>(r.right, b.right);
  out->bottom = std::min<int>(r.bottom, b.bottom);
  return out->left < out->right && out->top < out->bottom && GetPixBaseAddr(port);
}

std::uint32_t Pixel(std::uint32_t bgr) {
  return 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

int Channel(std::uint32_t color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

}  // namespace

void LockOffscreenPixels(GWorldPtr offscreen, int width, int height, int level) {
  Span s;
  const Rect block{0, 0, static_cast<short>(std::clamp(height, 0, 32767)),
                   static_cast<short>(std::clamp(width, 0, 32767))};
  if (!LockPixels(offscreen)) return;
  if (Clip(offscreen, block, &s)) {
    const std::uint32_t g = static_cast<std::uint32_t>(std::clamp(level, 0, 255));
    const std::uint32_t pixel = 0xFF000000u | (g << 16) | (g << 8) | g;
    std::uint32_t* base = GetPixBaseAddr(offscreen);
    const int stride = RowWords(offscreen);
    for (int y = s.top; y < s.bottom; ++y)
      std::fill(base + y * stride + s.left, base + y * stride + s.right, pixel);
  }
  UnlockPixels(offscreen);
}

void OffscreenBlit(GrafPtr source, const Rect& sourceRect, GrafPtr destination,
                   const Rect& destinationRect) {
  CopyBits(source, destination, sourceRect, destinationRect);
}

GradientStop* GradientFill::AddStop(float position, std::uint32_t color) {
  if (std::isnan(position)) position = 0;
  position = std::clamp(position, 0.0f, 1.0f);
  for (auto& s : stops)
    if (s->position == position) {
      s->color = color;
      return s.get();
    }
  auto stop = std::make_unique<GradientStop>();
  stop->position = position;
  stop->color = color;
  GradientStop* added = stop.get();
  stops.push_back(std::move(stop));
  std::stable_sort(stops.begin(), stops.end(),
                   [](const auto& a, const auto& b) { return a->position < b->position; });
  return added;
}

void GradientFill::SetTwoStops(std::uint32_t first, std::uint32_t last) {
  Clear();
  AddStop(0.0f, first);
  AddStop(1.0f, last);
}

std::vector<std::uint32_t> GradientFill::BuildRamp(int n) const {
  if (stops.empty() || n <= 0) return {};
  std::vector<std::uint32_t> table(static_cast<std::size_t>(n));
  const std::uint32_t first = stops.front()->color, last = stops.back()->color;
  // Every run is kept inside the table, whatever the stops say.
  auto fill = [&](long from, long to, std::uint32_t color) {
    from = std::clamp<long>(from, 0, n);
    to = std::clamp<long>(to, 0, n);
    for (long i = from; i < to; ++i) table[static_cast<std::size_t>(i)] = color;
  };
  long p = static_cast<long>(stops.front()->position * n + 0.5f);
  fill(0, p, first);
  long end = p;
  for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
    const long q = static_cast<long>(stops[i + 1]->position * n + 0.5f);
    const std::uint32_t c0 = stops[i]->color, c1 = stops[i + 1]->color;
    const int dR = Channel(c1, 0) - Channel(c0, 0), dG = Channel(c1, 8) - Channel(c0, 8),
              dB = Channel(c1, 16) - Channel(c0, 16);
    long steps = std::max({std::abs(dR), std::abs(dG), std::abs(dB)});
    float span = 1.0f, incR = 0, incG = 0, incB = 0;
    if (steps == 0) {
      steps = q - p;
    } else {
      span = static_cast<float>(q - p) / static_cast<float>(steps);
      incR = static_cast<float>(dR) / static_cast<float>(steps);
      incG = static_cast<float>(dG) / static_cast<float>(steps);
      incB = static_cast<float>(dB) / static_cast<float>(steps);
    }
    for (long k = 0; k < steps; ++k) {
      const float fk = static_cast<float>(k);
      const auto r = static_cast<std::uint32_t>(static_cast<int>(Channel(c0, 0) + incR * fk));
      const auto g = static_cast<std::uint32_t>(static_cast<int>(Channel(c0, 8) + incG * fk));
      const auto b = static_cast<std::uint32_t>(static_cast<int>(Channel(c0, 16) + incB * fk));
      const long from = p + static_cast<long>(span * fk + 0.5f);
      end = p + static_cast<long>(span * (fk + 1) + 0.5f);
      fill(from, end, (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
    }
    p = q;
    end = std::max(end, p);
  }
  if (p < n) fill(end, n, last);
  table.front() = first;
  table.back() = last;
  return table;
}

void GradientFill::RenderRadial(GWorldPtr offscreen, const Rect& rect, int cx, int cy,
                                float scale) const {
  const int n = static_cast<int>(static_cast<float>(rect.Width()) * scale);
  const std::vector<std::uint32_t> ramp = BuildRamp(n);
  Span s;
  if (ramp.empty() || !Clip(offscreen, rect, &s)) return;
  const float centreX = static_cast<float>(rect.left + cx), centreY = static_cast<float>(rect.top + cy);
  std::uint32_t* base = GetPixBaseAddr(offscreen);
  const int stride = RowWords(offscreen);
  for (int y = s.top; y < s.bottom; ++y) {
    std::uint32_t* row = base + y * stride;
    const float dy = static_cast<float>(y) - centreY;
    for (int x = s.left; x < s.right; ++x) {
      const float dx = static_cast<float>(x) - centreX;
      const float d = std::sqrt(dx * dx + dy * dy) + 0.5f;
      const int index = d < static_cast<float>(n) ? static_cast<int>(d) : n - 1;
      row[x] = Pixel(ramp[static_cast<std::size_t>(index)]);
    }
  }
}

void GradientFill::RenderLinear(GWorldPtr offscreen, const Rect& rect, double angle, float,
                                float end, int ox, int oy) const {
  const int n = static_cast<int>(static_cast<float>(rect.Width()) * end);
  const std::vector<std::uint32_t> ramp = BuildRamp(n);
  Span s;
  if (ramp.empty() || !Clip(offscreen, rect, &s)) return;
  // The distance along the gradient's direction, straight from the angle.
  const double radians = angle * 3.14159265358979323846 / 180.0;
  const double cosA = std::cos(radians), sinA = std::sin(radians);
  const double originX = rect.left + ox, originY = rect.top + oy;
  const double half = angle >= 0 ? 0.5 : -0.5;
  std::uint32_t* base = GetPixBaseAddr(offscreen);
  const int stride = RowWords(offscreen);
  for (int y = s.top; y < s.bottom; ++y) {
    std::uint32_t* row = base + y * stride;
    for (int x = s.left; x < s.right; ++x) {
      const double p = (x - originX) * cosA + (y - originY) * sinA + half;
      const double index = std::clamp(std::trunc(p), 0.0, static_cast<double>(n - 1));
      row[x] = Pixel(ramp[static_cast<std::size_t>(index)]);
    }
  }
}

void GradientFill::Render(GWorldPtr offscreen, const Rect& rect, bool forceLinear) {
  if (!LockPixels(offscreen)) return;
  if (linear || forceLinear) {
    RenderLinear(offscreen, rect, 0.0, 0.0f, 1.0f, 0, 0);
  } else {
    RenderRadial(offscreen, rect, rect.Width() / 2, rect.Height() / 2, 0.5f);
  }
  UnlockPixels(offscreen);
}
