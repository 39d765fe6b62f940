#pragma once
// Presets: a named copy of a job's settings, carried by an embedded job, and the lists that
// hold them. List 0 is the one this product uses; its current entry is the no-preset entry.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"
#include "project/Job.h"

class XmlValue;
class XmlWriter;

class Preset {
 public:
  // Kinds 10 to 16 are the built-in audio presets.
  Preset(const std::wstring& name, uint32_t kind);
  Preset(const Preset&) = delete;
  Preset& operator=(const Preset&) = delete;

  bool IsUserPreset() const { return kind == 1; }
  void ResetSettings() { settings.Reset(); }

  // Writes the preset file safely (the old file stays unless the whole new one is in place);
  // false when it could not be written.
  bool WriteFile(const PathString& path) const;
  // Name and settings from a "brivane_preset" element; always true.
  bool ReadXml(const XmlValue& value);

  void WriteDoc(XmlWriter& writer) const;
  void WriteVideo(XmlWriter& writer) const;
  void WriteAudio(XmlWriter& writer) const;
  void WriteImage(XmlWriter& writer) const;
  void WriteMovie(XmlWriter& writer) const;
  void WritePlayer(XmlWriter& writer) const;
  void ReadDoc(const XmlValue& value);
  void ReadVideo(const XmlValue& value);
  void ReadAudio(const XmlValue& value);
  void ReadImage(const XmlValue& value);
  void ReadMovie(const XmlValue& value);
  void ReadPlayer(const XmlValue& value);

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
  // Appends a user preset for every "brivane_preset" element of the file; the last one, or
  // none.
  Preset* LoadFile(const PathString& path);
  // Every file of the folder, in the order of their names ignoring case. Always true.
  bool LoadFolder(const PathString& folder);
  // Deletes the preset's file first when asked (a failure there changes nothing), then the
  // preset; false when either is not possible. `current` is not touched.
  bool DeletePreset(Preset* preset, bool deleteFile);

  std::vector<std::unique_ptr<Preset>> presets;
  Preset* current = nullptr;
  uint32_t id;
};

PresetList* FindPresetList(uint32_t id);
// None when a list with that id exists.
PresetList* CreatePresetList(uint32_t id);
void DeleteAllPresetLists();

// The file name of a user preset in the presets folder: '/' and a leading '.' become '_',
// the name is cut to whole characters so that, with ".xml" appended, it fits in 255 bytes.
PathString PresetFileName(const std::wstring& presetName);
// Fills list 0 as the application starts: the no-preset entry (also current), the built-ins,
// then the user presets of the "Presets" folder in the product's support folder, made when
// missing. `presetsFolder` is that folder, or empty when it could not be made.
PresetList* SetUpPresetList(PathString& presetsFolder);
