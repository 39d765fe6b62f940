#include "imaging/RasterImage.h"

#include <algorithm>
#include <cmath>

namespace {

bool ValidSide(int32_t side) { return side >= 1 && side <= RasterImage::kMaxSide; }

// Source position of a destination sample, with pixel centres aligned and the edges held.
struct Tap {
  int32_t i0;
  int32_t i1;
  double f;
};

std::vector<Tap> Taps(int32_t from, int32_t to) {
  std::vector<Tap> taps(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / to;
  for (int32_t d = 0; d < to; ++d) {
    double s = (d + 0.5) * scale - 0.5;
    s = std::clamp(s, 0.0, static_cast<double>(from - 1));
    int32_t i0 = static_cast<int32_t>(s);
    int32_t i1 = std::min(i0 + 1, from - 1);
    taps[static_cast<size_t>(d)] = {i0, i1, s - i0};
  }
  return taps;
}

}  // namespace

bool RasterImage::Allocate(int32_t width, int32_t height, uint32_t bitsPerPixel) {
  if (!ValidSide(width) || !ValidSide(height) || (bitsPerPixel != 24 && bitsPerPixel != 32))
    return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) *
                              (bitsPerPixel / 8));
  pixels_.swap(pixels);
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  return true;
}

void RasterImage::Free() {
  std::vector<uint8_t>().swap(pixels_);
  width_ = height_ = 0;
  bitsPerPixel_ = 0;
}

bool RasterImage::CopyFrom(const RasterImage& other) {
  if (&other == this) return true;
  pixels_ = other.pixels_;
  width_ = other.width_;
  height_ = other.height_;
  bitsPerPixel_ = other.bitsPerPixel_;
  return true;
}

bool RasterImage::Resize(int32_t width, int32_t height) {
  if (!HasPixels()) return true;
  if (width == width_ && height == height_) return true;
  if (!ValidSide(width) || !ValidSide(height)) return false;
  const size_t bpp = BytesPerPixel();
  std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height) * bpp);
  const std::vector<Tap> xs = Taps(width_, width);
  const std::vector<Tap> ys = Taps(height_, height);
  const size_t srcRow = RowBytes();
  for (int32_t y = 0; y < height; ++y) {
    const Tap& ty = ys[static_cast<size_t>(y)];
    const uint8_t* r0 = pixels_.data() + static_cast<size_t>(ty.i0) * srcRow;
    const uint8_t* r1 = pixels_.data() + static_cast<size_t>(ty.i1) * srcRow;
    uint8_t* dst = out.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * bpp;
    for (int32_t x = 0; x < width; ++x) {
      const Tap& tx = xs[static_cast<size_t>(x)];
      const size_t a = static_cast<size_t>(tx.i0) * bpp;
      const size_t b = static_cast<size_t>(tx.i1) * bpp;
      for (size_t c = 0; c < bpp; ++c) {
        double top = r0[a + c] + (r0[b + c] - r0[a + c]) * tx.f;
        double bottom = r1[a + c] + (r1[b + c] - r1[a + c]) * tx.f;
        double v = top + (bottom - top) * ty.f;
        *dst++ = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
      }
    }
  }
  pixels_.swap(out);
  width_ = width;
  height_ = height;
  return true;
}
