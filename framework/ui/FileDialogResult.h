#pragma once
// What a file dialog gives back: the filter chosen in its pop-up, the chosen paths in reply
// order, and whether at least one chosen item gave a path. The dialog clears the success
// flag before it runs and fills the rest from the reply.
#include <cstdint>
#include <vector>

#include "framework/ui/WindowBase.h"

struct FileDialogResult {
  std::int32_t chosenFilter = -1;  // -1: none
  std::int32_t count = 0;
  PathString firstPath;
  std::vector<PathString> furtherPaths;
  bool succeeded = false;
};
