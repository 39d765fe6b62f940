#pragma once
// A project: the ordered jobs of one document, the current job and the batch-mode flag.
// Saved as the "castora_jobs" element of a project file, and of every undo snapshot.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/platform/PathString.h"
#include "framework/platform/XmlReader.h"
#include "project/Job.h"

class Preset;
class XmlValue;
class XmlWriter;

// What a document holding a job list (a project file, an undo snapshot) may hold. A job
// without inputs takes about 2.7 kB and fewer than 175 nodes, so this is room for about
// 95,000 jobs; it is written within these caps and read with them.
inline constexpr XmlLimits kJobListXmlLimits{256u << 20, 1u << 24};

// A value's text as a message lists it: a text longer than any path is cut short (never
// inside a character) and ends with an ellipsis, so that no message holds a whole document.
std::wstring ListedText(const XmlValue& value);

// Numbered texts of the list of jobs left out: a job named by its place in the project
// (one without an input), and the line that counts the jobs not named.
inline constexpr int kLeftOutJobAtText = 2809;
inline constexpr int kMoreLeftOutJobsText = 2810;
// How many jobs that list names one by one.
inline constexpr size_t kListedLeftOutJobs = 10;

// The name of a job left out: its input, or for a job without one its place in the project
// (from 1).
std::wstring LeftOutJobName(const std::wstring& input, size_t position);
// The list of jobs that the message about jobs left out shows: the first kListedLeftOutJobs
// entries, each on a line of its own (after a line feed), and a last line that counts the
// rest; a project of thousands of jobs left out gives a message that still fits a screen.
std::wstring LeftOutJobsList(const std::vector<std::wstring>& entries);

class JobList {
 public:
  JobList() = default;
  virtual ~JobList();
  JobList(const JobList&) = delete;
  JobList& operator=(const JobList&) = delete;

  // A new job for the file, appended; none (and nothing appended) when the file does not
  // open. The job is neither selected nor given a preset.
  virtual Job* AddJobForFile(const PathString& path);
  // Replaces every job with those of the element; jobs that cannot be read are left out and
  // listed in LeftOutJobs(). `projectFolder`: the folder of the project file the element
  // comes from, where a missing input is looked for (empty for none). Returns true.
  virtual bool ReadXml(const XmlValue& element, const PathString& projectFolder = PathString());
  // The "castora_jobs" element. Returns true.
  virtual bool WriteXml(XmlWriter& writer) const;

  void Clear();
  int32_t Count() const { return static_cast<int32_t>(jobs.size()); }
  Job* JobAt(int32_t index) const;
  bool SelectAt(int32_t index);
  bool SelectJob(Job* job);
  int32_t CurrentIndex() const;
  Job* CurrentJob() const { return current; }
  // Removing the current job leaves no current job: the caller selects another.
  bool RemoveAt(int32_t index);
  bool Remove(Job* job);
  void SetBatchMode(bool on) { batch_mode = on; }
  void ReadAttributes(const XmlValue& element);

  // Moves every job whose applied preset is `old` onto `replacement` (force false), so that
  // no job keeps pointing at a preset about to be deleted.
  void ReplacePreset(const Preset* old, Preset* replacement);

  // What the last ReadXml could not take over: every job left out (LeftOutJobName), and
  // each job's player name that player template library 0 does not have. A reading job
  // reports its missing player here.
  const std::vector<std::wstring>& LeftOutJobs() const { return left_out_; }
  // (input path, player name) pairs.
  const std::vector<std::pair<std::wstring, std::wstring>>& MissingPlayers() const {
    return missing_players_;
  }
  void NoteMissingPlayer(const std::wstring& input, const std::wstring& name) {
    missing_players_.emplace_back(input, name);
  }

  std::vector<std::unique_ptr<Job>> jobs;
  Job* current = nullptr;
  bool batch_mode = false;

 private:
  std::vector<std::wstring> left_out_;
  std::vector<std::pair<std::wstring, std::wstring>> missing_players_;
};
