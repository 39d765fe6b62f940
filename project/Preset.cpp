#include "project/Preset.h"

#include "framework/platform/WideText.h"

namespace {

std::vector<std::unique_ptr<PresetList>>& Registry() {
  static std::vector<std::unique_ptr<PresetList>> lists;
  return lists;
}

struct BuiltIn {
  int32_t sample_rate;
  int32_t bit_rate;
  uint32_t channels;
};

constexpr BuiltIn kBuiltIns[] = {{11025, 56, 0},  {11025, 64, 0},  {11025, 96, 0}, {44100, 128, 0},
                                 {44100, 160, 0}, {44100, 160, 1}, {11025, 32, 0}};

}  // namespace

Preset::Preset(const std::wstring& presetName, uint32_t presetKind)
    : kind(presetKind), name(presetName), settings(nullptr) {
  if (kind >= 10 && kind <= 16) {
    const BuiltIn& b = kBuiltIns[kind - 10];
    settings.video.SetOutputWidth(100);
    settings.video.SetOutputHeight(100);
    settings.video.SetFrameRate(12.0f);
    settings.SetFrameRate(12.0f);
    settings.audio.SetCodec(0);
    settings.audio.SetSampleRate(b.sample_rate);
    settings.audio.SetBitRate(b.bit_rate);
    settings.audio.SetChannels(b.channels);
  }
}

Preset* PresetList::AddNewPreset(const std::wstring& presetName, uint32_t kind) {
  presets.push_back(std::make_unique<Preset>(presetName, kind));
  return presets.back().get();
}

Preset* PresetList::AddNewPresetFromString(int number, uint32_t kind) {
  WideText text;
  std::wstring presetName;
  if (LoadLocalizedString(text, number)) presetName = text.CStr();
  return AddNewPreset(presetName, kind);
}

int32_t PresetList::IndexOf(const Preset* preset) const {
  for (size_t i = 0; i < presets.size(); ++i)
    if (presets[i].get() == preset) return static_cast<int32_t>(i);
  return -1;
}

Preset* PresetList::PresetAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= presets.size()) return nullptr;
  return presets[static_cast<size_t>(index)].get();
}

Preset* PresetList::FindByName(const std::wstring& presetName) const {
  for (auto& p : presets)
    if (p->name == presetName) return p.get();
  return nullptr;
}

PresetList* FindPresetList(uint32_t id) {
  for (auto& l : Registry())
    if (l->id == id) return l.get();
  return nullptr;
}

PresetList* CreatePresetList(uint32_t id) {
  if (FindPresetList(id)) return nullptr;
  Registry().push_back(std::make_unique<PresetList>(id));
  return Registry().back().get();
}

void DeleteAllPresetLists() { Registry().clear(); }
