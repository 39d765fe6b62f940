#include "script/compiler/GenerationHelpers.h"

namespace codegen {

void AppendBranch(RecordList& records, uint32_t opcode, int64_t distance) {
  if (distance < INT16_MIN || distance > INT16_MAX)
    throw CodeGenerationError("branch distance beyond 32767 bytes");
  records.emplace_back(new OperandRecord(opcode, static_cast<int32_t>(distance)));
}

void MoveRecords(RecordList& from, RecordList& to) {
  for (auto& record : from) to.push_back(std::move(record));
  from.clear();
}

void ResolveMarkers(RecordList& records, int64_t start, int64_t breakTarget, int64_t continueTarget) {
  int64_t position = start;
  for (auto& record : records) {
    position += record->Size(0);
    if (record->opcode != kBreakMarker && record->opcode != kContinueMarker) continue;
    const int64_t target = record->opcode == kBreakMarker ? breakTarget : continueTarget;
    const int64_t distance = target - position;
    if (distance < INT16_MIN || distance > INT16_MAX)
      throw CodeGenerationError("branch distance beyond 32767 bytes");
    auto* jump = static_cast<OperandRecord*>(record.get());
    jump->opcode = kActionJump;
    jump->operand = static_cast<int32_t>(distance);
  }
}

bool ContainsMarker(const RecordList& records, uint32_t marker) {
  for (const auto& record : records)
    if (record->opcode == marker) return true;
  return false;
}

void RequireResolved(const RecordList& records) {
  // An unresolved marker still holds the line of its statement.
  for (const auto& record : records) {
    if (record->opcode == kBreakMarker || record->opcode == kContinueMarker) {
      throw CodeGenerationError(record->opcode == kBreakMarker ? "break outside a loop" : "continue outside a loop",
                                static_cast<OperandRecord&>(*record).operand);
    }
  }
}

void AppendStackDrain(RecordList& records) {
  RecordList drain;
  drain.emplace_back(new PushRecord(new PushNull()));
  drain.emplace_back(new OpcodeRecord(kActionEquals2));
  drain.emplace_back(new OpcodeRecord(kActionNot));
  const int64_t back = int64_t{SizeOfRecords(drain)} + 5;
  AppendBranch(drain, kActionIf, -back);
  MoveRecords(drain, records);
}

uint32_t LastOpcode(const RecordList& records) { return records.empty() ? 0 : records.back()->opcode; }

void RemoveLast(RecordList& records) {
  if (!records.empty()) records.pop_back();
}

}  // namespace codegen
