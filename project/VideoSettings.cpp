#include "project/VideoSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "project/ChangeTracking.h"
#include "project/Job.h"
#include "project/Preset.h"

namespace {

const Job* PresetJobOf(const Job* owner) {
  return owner && owner->preset ? &owner->preset->settings : nullptr;
}

// The integer part of a computed side (cut toward zero, also for a negative side), held in
// the i32 range (an infinite or NaN value cannot reach here: the divisor is at least 1).
int32_t ToSide(double v) {
  v = std::trunc(v);
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

VideoSettings::VideoSettings(Job* jobOwner) : owner(jobOwner) { Reset(); }

VideoSettings::~VideoSettings() = default;

void VideoSettings::Reset() {
  codec = 0;
  method = 0;
  keyframe_type = 2;
  width = 320;
  height = 240;
  fps = 12.0f;
  data_rate = 512;
  key_frame_interval = 60;
  avg_quality = 80;
  match_source_dimensions = false;
  keep_aspect_ratio = true;
  smoothing = deblocking = crop = false;
  crop_rect = CropRect();
  flip_horizontal = flip_vertical = deinterlace = match_source_fps = false;
  ClearFilters();
}

void VideoSettings::GetReferenceSize(int32_t& w, int32_t& h) const {
  if (crop) {
    w = static_cast<int32_t>(crop_rect.right) - crop_rect.left;
    h = static_cast<int32_t>(crop_rect.bottom) - crop_rect.top;
  } else {
    w = owner ? owner->source_width : 0;
    h = owner ? owner->source_height : 0;
  }
}

void VideoSettings::SetCodec(uint32_t value) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.codec != value);
  StoreCounted(codec, value);
}

void VideoSettings::SetMethod(uint32_t value) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.method != value);
  StoreCounted(method, value);
}

void VideoSettings::SetKeyframeType(uint32_t value) { StoreCounted(keyframe_type, value); }

bool VideoSettings::Refuses(int32_t w, int32_t h) const {
  // A movie that matches the video dimensions takes this size: one no movie can have is
  // refused here rather than left for the movie to refuse, which would part the two.
  return owner && owner->match_video_dimensions && !Job::IsMovieSize(w, h);
}

bool VideoSettings::SetOutputSize(int32_t w, int32_t h) {
  if (match_source_dimensions) GetReferenceSize(w, h);
  if (Refuses(w, h)) return false;
  if (const Job* p = PresetJobOf(owner))
    NotePresetDifference(p->video.width != w || p->video.height != h);
  if (w == width && h == height) {
    if (match_source_dimensions) size_notifier.Fire(this);
    return true;
  }
  width = w;
  height = h;
  CountChange();
  size_notifier.Fire(this);
  return true;
}

bool VideoSettings::SetOutputWidth(int32_t w) {
  int32_t h = height;
  if (keep_aspect_ratio) {
    int32_t rw = 0, rh = 0;
    GetReferenceSize(rw, rh);
    // Without a reference width there is no ratio to keep: the height stays.
    if (rw >= 1) h = ToSide(static_cast<double>(w) * rh / rw + 0.5);
  }
  return SetOutputSize(w, h);
}

bool VideoSettings::SetOutputHeight(int32_t h) {
  int32_t w = width;
  if (keep_aspect_ratio) {
    int32_t rw = 0, rh = 0;
    GetReferenceSize(rw, rh);
    if (rh >= 1) w = ToSide(static_cast<double>(h) * rw / rh + 0.5);
  }
  return SetOutputSize(w, h);
}

bool VideoSettings::SetMatchSourceDimensions(bool on) {
  int32_t w = 0, h = 0;
  GetReferenceSize(w, h);
  // The output size would refuse the reference size and stay where it is, while the flag
  // said that it follows the source.
  if (on && Refuses(w, h)) return false;
  if (match_source_dimensions != on) {
    PresetDiffersFlag = true;
    match_source_dimensions = on;
  }
  if (on) SetOutputSize(w, h);
  return true;
}

void VideoSettings::SetKeepAspectRatio(bool on) {
  if (StoreCounted(keep_aspect_ratio, on) && on) SetOutputWidth(width);
}

void VideoSettings::RefreshAfterCrop() {
  if (match_source_dimensions) {
    int32_t w = 0, h = 0;
    GetReferenceSize(w, h);
    // The crop is taken even where the output refuses the size it gives: the output keeps
    // its size and no longer follows the source, as the job reads back.
    if (!SetOutputSize(w, h)) SetMatchSourceDimensions(false);
  } else if (keep_aspect_ratio) {
    SetOutputWidth(width);
  }
}

void VideoSettings::SetCrop(bool on) {
  StoreCounted(crop, on);
  RefreshAfterCrop();
}

bool VideoSettings::SetCropRect(CropRect& rect) {
  const int32_t sw = owner ? std::clamp(owner->source_width, 0, 32767) : 0;
  const int32_t sh = owner ? std::clamp(owner->source_height, 0, 32767) : 0;
  bool corrected = false;
  // Into the source first, then in order, so that the result never turns inside out.
  auto into = [&](int16_t& edge, int32_t limit) {
    const int16_t v = static_cast<int16_t>(std::clamp<int32_t>(edge, 0, limit));
    if (v != edge) {
      edge = v;
      corrected = true;
    }
  };
  into(rect.left, sw);
  into(rect.right, sw);
  into(rect.top, sh);
  into(rect.bottom, sh);
  if (rect.right < rect.left) {
    std::swap(rect.left, rect.right);
    corrected = true;
  }
  if (rect.bottom < rect.top) {
    std::swap(rect.top, rect.bottom);
    corrected = true;
  }
  StoreCounted(crop_rect, rect);
  RefreshAfterCrop();
  return corrected;
}

bool VideoSettings::SetFrameRate(float value) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.fps != value);
  if (StoreCounted(fps, value)) frame_rate_notifier.Fire(this);
  return true;
}

bool VideoSettings::SetKeyFrameInterval(int32_t frames) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.key_frame_interval != frames);
  StoreCounted(key_frame_interval, frames);
  return true;
}

bool VideoSettings::SetDataRate(int32_t kbps) {
  if (kbps < 1) return false;
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.data_rate != kbps);
  StoreCounted(data_rate, kbps);
  return true;
}

bool VideoSettings::SetQuality(uint32_t percent) {
  if (percent > 100) return false;
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.avg_quality != percent);
  StoreCounted(avg_quality, percent);
  return true;
}

void VideoSettings::SetSmoothing(bool on) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.smoothing != on);
  StoreCounted(smoothing, on);
}

void VideoSettings::SetDeblocking(bool on) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->video.deblocking != on);
  StoreCounted(deblocking, on);
}

void VideoSettings::ClearFilters() {
  if (filters.empty()) return;
  filters.clear();
  CountChange();
}

void VideoSettings::AddFilter(ImageFilter* filter) {
  if (!filter) return;
  filters.emplace_back(filter);
  CountChange();
}
