#pragma once
// A job's video settings: codec, encoding method, key frames, output size, crop, frame rate,
// data rate, quality and the image filters. Output-size and frame-rate changes are announced
// to the owner job.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/ImageFilter.h"
#include "project/ChangeNotifier.h"

class Job;
class XmlWriter;
class XmlValue;

// In source pixels; bottom and right are exclusive edges.
struct CropRect {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
  bool operator==(const CropRect&) const = default;
};

class VideoSettings {
 public:
  explicit VideoSettings(Job* owner);
  ~VideoSettings();
  VideoSettings(const VideoSettings&) = delete;
  VideoSettings& operator=(const VideoSettings&) = delete;

  void Reset();

  void SetCodec(uint32_t value);
  void SetMethod(uint32_t value);
  void SetKeyframeType(uint32_t value);
  // False, changing nothing, for a size no movie can have while the owner's movie matches
  // the video dimensions.
  bool SetOutputSize(int32_t width, int32_t height);
  bool SetOutputWidth(int32_t width);
  bool SetOutputHeight(int32_t height);
  // False, changing nothing, for turning it on while the owner's movie matches the video
  // dimensions and the reference size is one no movie can have: the output size could not
  // follow the source.
  bool SetMatchSourceDimensions(bool on);
  void SetKeepAspectRatio(bool on);
  // The crop changes below are taken even where the output follows the source and refuses
  // the size they give: match source dimensions then turns off.
  void SetCrop(bool on);
  // Brings the rectangle inside the source and in order, writes the result back, stores it;
  // true when it had to be corrected.
  bool SetCropRect(CropRect& rect);
  void GetCropRect(CropRect& rect) const { rect = crop_rect; }
  bool SetFrameRate(float fps);
  bool SetKeyFrameInterval(int32_t frames);
  bool SetDataRate(int32_t kbps);
  bool SetQuality(uint32_t percent);
  void SetSmoothing(bool on);
  void SetDeblocking(bool on);
  void ClearFilters();
  // Appends a filter (owned from now on), counting one change.
  void AddFilter(ImageFilter* filter);

  // The crop size when cropping, else the owner's source size.
  void GetReferenceSize(int32_t& width, int32_t& height) const;

  bool WriteXml(XmlWriter& writer) const;
  bool ReadXml(const XmlValue& value);

  ChangeNotifier<VideoSettings> size_notifier;
  ChangeNotifier<VideoSettings> frame_rate_notifier;
  uint32_t codec = 0;
  uint32_t method = 0;
  uint32_t keyframe_type = 2;
  int32_t width = 320;
  int32_t height = 240;
  float fps = 12.0f;
  int32_t data_rate = 512;
  int32_t key_frame_interval = 60;
  uint32_t avg_quality = 80;
  bool match_source_dimensions = false;
  bool keep_aspect_ratio = true;
  bool smoothing = false;
  bool deblocking = false;
  bool crop = false;
  CropRect crop_rect;
  bool flip_horizontal = false;
  bool flip_vertical = false;
  bool deinterlace = false;
  bool match_source_fps = false;
  std::vector<std::unique_ptr<ImageFilter>> filters;
  Job* owner;

 private:
  // Whether SetOutputSize refuses the size: one no movie can have while the owner's movie
  // matches the video dimensions.
  bool Refuses(int32_t width, int32_t height) const;
  void RefreshAfterCrop();
};
