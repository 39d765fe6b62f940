#include "framework/ui/FileDialogs.h"

#include <algorithm>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/ui/MessageBox.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

struct TypeRow {
  OSType type;
  const wchar_t* extension;  // null: none
  const wchar_t* description;
};

constexpr TypeRow kTypes[] = {
    {FourCC("8BPS"), L"psd", L"Photoshop"},
    {FourCC("AIFC"), L"aiff", L"AIFF"},
    {FourCC("APPL"), L"prj", L"Flash Projector"},
    {FourCC("ASF_"), L"wmv", L"Windows Media Video"},
    {FourCC("BMPf"), L"bmp", L"Bitmap"},
    {FourCC("FLC "), nullptr, L"FLC"},
    {FourCC("FLV2"), L"flv", L"FLV"},
    {FourCC("GIFf"), L"gif", L"GIF"},
    {FourCC("ICNS"), L"icns", L"Icon"},
    {FourCC("ICO "), L"ico", L"Windows Icon"},
    {FourCC("JPEG"), L"jpg", L"JPEG"},
    {FourCC("MPG "), L"mpg", L"MPEG"},
    {FourCC("Midi"), nullptr, L"Midi"},
    {FourCC("MooV"), L"mov", L"MOV"},
    {FourCC("Mp3 "), L"mp3", L"MP3"},
    {FourCC("PDF "), L"pdf", L"PDF"},
    {FourCC("PICT"), L"pct", L"PICT"},
    {FourCC("PNGf"), L"png", L"PNG"},
    {FourCC("SPA "), L"fla", L"Flash Movie"},
    {FourCC("SWFL"), L"swf", L"Flash Animation"},
    {FourCC("TEXT"), L"txt", L"Text"},
    {FourCC("TIFF"), L"tiff", L"TIFF"},
    {FourCC("TPIC"), L"tga", L"Targa"},
    {FourCC("VfW "), L"avi", L"AVI"},
    {FourCC("WAVE"), L"wav", L"Wave"},
    {FourCC("WDBN"), L"doc", L"Microsoft Word Document"},
    {FourCC("bina"), L"bin", L"Binary"},
    {FourCC("dvc!"), nullptr, L"DVC"},
    {FourCC("mpg4"), L"mp4", L"MPEG-4"},
    {FourCC("osas"), L"script", L"Apple Script"},
    {FourCC("svg "), L"svg", L"Scalable Vector Graphics"},
    {FourCC("svgz"), L"svgz", L"Compressed Scalable Vector Graphics"},
    {FourCC("pBva"), L"bva", L"Brivane Project"},
    {FourCC("pFrl"), L"frl", L"Protection Project"},
};

struct ListRow {
  OSType type;
  const wchar_t* extensions;
};

constexpr ListRow kExtensionLists[] = {
    {FourCC("AIFC"), L"aiff;aif"}, {FourCC("JPEG"), L"jpg;jpeg"}, {FourCC("MPG "), L"mpg;mpeg;mpe"},
    {FourCC("PICT"), L"pct;pict"}, {FourCC("TIFF"), L"tif;tiff"}, {FourCC("TPIC"), L"tga;targa"},
};

const TypeRow* FindType(OSType type) {
  for (const TypeRow& row : kTypes)
    if (row.type == type) return &row;
  return nullptr;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareNoCase(a.c_str(), b.c_str()) == 0;
}

