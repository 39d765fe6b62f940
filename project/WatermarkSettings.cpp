#include "project/WatermarkSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "generation/QtMovie.h"

namespace {

int32_t ClampSide(int32_t side) {
  return std::clamp(side, WatermarkSettings::kMinSide, WatermarkSettings::kMaxSide);
}

int32_t ClampSide(double side) {
  if (!(side >= WatermarkSettings::kMinSide)) return WatermarkSettings::kMinSide;
  if (side >= WatermarkSettings::kMaxSide) return WatermarkSettings::kMaxSide;
  return static_cast<int32_t>(side);
}

// The position for an alignment: 0 start, 1 centre, 2 end; nothing for any other value.
// Halving shifts each operand by one bit; the difference is computed wide and held in range.
bool AlignedPosition(uint32_t alignment, int32_t doc, int32_t side, int32_t& out) {
  int64_t v;
  switch (alignment) {
    case 0: v = 0; break;
    case 1: v = static_cast<int64_t>(doc >> 1) - (side >> 1); break;
    case 2: v = static_cast<int64_t>(doc) - side; break;
    default: return false;
  }
  out = static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max()));
  return true;
}

}  // namespace

WatermarkSettings::WatermarkSettings() { Reset(); }

void WatermarkSettings::Reset() {
  src.clear();
  width = height = 1;
  x = y = 0;
  doc_width = doc_height = 1;
  h_align = v_align = 0;
  alpha = 255;
  transparent_color = 0;
  use_transparent_color = false;
  keep_aspect_ratio = true;
  align_to_doc = false;
}

void WatermarkSettings::SetHAlign(uint32_t alignment) {
  h_align = alignment;
  AlignedPosition(alignment, doc_width, width, x);
}

void WatermarkSettings::SetVAlign(uint32_t alignment) {
  v_align = alignment;
  AlignedPosition(alignment, doc_height, height, y);
}

void WatermarkSettings::SetTransparentColor(uint32_t colour) {
  transparent_color = colour;
  RebuildMask();
}

int32_t WatermarkSettings::HeightForWidth(int32_t w) const {
  const double sw = std::max(source_image.Width(), 1), sh = std::max(source_image.Height(), 1);
  return ClampSide(std::floor(sh / sw * w + 0.5));
}

int32_t WatermarkSettings::WidthForHeight(int32_t h) const {
  const double sw = std::max(source_image.Width(), 1), sh = std::max(source_image.Height(), 1);
  return ClampSide(std::floor(sw / sh * h + 0.5));
}

void WatermarkSettings::SetSize(int32_t w, int32_t h) {
  width = ClampSide(w);
  height = ClampSide(h);
  ScaleImage();
  RebuildMask();
}

void WatermarkSettings::SetWidth(int32_t value) {
  width = ClampSide(value);
  if (keep_aspect_ratio) height = HeightForWidth(width);
  ScaleImage();
  RebuildMask();
}

void WatermarkSettings::SetHeight(int32_t value) {
  height = ClampSide(value);
  if (keep_aspect_ratio) width = WidthForHeight(height);
  ScaleImage();
  RebuildMask();
}

void WatermarkSettings::SetKeepAspectRatio(bool on) {
  keep_aspect_ratio = on;
  if (on) height = HeightForWidth(width);
}

void WatermarkSettings::SetDocumentSize(int32_t w, int32_t h) {
  doc_width = w;
  doc_height = h;
  if (align_to_doc) {
    AlignedPosition(h_align, doc_width, width, x);
    AlignedPosition(v_align, doc_height, height, y);
  }
}

bool WatermarkSettings::SetImage(const RasterImage& picture, int32_t w, int32_t h,
                                 uint32_t colour) {
  source_image.CopyFrom(picture);
  image.CopyFrom(picture);
  transparent_color = colour;
  width = ClampSide(w < 1 ? picture.Width() : w);
  height = ClampSide(h < 1 ? picture.Height() : h);
  RebuildMask();
  return true;
}

bool WatermarkSettings::LoadImageFile(const PathString& path, int32_t w, int32_t h,
                                      uint32_t colour) {
  QtMovie movie;
  if (!movie.OpenFile(path)) return false;
  RasterImage picture;
  if (!movie.GrabFrameImage(0, picture, nullptr, 24)) return false;
  src = path;
  return SetImage(picture, w, h, colour);
}

bool WatermarkSettings::LoadImage(const PathString& path) {
  LoadImageFile(path, 0, 0, 0);
  return true;
}

// Always from the source image: scaling the last scaled copy would lose what a smaller size
// dropped (a 1 x 1 preview grown back would be one flat colour).
void WatermarkSettings::ScaleImage() {
  if (!source_image.HasPixels()) return;
  image.CopyFrom(source_image);
  image.Resize(width, height);
}

void WatermarkSettings::RebuildMask() {
  if (!source_image.HasPixels()) return;
  RasterImage copy;
  copy.CopyFrom(source_image);
  const size_t bpp = copy.BytesPerPixel();
  const size_t pixels = static_cast<size_t>(copy.Width()) * static_cast<size_t>(copy.Height());
  const uint8_t r = transparent_color & 0xFF, g = (transparent_color >> 8) & 0xFF,
                b = (transparent_color >> 16) & 0xFF;
  uint8_t* p = copy.Pixels();
  for (size_t i = 0; i < pixels; ++i, p += bpp) {
    const uint8_t v = (p[0] == r && p[1] == g && p[2] == b) ? 0 : 255;
    p[0] = p[1] = p[2] = v;
  }
  copy.Resize(width, height);
  const size_t n = static_cast<size_t>(copy.Width()) * static_cast<size_t>(copy.Height());
  if (!mask_ || n > mask_capacity_) {
    mask_.reset(new uint8_t[n]);
    mask_capacity_ = n;
  }
  const uint8_t* q = copy.Pixels();
  for (size_t i = 0; i < n; ++i, q += bpp) mask_[i] = q[0];
}

WatermarkSettings& WatermarkSettings::CopyFrom(const WatermarkSettings& other) {
  if (&other == this) return *this;
  doc_width = other.doc_width;
  doc_height = other.doc_height;
  LoadImageFile(other.src, 0, 0, 0);
  SetSize(other.width, other.height);
  x = other.x;
  y = other.y;
  alpha = other.alpha;
  transparent_color = other.transparent_color;
  use_transparent_color = other.use_transparent_color;
  h_align = other.h_align;
  v_align = other.v_align;
  SetKeepAspectRatio(other.keep_aspect_ratio);
  align_to_doc = other.align_to_doc;
  return *this;
}

void JukeboxTrack::Reset() {
  media_type = 0;
  media_url = L"http://";
  artwork_type = 0;
  artwork_path.clear();
  artwork_src_width = artwork_src_height = 50;
  artwork_width = artwork_height = 50;
  artwork_url = L"http://";
  comment.clear();
  artist.clear();
  title.clear();
  album.clear();
}
