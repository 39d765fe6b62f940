// fuzz-links: project
// fuzz-options: -max_len=65536
// Reads each input as a project file (every "castora_jobs" of every "brivane" element, as
// opening a project does) and as a preset file, then writes what was read.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzScratch.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "project/JobList.h"
#include "project/Preset.h"
#include "toolbox/Utf8.h"

namespace {

std::string g_out;  // where what was read is written back

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& scratch = FuzzScratchWrite("fuzz-project-reader", data, size);
  if (g_out.empty()) {
    g_out = scratch + ".out";
    std::atexit([] { ::unlink(g_out.c_str()); });
    PresetList* list = CreatePresetList(0);
    list->SetCurrent(list->AddNewPreset(L"none", 0));
    list->AddNewPreset(L"built-in", 13);
  }
  const PathString path(toolbox::Utf8ToWide(scratch));
  XmlDocument doc;
  XmlValue root;
  if (doc.Load(path) && doc.GetRoot(root)) {
    JobList jobs;
    element_xml::ForEachChildElement(root, [&](const XmlValue& b, const std::wstring& tag) {
      if (tag != L"brivane") return;
      element_xml::ForEachChildElement(b, [&](const XmlValue& l, const std::wstring& inner) {
        if (inner == L"castora_jobs") jobs.ReadXml(l);
      });
    });
    XmlWriter w;
    if (w.Open(PathString(toolbox::Utf8ToWide(g_out)), XmlWriterOptions(), true)) {
      jobs.WriteXml(w);
      w.Close();
    }
  }
  PresetList presets(1);
  if (Preset* p = presets.LoadFile(path)) p->WriteFile(PathString(toolbox::Utf8ToWide(g_out)));
  return 0;
}