// The text after the name's last '.'; empty without one.
std::wstring ExtensionOf(const std::wstring& name) {
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring NameOfPath(const std::string& utf8Path) {
  std::string p = utf8Path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::size_t slash = p.rfind('/');
  return Utf8ToWide(slash == std::string::npos ? p : p.substr(slash + 1));
}

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

bool IsFilterIndex(const FileDialogRequest& request, std::int32_t index) {
  return request.filters && index >= 0 && static_cast<std::size_t>(index) < request.filters->Count();
}

// The extension a save dialog's name takes with the filter at `index` chosen: the
// filter's, or the default extension where there is no such filter.
std::wstring SaveExtensionFor(const FileDialogRequest& request, std::int32_t index) {
  return IsFilterIndex(request, index) ? request.filters->At(index)->SaveExtension() : Text(request.defaultExtension);
}

// The pop-up report: the chosen filter is remembered, and a save dialog's edited name
// takes the filter's extension.
void OnPopup(FileDialogRequest* request, NavDialogRef dialog, std::int32_t index) {
  request->chosenFilter = IsFilterIndex(*request, index) ? index : -1;
  if (request->kind != FileDialogRequest::kSave) return;
  const std::wstring extension = SaveExtensionFor(*request, index);
  // The name saved under takes the extension even when the user removes it from the name.
  NavDialogSetSaveExtension(dialog, extension);
  if (extension.empty()) return;
  std::wstring name = NavDialogGetSaveFileName(dialog);
  const std::size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos)
    name += L"." + extension;
  else
    name = name.substr(0, dot + 1) + extension;
  NavDialogSetSaveFileName(dialog, name);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Filters

FileFilterTypeEntry::FileFilterTypeEntry(const std::wstring& extensionText, OSType type)
    : fileType(type) {
  const std::wstring text = extensionText.substr(0, 256);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L';', start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) extensions.push_back(std::make_unique<std::wstring>(text.substr(start, end - start)));
    start = end + 1;
  }
}

std::wstring FileFilter::SaveExtension() const {
  if (entries.empty() || entries.front()->fileType == kFileTypeAnyFile) return {};
  const auto& first = entries.front()->extensions;
  if (first.empty() || *first.front() == L"*") return {};
  return *first.front();
}

bool FileFilter::Admits(OSType type, const std::wstring& name) const {
  const std::wstring extension = ExtensionOf(name);
  for (const auto& entry : entries) {
    if (entry->fileType == kFileTypeAnyFile || (type && entry->fileType == type)) return true;
    if (extension.empty()) continue;
    for (const auto& e : entry->extensions)
      if (EqualNoCase(*e, extension)) return true;
  }
  return false;
}

FileFilterList::~FileFilterList() { Clear(); }

void FileFilterList::Clear() { filters.clear(); }

const FileFilter* FileFilterList::At(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= filters.size()) return nullptr;
  return filters[static_cast<std::size_t>(index)].get();
}

void FileFilterList::Insert(std::unique_ptr<FileFilter> filter, int position) {
  if (position < 0)
    filters.insert(filters.begin(), std::move(filter));
  else if (static_cast<std::size_t>(position) >= filters.size())
    filters.push_back(std::move(filter));
  else
    filters.insert(filters.begin() + position, std::move(filter));
}

bool FileFilterList::AddType(OSType type, const wchar_t* description, int position) {
  const OSType types[] = {type};
  std::wstring text;
  if (description) {
    text = description;
  } else if (!FileTypeToDescription(type, &text)) {
    return false;
  }
  return AddTypes(text.c_str(), 1, types, position);
}

bool FileFilterList::AddTypes(const wchar_t* description, int count, const OSType* types, int position) {
  if (!types || count <= 0) return false;
  auto filter = std::make_unique<FileFilter>();
  filter->description = Text(description);
  for (int i = 0; i < count; ++i) {
    std::wstring extensions;
    FileTypeToExtensionList(types[i], &extensions);
    filter->entries.push_back(std::make_unique<FileFilterTypeEntry>(extensions, types[i]));
  }
  Insert(std::move(filter), position);
  return true;
}

void FileFilterList::AddAllFiles(int position) {
  auto filter = std::make_unique<FileFilter>();
  filter->description = L"All Files";
  filter->entries.push_back(std::make_unique<FileFilterTypeEntry>(L"*", kFileTypeAnyFile));
  Insert(std::move(filter), position);
}

void FileFilterList::AddText() {
  AddType(FourCC("TEXT"), nullptr, 65535);
  AddAllFiles(65535);
}

void FileFilterList::AddAllSounds() {
  const OSType sounds[] = {FourCC("AIFC"), FourCC("Mp3 "), FourCC("WAVE")};
  AddTypes(L"All Sounds", 3, sounds, 65535);
  for (OSType t : sounds) AddType(t, nullptr, 65535);
  AddAllFiles(65535);
}

