#pragma once
// Small operations on record lists shared by the emitters.
#include <cstdint>

#include "script/compiler/CodeRecords.h"

namespace codegen {

// Appends ActionJump or ActionIf over `distance` bytes, which must fit the signed 16-bit
// operand.
void AppendBranch(RecordList& records, uint32_t opcode, int64_t distance);

// Appends the records of `from` to `to`, in order, and empties `from`.
inline void MoveRecords(RecordList& from, RecordList& to) { to.Append(from); }

// Turns the break and continue markers lying flat in `records` into jumps. Positions count
// from the loop's first byte; `start` is where `records` begins.
inline void ResolveMarkers(RecordList& records, int64_t start, int64_t breakTarget, int64_t continueTarget) {
  records.ResolveMarkers(start, breakTarget, continueTarget);
}

bool ContainsMarker(const RecordList& records, uint32_t marker);

// Fails for a break or continue that no loop of the same body encloses.
void RequireResolved(const RecordList& records);

// Appends a loop that pops values up to and including the first null: what a for..in
// left on the stack when it is left early.
void AppendStackDrain(RecordList& records);

// The opcode of the list's last record, or 0 for an empty list.
inline uint32_t LastOpcode(const RecordList& records) { return records.LastOpcode(); }

// Removes the list's last record.
inline void RemoveLast(RecordList& records) { records.RemoveLast(); }

}  // namespace codegen
