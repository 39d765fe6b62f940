#include "project/AudioSettings.h"

#include "generation/MediaSource.h"
#include "project/ChangeTracking.h"
#include "project/Job.h"
#include "project/Preset.h"

namespace {

const Job* PresetJobOf(const Job* owner) {
  return owner && owner->preset ? &owner->preset->settings : nullptr;
}

}  // namespace

AudioSettings::AudioSettings(Job* jobOwner) : owner(jobOwner) { Reset(); }

AudioSettings::~AudioSettings() = default;

void AudioSettings::Reset() {
  sample_rate = 44100;
  bit_rate = 128;
  channels = 0;
  codec = 0;
  stream = true;
  use_custom_audio = false;
  custom_audio.clear();
  custom_source_.reset();
}

void AudioSettings::SetCodec(uint32_t value) {
  const Job* p = PresetJobOf(owner);
  if (p && p->audio.codec != value) {
    PresetDiffersFlag = true;
    // The job leaves its preset for the no-preset entry, keeping its values.
    if (PresetList* list = FindPresetList(0)) owner->ApplyPreset(list->current, false);
  }
  StoreCounted(codec, value);
}

void AudioSettings::SetSampleRate(int32_t hz) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->audio.sample_rate != hz);
  StoreCounted(sample_rate, hz);
}

void AudioSettings::SetBitRate(int32_t kbps) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->audio.bit_rate != kbps);
  StoreCounted(bit_rate, kbps);
}

void AudioSettings::SetChannels(uint32_t value) {
  if (const Job* p = PresetJobOf(owner)) NotePresetDifference(p->audio.channels != value);
  StoreCounted(channels, value);
}

void AudioSettings::SetStream(bool on) { StoreCounted(stream, on); }

bool AudioSettings::SetCustomAudioFile(const PathString& path) {
  std::unique_ptr<MediaSource> source(
      MediaImporterRegistry::FindSourceForFile(MediaImporterRegistry::Find(0), path, true, 0));
  if (!source || !source->Open(path)) return false;
  custom_source_ = std::move(source);
  custom_audio = path;
  return true;
}
