#pragma once
// The save, open, choose-file and choose-folder dialogs, described by a request with caller
// overrides, and the file filters of their format pop-up: a filter lists files by Mac file
// type (read from a file's sidecar) or by file-name extension. Two tables give a type's
// extensions and description. FileExtensionList is a separate small list of extensions.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/FileDialogResult.h"
#include "toolbox/Navigation.h"

// The type of an entry that matches every file.
inline constexpr toolbox::OSType kFileTypeAnyFile = toolbox::FourCC("XxXx");

class FileFilterTypeEntry {
 public:
  // The text (at most its first 256 characters) split at ';', empty pieces skipped.
  FileFilterTypeEntry(const std::wstring& extensionText, toolbox::OSType type);
  std::vector<std::unique_ptr<std::wstring>> extensions;
  toolbox::OSType fileType = 0;
};

class FileFilter {
 public:
  std::wstring description;
  std::vector<std::unique_ptr<FileFilterTypeEntry>> entries;
  // The extension a save name takes when this filter is chosen: the first extension of the
  // first entry; empty for a filter of every file or without extensions.
  std::wstring SaveExtension() const;
  // Whether the filter admits a file of this type and name.
  bool Admits(toolbox::OSType type, const std::wstring& name) const;
};

// Positions: negative puts the filter first, at or beyond the count appends it, otherwise
// it goes before that index.
class FileFilterList {
 public:
  FileFilterList() = default;
  ~FileFilterList();
  FileFilterList(const FileFilterList&) = delete;
  FileFilterList& operator=(const FileFilterList&) = delete;

  void Clear();
  // Without a description the description table gives it.
  bool AddType(toolbox::OSType type, const wchar_t* description, int position);
  bool AddTypes(const wchar_t* description, int count, const toolbox::OSType* types, int position);
  void AddAllFiles(int position);
  void AddText();
  void AddAllSounds();
  void AddAllImages();

  std::size_t Count() const { return filters.size(); }
  const FileFilter* At(std::int32_t index) const;

  std::vector<std::unique_ptr<FileFilter>> filters;

 private:
  void Insert(std::unique_ptr<FileFilter> filter, int position);
};

struct FileDialogRequest {
  enum Kind : std::int32_t { kSave = 0, kOpen = 1, kChooseFile = 2, kChooseFolder = 3 };

  // -1 until a dialog with filters runs: no filter is named before that.
  FileDialogRequest() = default;
  void Init(std::int32_t dialogKind);
  void InitSave() { Init(kSave); }
  void InitOpen() { Init(kOpen); }
  void InitChooseFolder() { Init(kChooseFolder); }

  std::int32_t chosenFilter = -1;
  toolbox::NavDialogRef dialog;
  std::int32_t kind = kOpen;
  const wchar_t* defaultExtension = nullptr;
  FileFilterList* filters = nullptr;
  toolbox::OSType creator = toolbox::FourCC("****");
  toolbox::OSType fileType = toolbox::FourCC("****");
  const wchar_t* saveFileName = nullptr;
  const wchar_t* title = nullptr;
  const wchar_t* actionButtonLabel = nullptr;
  const wchar_t* cancelButtonLabel = nullptr;
  const wchar_t* message = nullptr;
  std::uint8_t allowMultiple = 0;
  // The folder the dialog starts in; none: the current folder. Options leave it as it is.
  const wchar_t* startFolder = nullptr;
};

struct FileDialogOptions {
  void Reset();
  const wchar_t* defaultExtension = nullptr;
  FileFilterList* filters = nullptr;
  toolbox::OSType creator = toolbox::FourCC("****");
  toolbox::OSType fileType = toolbox::FourCC("****");
  const wchar_t* saveFileName = nullptr;
  const wchar_t* title = nullptr;
  const wchar_t* actionButtonLabel = nullptr;
  const wchar_t* cancelButtonLabel = nullptr;
  const wchar_t* message = nullptr;
  std::uint8_t allowMultiple = 0;
};

// True when at least one item was chosen and every chosen item gave a path. A chosen name
// that is not valid UTF-8 gives no path. A save dialog's name that lacks the chosen
// filter's extension (or, without filters, the default extension) is saved with it.
bool RunFileDialog(FileDialogRequest* request, FileDialogResult* result, toolbox::WindowRef parent,
                   const FileDialogOptions* options);
// The object filter of open and choose-file dialogs, asked for one item.
bool FileDialogShowsItem(const FileDialogRequest& request, const toolbox::NavFileItem& item);

// Table look-ups; false and the text untouched for a type without a row.
bool FileTypeToExtension(toolbox::OSType type, std::wstring* out);
bool FileTypeToExtensionList(toolbox::OSType type, std::wstring* out);
bool FileTypeToDescription(toolbox::OSType type, std::wstring* out);

// The path's file as wide text when its bytes are valid UTF-8; false otherwise.
bool PathFromUtf8(const std::string& utf8, PathString* out);

// The numbered text that refuses a file name that is not valid UTF-8.
inline constexpr int kNameNotUtf8Text = 123;
// Says in an error box that the file cannot be used since its name is not UTF-8, naming it
// with those bytes shown as "\xHH".
void ReportNameNotUtf8(toolbox::WindowRef parent, const std::string& bytes);

class FileExtensionList {
 public:
  FileExtensionList() = default;
  ~FileExtensionList() = default;
  // A list with an empty name and copies of the other's extensions.
  static std::unique_ptr<FileExtensionList> CopyFrom(const FileExtensionList& other);

  void Add(const std::wstring& text);
  // The one extension of the path's file name (none without a dot).
  void SetFromString(const PathString& path);
  bool Contains(const std::wstring& text) const;
  bool MatchesAny(const FileExtensionList& other) const;
  void Assign(const FileExtensionList& other);

  std::wstring name;
  std::vector<std::unique_ptr<std::wstring>> extensions;
};
