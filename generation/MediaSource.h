#pragma once
// Media import: a media source is an opened media file that reports its picture size,
// duration and whether it holds sound and video. Registries of sources pick the source for
// a file, first by its extension and then by asking each source whether it opens the file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"

class MediaSource {
 public:
  MediaSource() = default;
  virtual ~MediaSource() = default;
  MediaSource(const MediaSource&) = delete;
  MediaSource& operator=(const MediaSource&) = delete;

  // A new, unopened source of the same kind, owned by the caller.
  virtual MediaSource* NewInstance() const = 0;
  // Whether the extension (lower case, without the dot) is one of this kind's in the given
  // table: 0 for custom sounds, 1 for job inputs.
  virtual bool ClaimsExtension(uint32_t table, const std::wstring& extension) const = 0;

  // False when the file does not open.
  virtual bool Open(const PathString& path) = 0;
  virtual void GetSize(int32_t& width, int32_t& height) const = 0;
  virtual bool HasVideo() const = 0;
  virtual bool HasSound() const = 0;
  virtual uint32_t GetDurationMs() const = 0;
};

class MediaImporterRegistry {
 public:
  explicit MediaImporterRegistry(uint32_t id) : id_(id) {}
  uint32_t Id() const { return id_; }

  // The registry with that id, or none. Registry 0 exists from the first look-up on and
  // holds the FFmpeg media source.
  static MediaImporterRegistry* Find(uint32_t id);
  // A source for the file: one whose kind claims the file's extension (letter case ignored)
  // in the table, otherwise the first whose kind opens the file. With `fresh` a new
  // instance owned by the caller, otherwise the registered one. None when no source takes
  // the file.
  static MediaSource* FindSourceForFile(MediaImporterRegistry* registry, const PathString& path,
                                        bool fresh, uint32_t table);

  // Adds a source kind; the registry owns it.
  void Register(MediaSource* source);
  // Removes every source kind.
  void Clear() { sources_.clear(); }

 private:
  uint32_t id_;
  std::vector<std::unique_ptr<MediaSource>> sources_;
};
