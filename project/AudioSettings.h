#pragma once
// A job's audio settings: codec, sample rate, bit rate, channels, streaming, and an optional
// replacement sound file.
#include <cstdint>
#include <memory>

#include "framework/platform/PathString.h"

class Job;
class MediaSource;
class XmlWriter;
class XmlValue;

class AudioSettings {
 public:
  explicit AudioSettings(Job* owner);
  ~AudioSettings();
  AudioSettings(const AudioSettings&) = delete;
  AudioSettings& operator=(const AudioSettings&) = delete;

  void Reset();

  void SetCodec(uint32_t codec);
  void SetSampleRate(int32_t hz);
  void SetBitRate(int32_t kbps);
  void SetChannels(uint32_t channels);
  void SetStream(bool on);
  // Replaces the custom sound file and its source only when a media source opens the file;
  // otherwise false, and both stay as they were.
  bool SetCustomAudioFile(const PathString& path);

  bool WriteXml(XmlWriter& writer) const;
  bool ReadXml(const XmlValue& value);

  MediaSource* CustomSource() const { return custom_source_.get(); }

  int32_t sample_rate = 44100;
  int32_t bit_rate = 128;
  uint32_t channels = 0;
  uint32_t codec = 0;
  Job* owner;
  bool stream = true;
  bool use_custom_audio = false;
  PathString custom_audio;

 private:
  std::unique_ptr<MediaSource> custom_source_;
};
