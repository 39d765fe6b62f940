#include "project/ProjectDocument.h"

#include <unistd.h>

#include <climits>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "framework/ui/MessageBox.h"
#include "imaging/ElementXml.h"
#include "project/Preset.h"
#include "toolbox/Utf8.h"

namespace ex = element_xml;

namespace {

Preset* NoPreset() {
  PresetList* list = FindPresetList(0);
  return list ? list->current : nullptr;
}

// The first "castora_jobs" element inside a "brivane" element of the root; false when the
// document holds none, so that it is not taken for a project.
bool HoldsProject(const XmlValue& root) {
  bool found = false;
  ex::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"brivane") return;
    ex::ForEachChildElement(child, [&](const XmlValue&, const std::wstring& inner) {
      if (inner == L"castora_jobs") found = true;
    });
  });
  return found;
}

}  // namespace

ProjectDocument::ProjectDocument() { New(); }

void ProjectDocument::New() {
  if (Preset* p = NoPreset()) p->ResetSettings();
  undo.Clear();
  jobs.Clear();
  jobs.SetBatchMode(false);
  path.clear();
  changed_ = false;
}

bool ProjectDocument::Open(const PathString& file) {
  if (!PathExists(file)) {
    ReportError(window, kErrorTitleText, kNoSuchProjectText);
    return false;
  }
  const PathString absolute = MakeAbsolutePath(file);
  XmlDocument doc;
  if (!doc.Load(absolute, limits)) {
    ReportError(window, kErrorTitleText, kCannotReadProjectText);
    return false;
  }
  XmlValue root;
  if (!doc.GetRoot(root) || !HoldsProject(root)) {
    ReportError(window, kErrorTitleText, kNotAProjectText);
    return false;
  }
  if (Preset* p = NoPreset()) p->ResetSettings();
  undo.Clear();
  jobs.Clear();
  path = absolute;
  changed_ = false;
  const uint32_t relocations = JobInputRelocations();
  PathString folder;
  GetParentFolder(folder, absolute, true);
  // Each "castora_jobs" replaces what an earlier one read.
  ex::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"brivane") return;
    ex::ForEachChildElement(child, [&](const XmlValue& list, const std::wstring& inner) {
      if (inner == L"castora_jobs") jobs.ReadXml(list, folder);
    });
  });
  // A relocated input is a change the file does not hold yet: quitting asks to save it.
  if (JobInputRelocations() != relocations) changed_ = true;
  ReportLeftOutJobs();
  return true;
}

namespace {

// The longest file name, in bytes, that the folder of `path` takes.
long LongestNameIn(const PathString& path) {
  PathString folder;
  GetParentFolder(folder, path, false);
  const long limit = folder.empty() ? -1 : pathconf(toolbox::WideToUtf8(folder).c_str(), _PC_NAME_MAX);
  return limit > 0 ? limit : NAME_MAX;
}

}  // namespace

bool ProjectDocument::Save(const PathString& file) {
  const PathString absolute = MakeAbsolutePath(file);
  // A name the folder cannot take (".bva" added to a long typed name passes the limit)
  // is said as such, not as a file that could not be created.
  PathString name;
  GetPathFileName(name, absolute, false);
  const long longest = LongestNameIn(absolute);
  if (toolbox::Utf8Size(name) > static_cast<size_t>(longest)) {
    ReportError(window, kErrorTitleText, kNameTooLongText, name.c_str(), static_cast<int>(longest));
    return false;
  }
  XmlWriterOptions options;
  options.fileType = kProjectFileType;
  options.creator = kProjectFileCreator;
  XmlWriter w;
  w.SetLimits(limits);
  bool ok = w.Open(absolute, options, true);
  if (ok) {
    w.Write(L"<brivane version_major=\"1\" version_minor=\"8\">\n");
    jobs.WriteXml(w);
    w.Write(L"</brivane>\n");
    ok = w.Close();
  }
  if (!ok) {
    ReportError(window, kErrorTitleText, w.TooLarge() ? kProjectTooLargeText : kCannotSaveText);
    return false;
  }
  undo.MarkSaved();
  path = absolute;
  changed_ = false;
  return true;
}

void ProjectDocument::ReportLeftOutJobs() {
  std::vector<std::wstring> entries = jobs.LeftOutJobs();
  for (const auto& [input, player] : jobs.MissingPlayers())
    entries.push_back(input + L" (\u201c" + player + L"\u201d)");
  if (!entries.empty()) ReportError(window, kErrorTitleText, kJobsLeftOutText, LeftOutJobsList(entries).c_str());
}

Job* ProjectDocument::AddJobForFile(const PathString& file) {
  Job* job = jobs.AddJobForFile(file);
  if (!job) return nullptr;
  changed_ = true;
  job->ApplyPreset(NoPreset(), true);
  if (!job->has_audio) {
    jobs.Remove(job);
    ReportError(window, kErrorTitleText, kNoSoundText, file.c_str());
    return nullptr;
  }
  return job;
}

bool ProjectDocument::RemoveJobAt(int32_t index) {
  if (!jobs.RemoveAt(index)) return false;
  changed_ = true;
  return true;
}

void ProjectDocument::SetBatchMode(bool on) {
  if (on != jobs.batch_mode) changed_ = true;
  jobs.SetBatchMode(on);
}

void ProjectDocument::ChoosePreset(Preset* preset) {
  if (jobs.batch_mode) {
    for (auto& j : jobs.jobs) j->ApplyPreset(preset, false);
  } else if (jobs.current) {
    jobs.current->ApplyPreset(preset, false);
  }
  changed_ = true;
}

