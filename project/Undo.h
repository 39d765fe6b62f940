#pragma once
// Undo and redo on whole snapshots of a project's job list: before an edit the job list is
// written to one temporary file, after it to a second; undo reloads the first, redo the
// second. The files live in this process's own temporary folder.
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/platform/PathString.h"

class JobList;

class UndoEntry {
 public:
  UndoEntry() = default;
  virtual ~UndoEntry() = default;
  UndoEntry(const UndoEntry&) = delete;
  UndoEntry& operator=(const UndoEntry&) = delete;
  // Each brings the project to the state after, respectively before, the step; false (and
  // the project unchanged) when that state cannot be loaded.
  virtual bool LoadRedoState() = 0;
  virtual bool LoadUndoState() = 0;
};

class UndoSnapshot : public UndoEntry {
 public:
  // Names both files ("_undo<n>" and "_redo<n>", n counted by the process); creates none.
  explicit UndoSnapshot(JobList* owner);
  // Deletes both files.
  ~UndoSnapshot() override;
  bool LoadRedoState() override { return LoadState(redo_file); }
  bool LoadUndoState() override { return LoadState(undo_file); }
  // False when the file could not be written whole.
  bool WriteUndoState() { return WriteState(undo_file); }
  bool WriteRedoState() { return WriteState(redo_file); }

  JobList* owner;
  PathString undo_file;
  PathString redo_file;

 private:
  bool WriteState(const PathString& file) const;
  // Works when the file parses and holds a "castora_jobs" element.
  bool LoadState(const PathString& file) const;
};

// Deletes every file of this process's temporary folder whose name begins with "_undo" or
// "_redo". Without a folder of its own the process deletes nothing: the shared temporary
// folder may hold another copy's snapshots.
void DeleteUndoFiles();

class UndoStack {
 public:
  UndoStack() = default;
  ~UndoStack() { Clear(); }
  UndoStack(const UndoStack&) = delete;
  UndoStack& operator=(const UndoStack&) = delete;

  void Clear();
  // Appends the entry (entries above `index` stay), trims the oldest beyond the limit,
  // `index` becomes the count and `saved` false.
  void Push(std::unique_ptr<UndoEntry> entry);
  // Move `index` only when the state loaded: false when there is nothing to undo or redo,
  // or the state could not be loaded.
  bool Undo();
  bool Redo();
  bool CanUndo() const { return index >= 1 && index <= Count(); }
  bool CanRedo() const { return index >= 0 && index < Count(); }
  void MarkSaved() { saved = true; }
  int32_t Count() const { return static_cast<int32_t>(entries.size()); }

  std::vector<std::unique_ptr<UndoEntry>> entries;
  uint32_t limit = 5;
  int32_t index = 0;
  bool saved = false;
};
