#pragma once
// Shared by the project model tests: a scripted media source kind registered in registry 0
// for files ending in ".fake", whose facts the test sets per path.
#include <cstdint>
#include <map>
#include <string>

#include "framework/platform/PathString.h"

struct FakeMedia {
  int32_t width = 0;
  int32_t height = 0;
  bool video = false;
  bool sound = true;
  uint32_t duration_ms = 0;
};

// Makes paths "/fake/<name>.fake" open with the given facts (registering the kind once).
PathString AddFakeMedia(const std::wstring& name, const FakeMedia& media);
// The same for any path ending in ".fake" (for inputs that must exist on disk).
void AddFakeMediaAt(const PathString& path, const FakeMedia& media);

#include <filesystem>
#include <memory>
#include <vector>

namespace toolbox {
class TestDriver;
}
class Job;
class ProjectDocument;

// A file on disk (holding "x") that opens as fake media with the given facts.
PathString MakeFakeInput(const std::filesystem::path& file, const FakeMedia& media);

// Answers up to `n` alerts with Return and records their messages; steps not used stay
// pending, so `messages` tells exactly which alerts the program showed.
class AlertRecorder {
 public:
  explicit AlertRecorder(int n = 4);
  ~AlertRecorder();
  std::vector<std::wstring> messages;

 private:
  std::unique_ptr<toolbox::TestDriver> driver_;
};

// The project saved into `file` and read back as bytes.
std::string SavedBytes(ProjectDocument& doc, const std::filesystem::path& file);
// The numbered text (resources of the source tree).
std::wstring NumberedText(int number);