bool ProjectDocument::Edit(const std::function<void(Job&)>& setter) {
  // A "before" state that cannot be written still leaves an undo step, so that the project
  // counts as modified; undoing that step then reports the failure.
  auto snapshot = std::make_unique<UndoSnapshot>(&jobs);
  snapshot->WriteUndoState();
  ResetChangeTracking();
  bool anyDiffered = false;
  auto apply = [&](Job& job) {
    // Each job is compared with its own preset: one job's departure moves only that job.
    ResetPresetDiffers();
    setter(job);
    if (PresetDiffersFlag) {
      anyDiffered = true;
      job.ApplyPreset(NoPreset(), false);
    }
  };
  if (jobs.batch_mode) {
    for (auto& j : jobs.jobs) apply(*j);
  } else if (jobs.current) {
    apply(*jobs.current);
  }
  PresetDiffersFlag = anyDiffered;
  if (TakeChangeCount(true) == 0) return false;
  snapshot->WriteRedoState();
  undo.Push(std::move(snapshot));
  return true;
}

bool ProjectDocument::LoadStep(bool back) {
  if (back ? !undo.CanUndo() : !undo.CanRedo()) return false;
  if (!(back ? undo.Undo() : undo.Redo())) {
    ReportError(window, kErrorTitleText, back ? kCannotUndoText : kCannotRedoText);
    return false;
  }
  ReportLeftOutJobs();
  return true;
}

bool ProjectDocument::Undo() { return LoadStep(true); }
bool ProjectDocument::Redo() { return LoadStep(false); }

int ProjectDocument::CheckPresetName(const std::wstring& name, const PathString& presetsFolder,
                                     PathString& file) const {
  file.clear();
  PathString candidate;
  if (name.empty() || presetsFolder.empty() ||
      !JoinPath(candidate, PresetFileName(name), presetsFolder))
    return kPresetExistsText;
  // A user preset may not take a name list 0 already has: jobs find their preset by name,
  // and the earlier entry would win. The preset is listed with its name as its file reads
  // back, so that is the name compared.
  PresetList* list = FindPresetList(0);
  if (PathExists(candidate) || (list && list->FindByName(XmlAttributeAsRead(name))))
    return kPresetExistsText;
  file = candidate;
  return 0;
}

Preset* ProjectDocument::SaveUserPreset(const Preset& filled, const PathString& file) {
  PresetList* list = FindPresetList(0);
  if (!list || !filled.WriteFile(file)) {
    ReportError(window, kErrorTitleText, kCannotSaveText);
    return nullptr;
  }
  Preset* loaded = list->LoadFile(file);
  if (loaded && jobs.current) {
    jobs.current->ApplyPreset(loaded, false);
    changed_ = true;
  }
  return loaded;
}

bool ProjectDocument::DeleteUserPreset(Preset* preset) {
  PresetList* list = FindPresetList(0);
  if (!list || !preset || !preset->IsUserPreset()) return false;
  for (auto& j : jobs.jobs)
    if (j->preset == preset) changed_ = true;  // the saved project names another preset now
  jobs.ReplacePreset(preset, list->current);
  if (!list->DeletePreset(preset, true)) {
    ReportError(window, kErrorTitleText, kPresetNotDeletedText);
    return false;
  }
  return true;
}

void FillPresetFromJob(Preset& preset, const Job& job) {
  Job& p = preset.settings;
  p.SetFrameRate(job.swf_fps);
  p.SetBackgroundColor(job.swf_bgcolor);
  p.SetCompress(job.compress);
  p.SetProtect(job.protect);
  p.SetDisablePrinting(job.disable_printing);
  p.SetExportFormat(job.export_format);
  p.SetMatchVideoDimensions(job.match_video_dimensions);
  p.SetMovieSize(job.swf_width, job.swf_height);
  p.publish = job.publish;
  p.audio.SetSampleRate(job.audio.sample_rate);
  p.audio.SetBitRate(job.audio.bit_rate);
  p.audio.SetChannels(job.audio.channels);
  p.audio.SetStream(job.audio.stream);
  p.SetUseWatermark(job.use_watermark);
  p.watermark.CopyFrom(job.watermark);
  MovieSettings& m = p.movie;
  const MovieSettings& s = job.movie;
  m.SetStartAction(s.movie_start_action);
  m.SetPauseTime(static_cast<uint32_t>(s.pause_time));
  m.SetLoopMode(s.loop);
  m.SetLoopCount(static_cast<uint32_t>(s.loop_count));
  m.SetPreload(s.preload);
  PreloaderSettings::Assign(m.preloader, s.preloader);
  m.SetClickAction(s.click_action);
  m.SetClickTargetType(s.click_target_type);
  m.SetClickTarget(s.click_target);
  m.SetClickUrl(s.click_url);
  m.SetClickTargetIsExpression(s.click_target_is_expression);
  m.SetClickUrlIsExpression(s.click_url_is_expression);
  m.SetEndAction(s.end_action);
  m.SetEndTargetType(s.end_target_type);
  m.SetEndTarget(s.end_target);
  m.SetEndUrl(s.end_url);
  m.SetEndTargetIsExpression(s.end_target_is_expression);
  m.SetEndUrlIsExpression(s.end_url_is_expression);
  if (job.player) p.SetPlayer(job.player->Clone());
}