void FileFilterList::AddAllImages() {
  const OSType images[] = {FourCC("BMPf"), FourCC("GIFf"), FourCC("JPEG"), FourCC("PICT"),
                           FourCC("PNGf"), FourCC("8BPS"), FourCC("TIFF"), FourCC("TPIC")};
  AddTypes(L"All Images", 8, images, 65535);
  for (OSType t : images) AddType(t, nullptr, 65535);
  AddAllFiles(65535);
}

// ---------------------------------------------------------------------------------------
// Requests and the dialog

void FileDialogRequest::Init(std::int32_t dialogKind) {
  kind = dialogKind;
  defaultExtension = nullptr;
  filters = nullptr;
  creator = FourCC("****");
  fileType = FourCC("****");
  saveFileName = nullptr;
  title = nullptr;
  actionButtonLabel = nullptr;
  cancelButtonLabel = nullptr;
  message = nullptr;
  allowMultiple = 0;
  startFolder = nullptr;
}

void FileDialogOptions::Reset() { *this = FileDialogOptions{}; }

bool FileDialogShowsItem(const FileDialogRequest& request, const NavFileItem& item) {
  if (item.isFolder || !item.hasFileInfo || !request.filters || request.filters->Count() == 0)
    return true;
  const FileFilter* filter = request.filters->At(request.chosenFilter);
  if (!filter) return false;
  return filter->Admits(item.fileType, NameOfPath(item.path));
}

bool PathFromUtf8(const std::string& utf8, PathString* out) {
  if (utf8.empty() || !IsValidUtf8(utf8)) return false;
  if (out) *out = PathString(Utf8ToWide(utf8));
  return true;
}

void ReportNameNotUtf8(WindowRef parent, const std::string& bytes) {
  ReportError(parent, kErrorTitleText, kNameNotUtf8Text, Utf8ToWideShowingBytes(bytes).c_str());
}

