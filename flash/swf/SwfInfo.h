#pragma once
// Small services over SWF files and tag lists: a file's header facts, the signature test,
// searches of a tag list, and the table of variables a movie's first frames set (how a
// player skin stores its settings).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"
#include "framework/platform/WideText.h"

class ActionConstantPool;
class DoActionTag;
class SwfCharacterTag;
class SwfTag;

// The header facts of a SWF file (a "CWS" file is inflated first); every out argument may be
// null. False, nothing written, when the file cannot be opened as a SWF movie.
bool SwfInfo(const PathString& path, uint32_t* width, uint32_t* height, float* frameRate, uint32_t* version,
             uint32_t* frameCount, bool* compressed);
// True when the file starts with "FWS" or "CWS".
bool IsSwfFile(const PathString& path);

// The first SetBackgroundColor tag of the list, or null.
SwfTag* FindBackgroundColorTag(const std::vector<SwfTag*>& tags);
// The first PlaceObject or PlaceObject2 from `character` on (itself included) that places
// its character id; null when `character` is not in the list or nothing places it.
SwfTag* FindPlacementTag(const SwfCharacterTag* character, const std::vector<SwfTag*>& tags);

// The name=value pairs that the SetVariable actions of a movie's first frames set, collected
// by a light scan of their DoAction tags.
class FrameVariableTable {
 public:
  FrameVariableTable();
  ~FrameVariableTable();
  FrameVariableTable(const FrameVariableTable&) = delete;
  FrameVariableTable& operator=(const FrameVariableTable&) = delete;

  // Empties the table, then scans frames 0..lastFrame of the movie. False only when the file
  // cannot be opened as a SWF movie.
  bool Load(const PathString& path, int32_t lastFrame);
  // The value of the first variable of that name (compared without regard to letter case).
  bool GetString(const wchar_t* name, std::wstring& value) const;
  // The same look-up, converted; true whenever the name is found.
  bool GetNumber(const wchar_t* name, double& value) const;
  bool GetInteger(const wchar_t* name, int32_t& value) const;
  bool First(WideText& name, WideText& value);
  bool Next(WideText& name, WideText& value);

  int32_t stageWidth = 0;   // twips
  int32_t stageHeight = 0;  // twips
  float frameRate = 0;

 private:
  void Clear();
  void Scan(const DoActionTag& tag);

  std::vector<std::wstring> stack;
  std::vector<std::pair<std::wstring, std::wstring>> variables;
  std::vector<std::unique_ptr<DoActionTag>> keptTags;
  const ActionConstantPool* constantPool = nullptr;
  size_t iteration = 0;
};

// A number as "%f" (six decimals) and "%d" give it in the C locale, whatever the process
// locale.
std::wstring FormatFixed6(double value);
std::wstring FormatInteger(int32_t value);
