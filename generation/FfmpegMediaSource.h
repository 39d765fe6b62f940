#pragma once
// The media source over the FFmpeg libraries. Opening reads only local files of the
// container formats of the extension tables (WAVE, AIFF, MP3, QuickTime/MPEG-4), so a
// crafted file cannot make the check read other files or the network. What the file holds
// is read once at opening; the file is not kept open.
#include "generation/MediaSource.h"

class FfmpegMediaSource : public MediaSource {
 public:
  // The largest picture side reported (crop rectangles are 16-bit).
  static constexpr int32_t kMaxSide = 32767;

  MediaSource* NewInstance() const override { return new FfmpegMediaSource(); }
  bool ClaimsExtension(uint32_t table, const std::wstring& extension) const override;

  bool Open(const PathString& path) override;
  void GetSize(int32_t& width, int32_t& height) const override {
    width = width_;
    height = height_;
  }
  bool HasVideo() const override { return has_video_; }
  bool HasSound() const override { return has_sound_; }
  uint32_t GetDurationMs() const override { return duration_ms_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool has_video_ = false;
  bool has_sound_ = false;
  uint32_t duration_ms_ = 0;
};
