#pragma once
// A movie or still image opened for its pictures: the watermark takes its image from the
// first frame. Images (PNG, JPEG, BMP, GIF, TIFF) and QuickTime/MPEG-4 movies open, from
// local files only.
#include <cstdint>
#include <memory>

#include "framework/platform/PathString.h"

class RasterImage;

// A part of a frame, in pixels; bottom and right are exclusive.
struct FrameRect {
  int32_t top = 0;
  int32_t left = 0;
  int32_t bottom = 0;
  int32_t right = 0;
};

class QtMovie {
 public:
  // The largest frame side that is decoded.
  static constexpr int32_t kMaxFrameSide = 16384;

  QtMovie();
  ~QtMovie();
  QtMovie(const QtMovie&) = delete;
  QtMovie& operator=(const QtMovie&) = delete;

  // False when the file does not open or holds no picture.
  bool OpenFile(const PathString& path);
  // Decodes the first frame at or after `timeMs` into a packed, top-down image of 24 bits
  // (red, green, blue) or 32 bits (with alpha); `part` (or none for the whole frame) is
  // clipped to the frame. False when no frame decodes, the frame is larger than
  // kMaxFrameSide, or the part is empty.
  bool GrabFrameImage(uint32_t timeMs, RasterImage& out, const FrameRect* part,
                      uint32_t bitsPerPixel);

 private:
  struct State;
  void Close();
  std::unique_ptr<State> state_;
};
