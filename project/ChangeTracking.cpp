#include "project/ChangeTracking.h"

uint32_t DocumentChangeCount = 0;
bool PresetDiffersFlag = false;

void ResetChangeTracking() {
  DocumentChangeCount = 0;
  PresetDiffersFlag = false;
}

uint32_t TakeChangeCount(bool clear) {
  uint32_t count = DocumentChangeCount;
  if (clear) DocumentChangeCount = 0;
  return count;
}
