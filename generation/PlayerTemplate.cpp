#include "generation/PlayerTemplate.h"

#include <algorithm>

#include "framework/platform/PathLayer.h"
#include "flash/swf/SwfInfo.h"
#include "framework/platform/WideText.h"
#include "toolbox/AppLocation.h"

namespace {

bool IsOn(const std::wstring& text) {
  return CompareNoCase(text.c_str(), L"true") == 0 || text == L"1";
}

std::vector<std::unique_ptr<PlayerTemplateLibrary>>& Registry() {
  static std::vector<std::unique_ptr<PlayerTemplateLibrary>> registry;
  return registry;
}

}  // namespace

bool SwfPlayerTemplateReader::ReadTemplate(const PathString& path, PlayerTemplateInfo& info) {
  FrameVariableTable table;
  // A movie without a stage (a header cut short) is no template.
  if (!table.Load(path, 0) || table.stageWidth < 1 || table.stageHeight < 1) return false;
  info.width_twips = table.stageWidth;
  info.height_twips = table.stageHeight;
  info.first_frame_variables.clear();
  WideText name, value;
  for (bool more = table.First(name, value); more; more = table.Next(name, value))
    info.first_frame_variables.push_back({name.CStr(), value.CStr()});
  return true;
}

PlayerTemplate::PlayerTemplate(std::wstring name, PathString path, const PlayerTemplateInfo& info)
    : name_(std::move(name)),
      path_(std::move(path)),
      width_twips_(info.width_twips),
      height_twips_(info.height_twips) {
  const std::wstring prefix = kVariablePrefix;
  for (const PlayerVariable& v : info.first_frame_variables) {
    if (v.name == L"fixed_width") fixed_width_ = IsOn(v.value);
    else if (v.name == L"fixed_height") fixed_height_ = IsOn(v.value);
    else if (v.name.compare(0, prefix.size(), prefix) == 0 && !GetVariable(v.name))
      variables_.push_back(v);
  }
}

void PlayerTemplate::MeasurePlayer(int32_t movieWidth, int32_t movieHeight, int32_t& width,
                                   int32_t& height) const {
  width = fixed_width_ ? width_twips_ : movieWidth;
  height = fixed_height_ ? height_twips_ : movieHeight;
}

bool PlayerTemplate::SetVariable(const std::wstring& name, const std::wstring& value) {
  for (PlayerVariable& v : variables_) {
    if (v.name == name) {
      v.value = value;
      return true;
    }
  }
  return false;
}

const std::wstring* PlayerTemplate::GetVariable(const std::wstring& name) const {
  for (const PlayerVariable& v : variables_)
    if (v.name == name) return &v.value;
  return nullptr;
}

PlayerTemplateLibrary* PlayerTemplateLibrary::Find(uint32_t id) {
  for (auto& l : Registry())
    if (l->Id() == id) return l.get();
  return nullptr;
}

PlayerTemplateLibrary* PlayerTemplateLibrary::Create(uint32_t id) {
  if (Find(id)) return nullptr;
  Registry().push_back(std::make_unique<PlayerTemplateLibrary>(id));
  return Registry().back().get();
}

void PlayerTemplateLibrary::DeleteAll() { Registry().clear(); }

PlayerTemplate* PlayerTemplateLibrary::FindByName(PlayerTemplateLibrary* library,
                                                  const std::wstring& name, bool copy) {
  if (!library) return nullptr;
  for (auto& t : library->templates_)
    if (t->Name() == name) return copy ? t->Clone() : t.get();
  return nullptr;
}

void PlayerTemplateLibrary::Add(PlayerTemplate* player) {
  if (player) templates_.emplace_back(player);
}

int PlayerTemplateLibrary::LoadFolder(const PathString& folder, PlayerTemplateReader& reader) {
  std::vector<PathString> files;
  PathString entry;
  bool isFolder = false;
  if (FirstFolderEntry(folder, entry, &isFolder)) {
    do {
      PathString ext;
      GetPathExtension(ext, entry, false);
      if (!isFolder && CompareNoCase(ext.c_str(), L"swf") == 0) files.push_back(entry);
    } while (NextFolderEntry(entry, &isFolder));
    CloseFolderIterator();
  }
  std::sort(files.begin(), files.end());
  int added = 0;
  for (const PathString& file : files) {
    PlayerTemplateInfo info;
    if (!reader.ReadTemplate(file, info)) continue;
    PathString name;
    GetPathFileName(name, file, true);
    if (FindByName(this, name, false)) continue;
    Add(new PlayerTemplate(name, file, info));
    ++added;
  }
  return added;
}

PlayerTemplateLibrary* LoadPlayerTemplateLibrary(PlayerTemplateReader& reader) {
  PlayerTemplateLibrary* library = PlayerTemplateLibrary::Find(0);
  if (!library) library = PlayerTemplateLibrary::Create(0);
  const std::string data = toolbox::ResourcesFolder();
  if (!data.empty()) library->LoadFolder(FromNativeString(data + "Players"), reader);
  return library;
}
