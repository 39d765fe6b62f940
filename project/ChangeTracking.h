#pragma once
// The two process-wide values of change tracking: how many values the setters changed, and
// whether some value now differs from the applied preset's.
#include <cstdint>

extern uint32_t DocumentChangeCount;
extern bool PresetDiffersFlag;

// The count becomes 0 and the flag false.
void ResetChangeTracking();
// The flag becomes false; the count stays (one job's departure at a time in batch edits).
inline void ResetPresetDiffers() { PresetDiffersFlag = false; }
// The count; with `clear` the count becomes 0. The flag stays.
uint32_t TakeChangeCount(bool clear);

// One changed value.
inline void CountChange() { ++DocumentChangeCount; }
// Sets the flag when a preset value differs; never clears it.
inline void NotePresetDifference(bool differs) {
  if (differs) PresetDiffersFlag = true;
}

// Stores `value` in `field` when they differ, counting one change; returns whether it did.
template <typename T, typename U>
bool StoreCounted(T& field, const U& value) {
  if (field == value) return false;
  field = value;
  CountChange();
  return true;
}
