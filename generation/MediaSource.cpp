#include "generation/MediaSource.h"

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "generation/FfmpegMediaSource.h"

MediaImporterRegistry* MediaImporterRegistry::Find(uint32_t id) {
  static MediaImporterRegistry* registry0 = [] {
    auto* r = new MediaImporterRegistry(0);
    r->Register(new FfmpegMediaSource());
    return r;
  }();
  return id == 0 ? registry0 : nullptr;
}

void MediaImporterRegistry::Register(MediaSource* source) {
  if (source) sources_.emplace_back(source);
}

MediaSource* MediaImporterRegistry::FindSourceForFile(MediaImporterRegistry* registry,
                                                      const PathString& path, bool fresh,
                                                      uint32_t table) {
  if (!registry || path.empty()) return nullptr;
  PathString ext;
  GetPathExtension(ext, path, false);
  std::wstring lower;
  for (wchar_t c : ext) lower.push_back(FoldCase(c));
  MediaSource* found = nullptr;
  if (!lower.empty()) {
    for (auto& s : registry->sources_) {
      if (s->ClaimsExtension(table, lower)) {
        found = s.get();
        break;
      }
    }
  }
  if (!found) {
    for (auto& s : registry->sources_) {
      std::unique_ptr<MediaSource> probe(s->NewInstance());
      if (probe && probe->Open(path)) {
        found = s.get();
        break;
      }
    }
  }
  if (!found) return nullptr;
  return fresh ? found->NewInstance() : found;
}
