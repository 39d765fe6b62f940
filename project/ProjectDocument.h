#pragma once
// The document the main window owns: the job list, its undo stack, the path it was opened
// from or saved to, and whether it holds changes not yet saved. Opening, saving, adding and
// removing jobs, choosing presets and every recorded edit go through it; what goes wrong is
// shown in an error box over `window`.
#include <cstdint>
#include <functional>
#include <string>

#include "framework/platform/PathString.h"
#include "project/JobList.h"
#include "project/Undo.h"
#include "toolbox/Windows.h"

class Preset;

// The file type and creator of project files.
inline constexpr uint32_t kProjectFileType = 0x70427661;     // 'pBva'
inline constexpr uint32_t kProjectFileCreator = 0x42766177;  // 'Bvaw'

// Numbered texts of the project's messages.
inline constexpr int kCannotReadProjectText = 101;
inline constexpr int kNotAProjectText = 102;
inline constexpr int kCannotSaveText = 103;
inline constexpr int kNoSuchProjectText = 112;
inline constexpr int kCannotUndoText = 113;
inline constexpr int kCannotRedoText = 114;
inline constexpr int kProjectTooLargeText = 120;
inline constexpr int kNameTooLongText = 122;
inline constexpr int kPresetNotDeletedText = 2700;
inline constexpr int kSavePresetTitleText = 2701;
inline constexpr int kPresetExistsText = 2702;
inline constexpr int kNoSoundText = 2802;
inline constexpr int kJobsLeftOutText = 2808;

class ProjectDocument {
 public:
  ProjectDocument();
  ProjectDocument(const ProjectDocument&) = delete;
  ProjectDocument& operator=(const ProjectDocument&) = delete;

  // Unsaved changes: a recorded edit since the last save, or a job added or removed, a
  // preset chosen or batch mode switched (none of which is an undo step).
  bool IsModified() const { return changed_ || (undo.CanUndo() && !undo.saved); }

  // An empty project without a path.
  void New();
  // Replaces the project with the file's. The file is parsed and checked first: a file that
  // is missing, does not parse or holds no project changes nothing (path, jobs and undo
  // steps stay) and is reported.
  bool Open(const PathString& file);
  // Writes the project safely; on success the path becomes the file's and the project is
  // saved. A failure is reported and changes nothing; a project too large for Open to read
  // back (past `limits`) is refused so.
  bool Save(const PathString& file);

  // A job for the file, given the no-preset entry's settings. A file without sound is
  // refused with a message.
  Job* AddJobForFile(const PathString& file);
  bool RemoveJobAt(int32_t index);
  void SetBatchMode(bool on);
  // Applies the preset to the current job, or to every job in batch mode.
  void ChoosePreset(Preset* preset);

  // One recorded edit: `setter` runs on the current job, or on every job in batch mode.
  // A job that departs from its preset is moved onto the no-preset entry. When anything
  // changed the edit becomes one undo step; true then.
  bool Edit(const std::function<void(Job&)>& setter);
  // False (with an error box, and the project and undo steps as they were) when the
  // state cannot be loaded; false without a box when there is nothing to undo or redo.
  bool Undo();
  bool Redo();

  // Saving the current job's settings as a user preset named `name` in `presetsFolder`.
  // The refusal's message number (the dialog shows it and stays open), or 0 for a name
  // the dialog accepts; `file` is then the preset's file.
  int CheckPresetName(const std::wstring& name, const PathString& presetsFolder,
                      PathString& file) const;
  // Writes `filled`, loads it into list 0 and applies it to the current job. A failed
  // write is reported, and list 0 stays unchanged.
  Preset* SaveUserPreset(const Preset& filled, const PathString& file);
  // Moves every job off the preset, then deletes it with its file; a failure is reported.
  bool DeleteUserPreset(Preset* preset);

  JobList jobs;
  UndoStack undo;
  // What the project's files and undo snapshots may hold: Save refuses more, Open reads it.
  XmlLimits limits = kJobListXmlLimits;
  PathString path;
  toolbox::WindowRef window{};

 private:
  void ReportLeftOutJobs();
  bool LoadStep(bool undo);

  bool changed_ = false;
};

// What a preset made by the settings pages holds of a job: the output, audio, watermark,
// movie and player values; everything else keeps its defaults.
void FillPresetFromJob(Preset& preset, const Job& job);
