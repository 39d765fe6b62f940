#include "project/Undo.h"

#include <cwchar>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "project/JobList.h"

namespace {

// One number per snapshot for the life of the process: inside the process's own folder
// the names never meet those of a live snapshot.
uint64_t g_snapshot_counter = 0;

PathString SnapshotPath(const wchar_t* prefix, uint64_t number) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%ls%llu", prefix, static_cast<unsigned long long>(number));
  PathString path;
  GetTemporaryPath(path, PathString(name), true);
  return path;
}

}  // namespace

UndoSnapshot::UndoSnapshot(JobList* jobList) : owner(jobList) {
  const uint64_t n = ++g_snapshot_counter;
  undo_file = SnapshotPath(L"_undo", n);
  redo_file = SnapshotPath(L"_redo", n);
}

UndoSnapshot::~UndoSnapshot() {
  if (!undo_file.empty() && PathExists(undo_file)) DeletePath(undo_file, true);
  if (!redo_file.empty() && PathExists(redo_file)) DeletePath(redo_file, true);
}

bool UndoSnapshot::WriteState(const PathString& file) const {
  if (file.empty() || !owner) return false;
  // A snapshot is read back only by this process while it runs: it is put in place whole, but
  // without waiting for the disk.
  XmlWriterOptions options;
  options.durable = false;
  XmlWriter w;
  w.SetLimits(kJobListXmlLimits);
  if (!w.Open(file, options, true)) return false;
  owner->WriteXml(w);
  return w.Close();
}

bool UndoSnapshot::LoadState(const PathString& file) const {
  if (file.empty() || !owner) return false;
  XmlDocument doc;
  XmlValue root;
  if (!doc.Load(file, kJobListXmlLimits) || !doc.GetRoot(root)) return false;
  bool found = false;
  element_xml::ForEachChildElement(root, [&](const XmlValue&, const std::wstring& tag) {
    if (tag == L"castora_jobs") found = true;
  });
  if (!found) return false;
  element_xml::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag == L"castora_jobs") owner->ReadXml(child);
  });
  return true;
}

void DeleteUndoFiles() {
  if (TemporarySubfolderName.empty()) return;
  PathString folder;
  if (!GetTemporaryPath(folder, PathString(), true)) return;
  PathList doomed;
  PathString entry;
  for (bool more = FirstFolderEntry(folder, entry); more; more = NextFolderEntry(entry)) {
    PathString name;
    GetPathFileName(name, entry, false);
    if (name.compare(0, 5, L"_undo") == 0 || name.compare(0, 5, L"_redo") == 0)
      doomed.AddAbsolute(entry);
  }
  CloseFolderIterator();
  for (auto& p : doomed) DeletePath(*p, true);
}

void UndoStack::Clear() {
  entries.clear();
  index = 0;
  saved = false;
}

void UndoStack::Push(std::unique_ptr<UndoEntry> entry) {
  entries.push_back(std::move(entry));
  while (entries.size() > limit) entries.erase(entries.begin());
  index = Count();
  saved = false;
}

bool UndoStack::Undo() {
  if (!CanUndo()) return false;
  if (!entries[static_cast<size_t>(index - 1)]->LoadUndoState()) return false;
  --index;
  return true;
}

bool UndoStack::Redo() {
  if (!CanRedo()) return false;
  if (!entries[static_cast<size_t>(index)]->LoadRedoState()) return false;
  ++index;
  return true;
}
