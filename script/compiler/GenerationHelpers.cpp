#include "script/compiler/GenerationHelpers.h"

namespace codegen {

void AppendBranch(RecordList& records, uint32_t opcode, int64_t distance) {
  if (distance < INT16_MIN || distance > INT16_MAX)
    throw CodeGenerationError("branch distance beyond 32767 bytes");
  records.AppendOperand(opcode, static_cast<int32_t>(distance));
}

bool ContainsMarker(const RecordList& records, uint32_t marker) {
  for (const auto& m : records.Markers())
    if (m.kind == marker) return true;
  return false;
}

void RequireResolved(const RecordList& records) {
  // An unresolved marker still holds the line of its statement.
  if (records.Markers().empty()) return;
  const RecordList::Marker& first = records.Markers().front();
  throw CodeGenerationError(first.kind == kBreakMarker ? "break outside a loop" : "continue outside a loop",
                            first.line);
}

void AppendStackDrain(RecordList& records) {
  // An ActionPush of its own (null), Equals2, Not and an ActionIf back to the start.
  RecordList drain;
  drain.AppendPush(PushItem::Null());
  drain.AppendAction(kActionEquals2);
  drain.AppendAction(kActionNot);
  AppendBranch(drain, kActionIf, -(int64_t{drain.Size()} + 5));
  records.Append(drain);
}

}  // namespace codegen
