#include "project/JobList.h"

#include <algorithm>
#include <cstdint>

#include "framework/platform/XmlReader.h"
#include "framework/platform/WideText.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "project/Preset.h"
#include "toolbox/Utf8.h"

namespace ex = element_xml;

std::wstring ListedText(const XmlValue& value) {
  std::string_view text;
  if (!value.Utf8Text(text)) return std::wstring();
  if (value.FitsPath()) return toolbox::Utf8ToWide(text);
  constexpr size_t kListedBytes = 200;
  size_t cut = kListedBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return toolbox::Utf8ToWide(text.substr(0, cut)) + L"\u2026";
}

std::wstring LeftOutJobName(const std::wstring& input, size_t position) {
  if (!input.empty()) return input;
  WideText name;
  if (!name.Format(WideText(kLeftOutJobAtText).CStr(), static_cast<int>(std::min<size_t>(position, INT32_MAX))))
    return std::to_wstring(position);
  return name.CStr();
}

std::wstring LeftOutJobsList(const std::vector<std::wstring>& entries) {
  std::wstring list;
  const size_t named = entries.size() > kListedLeftOutJobs + 1 ? kListedLeftOutJobs : entries.size();
  for (size_t i = 0; i < named; ++i) list += L"\n" + entries[i];
  if (named == entries.size()) return list;
  WideText more;
  const int rest = static_cast<int>(std::min<size_t>(entries.size() - named, INT32_MAX));
  if (more.Format(WideText(kMoreLeftOutJobsText).CStr(), rest)) list += L"\n" + std::wstring(more.CStr());
  return list;
}

JobList::~JobList() { Clear(); }

Job* JobList::AddJobForFile(const PathString& path) {
  auto job = std::make_unique<Job>(this);
  if (!job->SetInputFile(path)) return nullptr;
  jobs.push_back(std::move(job));
  return jobs.back().get();
}

void JobList::Clear() {
  current = nullptr;
  jobs.clear();
}

Job* JobList::JobAt(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return jobs[static_cast<size_t>(index)].get();
}

bool JobList::SelectAt(int32_t index) {
  current = JobAt(index);
  return current != nullptr;
}

bool JobList::SelectJob(Job* job) {
  for (auto& j : jobs)
    if (j.get() == job) {
      current = job;
      return true;
    }
  current = nullptr;
  return false;
}

int32_t JobList::CurrentIndex() const {
  for (size_t i = 0; i < jobs.size(); ++i)
    if (jobs[i].get() == current) return static_cast<int32_t>(i);
  return -1;
}

bool JobList::RemoveAt(int32_t index) {
  if (index < 0 || index >= Count()) return false;
  if (jobs[static_cast<size_t>(index)].get() == current) current = nullptr;
  jobs.erase(jobs.begin() + index);
  return true;
}

bool JobList::Remove(Job* job) {
  auto it = std::find_if(jobs.begin(), jobs.end(), [&](auto& j) { return j.get() == job; });
  if (it == jobs.end()) return false;
  if (job == current) current = nullptr;
  jobs.erase(it);
  return true;
}

void JobList::ReplacePreset(const Preset* old, Preset* replacement) {
  for (auto& j : jobs)
    if (j->preset == old) j->ApplyPreset(replacement, false);
}

bool JobList::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"castora_jobs");
  ex::Long(w, L"current_data", CurrentIndex());
  ex::Bool(w, L"batch_mode", batch_mode);
  ex::EndOpen(w);
  for (auto& j : jobs) j->WriteXml(w);
  ex::Close(w, L"castora_jobs");
  return true;
}

void JobList::ReadAttributes(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return;
  XmlValue v;
  if (ex::Get(e, "current_data", v)) SelectAt(static_cast<int32_t>(v.AsLong(-1)));
  ex::ReadBool(e, "batch_mode", batch_mode);
}

bool JobList::ReadXml(const XmlValue& value, const PathString& projectFolder) {
  Clear();
  left_out_.clear();
  missing_players_.clear();
  size_t position = 0;
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"castora_data") return;
    ++position;
    auto job = std::make_unique<Job>(this);
    if (job->ReadXml(child, projectFolder)) {
      jobs.push_back(std::move(job));
      return;
    }
    XmlElement e;
    XmlValue input;
    child.ToElement(e);
    left_out_.push_back(LeftOutJobName(ex::Get(e, "input", input) ? ListedText(input) : std::wstring(), position));
  });
  ReadAttributes(value);
  return true;
}
