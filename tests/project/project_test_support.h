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
