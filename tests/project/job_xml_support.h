#pragma once
// Writing a job as a document and reading it back, for the round-trip tests.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "project/Job.h"

// Writes the job's "castora_data" element into a wrapper document; false on failure.
bool WriteJobFile(const Job& job, const std::filesystem::path& file);
// Reads the first "castora_data" element of the document into a fresh job; none when the
// document does not load, has no such element, or the job is dropped.
std::unique_ptr<Job> ReadJobFile(const std::filesystem::path& file);
// Reads a document holding one element (written by `write`) and hands its element to `read`.
bool WriteElementFile(const std::filesystem::path& file, const std::function<void(XmlWriter&)>& write);
bool ReadElementFile(const std::filesystem::path& file, const std::function<void(const XmlValue&)>& read);

class Preset;
// The no-preset entry of list 0 (made on first use), as the main window makes it.
Preset* NoPresetEntry();
// Sets a value other than the default in nearly every field of the job.
void FillJob(Job& job);
// The template of that name in player library 0, added first (with the movie's facts) when
// library 0 does not hold it.
PlayerTemplate* LibraryZeroPlayer(const std::wstring& name, const PlayerTemplateInfo& info);
