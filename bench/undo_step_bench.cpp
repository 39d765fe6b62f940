// Undo steps on a project of 1,000 jobs without inputs: recording an edit writes the job
// list twice; undoing (or redoing) it reads the job list once.
#include <benchmark/benchmark.h>

#include <memory>

#include "framework/platform/PathLayer.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"

namespace {

struct BigProject {
  BigProject() {
    CreateTemporarySubfolder(L"_brivane_bench");
    PresetList* list = FindPresetList(0) ? FindPresetList(0) : CreatePresetList(0);
    if (!list->current) list->SetCurrent(list->AddNewPreset(L"none", 0));
    for (int i = 0; i < 1000; ++i) doc.jobs.jobs.push_back(std::make_unique<Job>(&doc.jobs));
    doc.jobs.SelectAt(0);
  }
  ~BigProject() {
    doc.New();
    RemoveTemporarySubfolder();
  }
  ProjectDocument doc;
};

void BM_RecordEdit(benchmark::State& state) {
  BigProject p;
  uint32_t colour = 0;
  for (auto _ : state) p.doc.Edit([&](Job& j) { j.SetBackgroundColor(++colour); });
}
BENCHMARK(BM_RecordEdit)->Unit(benchmark::kMillisecond);

void BM_UndoOrRedo(benchmark::State& state) {
  BigProject p;
  p.doc.Edit([](Job& j) { j.SetBackgroundColor(1); });
  bool back = true;
  for (auto _ : state) {
    if (!(back ? p.doc.Undo() : p.doc.Redo())) state.SkipWithError("the step did not load");
    back = !back;
  }
}
BENCHMARK(BM_UndoOrRedo)->Unit(benchmark::kMillisecond);

}  // namespace
