#pragma once
// A pixel buffer: width, height, bits per pixel (24: red, green, blue; 32: red, green, blue,
// alpha) and packed rows, top row first. Sizes come from files, so every size is bounded
// before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/platform/PathString.h"

class RasterImage {
 public:
  // The largest side an image may have.
  static constexpr int32_t kMaxSide = 16384;

  RasterImage() = default;
  ~RasterImage() = default;
  RasterImage(const RasterImage&) = delete;
  RasterImage& operator=(const RasterImage&) = delete;
  RasterImage(RasterImage&&) = default;
  RasterImage& operator=(RasterImage&&) = default;

  // Makes a zero-filled image; false (and the image unchanged) for a side outside
  // 1..kMaxSide or a depth other than 24 or 32.
  bool Allocate(int32_t width, int32_t height, uint32_t bitsPerPixel);
  void Free();
  // An exact copy of the other image (an empty other gives an empty image).
  bool CopyFrom(const RasterImage& other);
  // Rescales the pixels to the new size with bilinear sampling. Nothing happens without
  // pixels or at equal size; false for a side outside 1..kMaxSide.
  bool Resize(int32_t width, int32_t height);

  bool HasPixels() const { return !pixels_.empty(); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t BitsPerPixel() const { return bitsPerPixel_; }
  uint32_t BytesPerPixel() const { return bitsPerPixel_ / 8; }
  size_t RowBytes() const { return static_cast<size_t>(width_) * BytesPerPixel(); }
  uint8_t* Pixels() { return pixels_.data(); }
  const uint8_t* Pixels() const { return pixels_.data(); }
  size_t ByteCount() const { return pixels_.size(); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t bitsPerPixel_ = 0;
  std::vector<uint8_t> pixels_;
};

// PNG through libpng. Loading gives 24 bits (32 when the file has transparency), whatever
// the file's own depth, palette or interlacing; a file whose header names a side beyond
// RasterImage::kMaxSide is refused before any pixel memory is taken.
bool LoadPngFromMemory(const uint8_t* bytes, size_t count, RasterImage& out);
bool LoadPngFile(const PathString& path, RasterImage& out);
// Writes the image as an 8-bit RGB or RGBA PNG through the safe-save writer.
bool SavePngFile(const PathString& path, const RasterImage& image);
