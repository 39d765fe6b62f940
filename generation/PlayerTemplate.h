#pragma once
// Player templates (skins): SWF movies whose first frame sets the template's variables.
// A template knows its movie's size, whether the player keeps that width or height, and the
// values chosen for its variables (names with the "ztaVar" prefix); a job holds its own copy.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"

class XmlWriter;
class XmlValue;

struct PlayerVariable {
  std::wstring name;
  std::wstring value;
  bool operator==(const PlayerVariable&) const = default;
};

// What a template movie tells about itself: the stage size and the name=value pairs that its
// first frame sets, in the order they are set.
struct PlayerTemplateInfo {
  int32_t width_twips = 0;
  int32_t height_twips = 0;
  std::vector<PlayerVariable> first_frame_variables;
};

// Reads a template movie's header size and first-frame variables.
class PlayerTemplateReader {
 public:
  virtual ~PlayerTemplateReader() = default;
  virtual bool ReadTemplate(const PathString& path, PlayerTemplateInfo& info) = 0;
};

// Reads template movies with the SWF reader: the stage size from the header, and the
// variables that the first frame's actions set.
class SwfPlayerTemplateReader : public PlayerTemplateReader {
 public:
  bool ReadTemplate(const PathString& path, PlayerTemplateInfo& info) override;
};

class PlayerTemplate {
 public:
  // The prefix of template variable names.
  static constexpr const wchar_t* kVariablePrefix = L"ztaVar";

  // A template named `name` from what its movie at `path` told: the template variables are
  // the first-frame variables with the prefix (the first setting of a name wins); the
  // variables "fixed_width" and "fixed_height" ("true" or "1") fix the player's sides.
  PlayerTemplate(std::wstring name, PathString path, const PlayerTemplateInfo& info);
  virtual ~PlayerTemplate() = default;
  PlayerTemplate(const PlayerTemplate&) = default;
  PlayerTemplate& operator=(const PlayerTemplate&) = delete;

  // A new copy with its chosen values, owned by the caller.
  PlayerTemplate* Clone() const { return new PlayerTemplate(*this); }

  const std::wstring& Name() const { return name_; }
  const PathString& Path() const { return path_; }
  int32_t GetSwfWidth() const { return width_twips_; }
  int32_t GetSwfHeight() const { return height_twips_; }
  bool FixesWidth() const { return fixed_width_; }
  bool FixesHeight() const { return fixed_height_; }

  // The player's size in twips for a movie of that size: a side the template fixes keeps
  // the template's size, a free side takes the movie's.
  void MeasurePlayer(int32_t movieWidth, int32_t movieHeight, int32_t& width,
                     int32_t& height) const;

  const std::vector<PlayerVariable>& Variables() const { return variables_; }
  // Sets the value of a variable the template has; false for any other name.
  bool SetVariable(const std::wstring& name, const std::wstring& value);
  const std::wstring* GetVariable(const std::wstring& name) const;

  // "<name" with the template's "name", closed by " >"; one childless "var" per variable
  // with "name" and "value"; then the closing tag.
  bool WriteValuesXml(XmlWriter& writer, const wchar_t* elementName) const;
  // Sets the variables the template has from the element's "var" children; other names
  // are skipped. Always true.
  bool ReadValuesXml(const XmlValue& value);

 private:
  std::wstring name_;
  PathString path_;
  int32_t width_twips_ = 0;
  int32_t height_twips_ = 0;
  bool fixed_width_ = false;
  bool fixed_height_ = false;
  std::vector<PlayerVariable> variables_;
};

class PlayerTemplateLibrary {
 public:
  explicit PlayerTemplateLibrary(uint32_t id) : id_(id) {}
  uint32_t Id() const { return id_; }

  // The library with that id, or none.
  static PlayerTemplateLibrary* Find(uint32_t id);
  // A new empty library in the registry; none when the id is taken.
  static PlayerTemplateLibrary* Create(uint32_t id);
  static void DeleteAll();
  // The template with exactly that name; with `copy` a new copy owned by the caller.
  static PlayerTemplate* FindByName(PlayerTemplateLibrary* library, const std::wstring& name,
                                    bool copy);
  // The template that an element written by WriteValuesXml names: one whose name, written
  // and read back, is the element's "name". Where several names read alike, the one whose
  // variables the element's "var" children name, in order, wins, then the one named exactly
  // as read. None for an element without a name, or with one longer than any file name.
  static PlayerTemplate* FindForValues(PlayerTemplateLibrary* library, const XmlValue& element,
                                       bool copy);

  // Adds a template for every ".swf" file of the folder (name: the file name without its
  // extension) that the reader reads; other files and unreadable movies are skipped. A
  // missing folder leaves the library empty, which is valid. Returns the number added.
  int LoadFolder(const PathString& folder, PlayerTemplateReader& reader);
  // Adds a template; the library owns it.
  void Add(PlayerTemplate* player);
  const std::vector<std::unique_ptr<PlayerTemplate>>& Templates() const { return templates_; }

 private:
  uint32_t id_;
  std::vector<std::unique_ptr<PlayerTemplate>> templates_;
};

// Start-up: library 0 from the "Players" folder of the application's data folder.
PlayerTemplateLibrary* LoadPlayerTemplateLibrary(PlayerTemplateReader& reader);
