// One recorded edit and its undo on a project of 1,000 jobs without inputs: the edit writes
// the job list twice, the undo reads it once.
#include <benchmark/benchmark.h>

#include <memory>

#include "framework/platform/PathLayer.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"

namespace {

void BM_UndoStep(benchmark::State& state) {
  CreateTemporarySubfolder(L"_brivane_bench");
  PresetList* list = FindPresetList(0) ? FindPresetList(0) : CreatePresetList(0);
  if (!list->current) list->SetCurrent(list->AddNewPreset(L"none", 0));
  ProjectDocument doc;
  for (int i = 0; i < 1000; ++i) doc.jobs.jobs.push_back(std::make_unique<Job>(&doc.jobs));
  doc.jobs.SelectAt(0);
  uint32_t colour = 0;
  for (auto _ : state) {
    doc.Edit([&](Job& j) { j.SetBackgroundColor(++colour); });
    if (!doc.Undo()) state.SkipWithError("undo failed");
  }
  doc.New();
  RemoveTemporarySubfolder();
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMillisecond);

}  // namespace