bool RunFileDialog(FileDialogRequest* request, FileDialogResult* result, WindowRef parent,
                   const FileDialogOptions* options) {
  if (!request || !result) return false;
  result->succeeded = false;
  if (options) {
    request->defaultExtension = options->defaultExtension;
    request->filters = options->filters;
    request->creator = options->creator;
    request->fileType = options->fileType;
    request->saveFileName = options->saveFileName;
    request->title = options->title;
    request->actionButtonLabel = options->actionButtonLabel;
    request->cancelButtonLabel = options->cancelButtonLabel;
    request->message = options->message;
    request->allowMultiple = options->allowMultiple;
  }

  NavDialogCreationOptions creation;
  NavGetDefaultDialogCreationOptions(&creation);
  if (request->allowMultiple) creation.optionFlags |= kNavAllowMultipleFiles;
  creation.parentWindow = parent;
  creation.windowTitle = Text(request->title);
  creation.message = Text(request->message);
  creation.actionButtonLabel = Text(request->actionButtonLabel);
  creation.cancelButtonLabel = Text(request->cancelButtonLabel);
  creation.saveFileName = Text(request->saveFileName);
  if (request->startFolder && *request->startFolder) {
    creation.startFolder = WideToUtf8(request->startFolder);
    if (creation.startFolder.back() != '/') creation.startFolder += '/';
  }
  const bool withFilters = (request->kind == FileDialogRequest::kSave ||
                            request->kind == FileDialogRequest::kOpen) &&
                           request->filters && request->filters->Count() > 0;
  if (withFilters)
    for (const auto& f : request->filters->filters) creation.popupExtension.push_back(f->description);
  // A save dialog starts with its first filter chosen, so the name saved under takes that
  // filter's extension, as the pop-up shows.
  if (request->kind == FileDialogRequest::kSave) creation.saveExtension = SaveExtensionFor(*request, 0);

  NavDialogKind kind;
  switch (request->kind) {
    case FileDialogRequest::kSave: kind = kNavPutFileDialog; break;
    case FileDialogRequest::kOpen: kind = kNavGetFileDialog; break;
    case FileDialogRequest::kChooseFile: kind = kNavChooseFileDialog; break;
    case FileDialogRequest::kChooseFolder: kind = kNavChooseFolderDialog; break;
    default: return false;
  }
  NavObjectFilter filter;
  if (kind == kNavGetFileDialog || kind == kNavChooseFileDialog)
    filter = [request](const NavFileItem& item) { return FileDialogShowsItem(*request, item); };
  NavDialogRef dialog;
  if (NavCreateDialog(kind, creation,
                      [request](NavDialogRef d, std::int32_t index) { OnPopup(request, d, index); },
                      filter, &dialog) != kNoErr)
    return false;
  request->dialog = dialog;
  // The pop-up shows its first item from the start, so that filter is the one in use; a
  // choose-file dialog, which has no pop-up, lists by its first filter too, since no
  // filter at all would hide every file.
  const bool anyFilters = request->filters && request->filters->Count() > 0;
  if (withFilters || (request->kind == FileDialogRequest::kChooseFile && anyFilters)) request->chosenFilter = 0;

  NavDialogRun(dialog);
  bool ok = false;
  const NavUserAction action = NavDialogGetUserAction(dialog);
  if (action != kNavUserActionCancel && action != kNavUserActionNone) {
    NavReplyRecord reply;
    NavDialogGetReply(dialog, &reply);
    result->chosenFilter = request->chosenFilter;
    result->count = 0;
    result->furtherPaths.clear();
    ok = !reply.selection.empty();
    for (long i = 1; i <= static_cast<long>(reply.selection.size()); ++i) {
      std::string utf8;
      PathString path;
      if (NavReplyItemURL(reply, i, &utf8) != kNoErr || !PathFromUtf8(utf8, &path)) {
        if (!utf8.empty() && !IsValidUtf8(utf8)) ReportNameNotUtf8(parent, utf8);
        ok = false;
        continue;
      }
      if (result->count == 0)
        result->firstPath = path;
      else
        result->furtherPaths.push_back(path);
      ++result->count;
      result->succeeded = true;
    }
    NavDisposeReply(&reply);
  }
  NavDialogDispose(dialog);
  request->dialog = NavDialogRef{};
  return ok;
}

// ---------------------------------------------------------------------------------------
// Tables

bool FileTypeToExtension(OSType type, std::wstring* out) {
  const TypeRow* row = FindType(type);
  if (!row || !row->extension) return false;
  if (out) *out = row->extension;
  return true;
}

bool FileTypeToExtensionList(OSType type, std::wstring* out) {
  for (const ListRow& row : kExtensionLists) {
    if (row.type == type) {
      if (out) *out = row.extensions;
      return true;
    }
  }
  return FileTypeToExtension(type, out);
}

bool FileTypeToDescription(OSType type, std::wstring* out) {
  const TypeRow* row = FindType(type);
  if (!row) return false;
  if (out) *out = row->description;
  return true;
}

// ---------------------------------------------------------------------------------------
// Extension lists

std::unique_ptr<FileExtensionList> FileExtensionList::CopyFrom(const FileExtensionList& other) {
  auto list = std::make_unique<FileExtensionList>();
  list->Assign(other);
  return list;
}

void FileExtensionList::Add(const std::wstring& text) {
  if (!text.empty()) extensions.push_back(std::make_unique<std::wstring>(text));
}

void FileExtensionList::SetFromString(const PathString& path) {
  extensions.clear();
  PathString name;
  GetPathFileName(name, path, false);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) Add(name.substr(dot + 1));
}

bool FileExtensionList::Contains(const std::wstring& text) const {
  for (const auto& e : extensions)
    if (EqualNoCase(*e, text)) return true;
  return false;
}

bool FileExtensionList::MatchesAny(const FileExtensionList& other) const {
  for (const auto& e : other.extensions)
    if (Contains(*e)) return true;
  return false;
}

void FileExtensionList::Assign(const FileExtensionList& other) {
  extensions.clear();
  for (const auto& e : other.extensions) extensions.push_back(std::make_unique<std::wstring>(*e));
}
