#pragma once
// The project-sized document the load benchmarks measure (jobs without inputs, each with its
// own output path and movie width) and how it is read back.
#include <string>

#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "project/Job.h"

namespace projectfile {

inline bool Write(const PathString& path, int jobs) {
  XmlWriter w;
  if (!w.Open(path, XmlWriterOptions(), true)) return false;
  for (int i = 0; i < jobs; ++i) {
    Job job(nullptr);
    job.output = L"/movies/out " + std::to_wstring(i) + L" \u00e9t\u00e9 & co.swf";
    job.swf_width = 320 + i % 640;
    job.WriteXml(w);
  }
  return w.Close();
}

// Loads the document and reads every job; the number of jobs read, -1 when it did not load.
inline int LoadAndReadJobs(const PathString& path) {
  XmlDocument document;
  XmlValue root;
  if (!document.Load(path) || !document.GetRoot(root)) return -1;
  int read = 0;
  element_xml::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring&) {
    Job job(nullptr);
    read += job.ReadXml(child);
  });
  return read;
}

}  // namespace projectfile
