#pragma once
// Presets: a named copy of a job's settings, carried by an embedded job, and the lists that
// hold them. List 0 is the one this product uses; its current entry is the no-preset entry.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"
#include "project/Job.h"

class Preset {
 public:
  // Kinds 10 to 16 are the built-in audio presets.
  Preset(const std::wstring& name, uint32_t kind);
  Preset(const Preset&) = delete;
  Preset& operator=(const Preset&) = delete;

  bool IsUserPreset() const { return kind == 1; }
  void ResetSettings() { settings.Reset(); }

  uint32_t kind;
  std::wstring name;
  PathString file_path;
  Job settings;
};

class PresetList {
 public:
  explicit PresetList(uint32_t id) : id(id) {}
  PresetList(const PresetList&) = delete;
  PresetList& operator=(const PresetList&) = delete;

  void DeleteAll() {
    current = nullptr;
    presets.clear();
  }
  void SetCurrent(Preset* preset) { current = preset; }
  Preset* AddNewPreset(const std::wstring& name, uint32_t kind);
  Preset* AddNewPresetFromString(int number, uint32_t kind);
  int32_t IndexOf(const Preset* preset) const;
  Preset* PresetAt(int32_t index) const;
  Preset* FindByName(const std::wstring& name) const;

  std::vector<std::unique_ptr<Preset>> presets;
  Preset* current = nullptr;
  uint32_t id;
};

PresetList* FindPresetList(uint32_t id);
// None when a list with that id exists.
PresetList* CreatePresetList(uint32_t id);
void DeleteAllPresetLists();
