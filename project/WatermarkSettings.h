#pragma once
// The image laid over the movie: its file, size, position or alignment, opacity and an
// optional transparent colour, with the loaded image, a copy scaled to the watermark size
// and a one-byte-per-pixel transparency mask for previews.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/platform/PathString.h"
#include "imaging/RasterImage.h"

class XmlWriter;
class XmlValue;

class WatermarkSettings {
 public:
  // Each watermark side stays within the movie-size limits.
  static constexpr int32_t kMinSide = 1;
  static constexpr int32_t kMaxSide = 10000;

  WatermarkSettings();
  WatermarkSettings(const WatermarkSettings&) = delete;
  WatermarkSettings& operator=(const WatermarkSettings&) = delete;

  // The defaults; the images and the mask are kept.
  void Reset();

  void SetHAlign(uint32_t alignment);
  void SetVAlign(uint32_t alignment);
  void SetX(int32_t value) { x = value; }
  void SetY(int32_t value) { y = value; }
  void SetAlignToDocument(bool on) { align_to_doc = on; }
  void SetAlpha(uint32_t value) { alpha = value; }
  void SetUseTransparentColor(bool on) { use_transparent_color = on; }
  void SetTransparentColor(uint32_t colour);
  void SetSize(int32_t width, int32_t height);
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  void SetKeepAspectRatio(bool on);
  void SetDocumentSize(int32_t width, int32_t height);
  bool SetImage(const RasterImage& picture, int32_t width, int32_t height, uint32_t colour);
  // False when the file does not open as a picture; the watermark then stays as it was.
  bool LoadImageFile(const PathString& path, int32_t width, int32_t height, uint32_t colour);
  bool LoadImage(const PathString& path);
  WatermarkSettings& CopyFrom(const WatermarkSettings& other);

  bool WriteXml(XmlWriter& writer) const;
  // False only when the image named by "src" does not load.
  bool ReadXml(const XmlValue& value);

  const uint8_t* Mask() const { return mask_.get(); }
  size_t MaskCapacity() const { return mask_capacity_; }

  RasterImage image;
  RasterImage source_image;
  PathString src;
  int32_t width = 1;
  int32_t height = 1;
  int32_t x = 0;
  int32_t y = 0;
  int32_t doc_width = 1;
  int32_t doc_height = 1;
  uint32_t h_align = 0;
  uint32_t v_align = 0;
  uint32_t alpha = 255;
  uint32_t transparent_color = 0;
  bool use_transparent_color = false;
  bool keep_aspect_ratio = true;
  bool align_to_doc = false;

 private:
  // `image` becomes the source image scaled to the watermark size.
  void ScaleImage();
  void RebuildMask();
  int32_t HeightForWidth(int32_t w) const;
  int32_t WidthForHeight(int32_t h) const;

  std::unique_ptr<uint8_t[]> mask_;
  size_t mask_capacity_ = 0;
};

class JukeboxTrack {
 public:
  JukeboxTrack() { Reset(); }
  void Reset();
  bool WriteXml(XmlWriter& writer) const;
  bool ReadXml(const XmlValue& value);

  uint32_t media_type = 0;
  std::wstring media_url;
  uint32_t artwork_type = 0;
  PathString artwork_path;
  int32_t artwork_src_width = 50;
  int32_t artwork_src_height = 50;
  int32_t artwork_width = 50;
  int32_t artwork_height = 50;
  std::wstring artwork_url;
  std::wstring comment;
  std::wstring artist;
  std::wstring title;
  std::wstring album;
};
