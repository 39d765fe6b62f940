#include "flash/swf/DoActionTag.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

namespace {

bool IsBranch(const SwfAction* a) { return a->GetActionCode() == 0x99 || a->GetActionCode() == 0x9D; }

// Reads records until the End byte (consumed) or the end of the tag being read. With
// `trailing`, the bytes behind the End byte up to the tag's end go there: compilers place
// actions after the End that jumps reach.
template <class Add>
void ReadList(SwfReader& reader, uint32_t padEnd, std::vector<uint8_t>* trailing, Add add) {
  const uint32_t listEnd = std::min(reader.tagEnd, reader.GetSize());
  while (reader.GetPosition() < listEnd) {
    const uint8_t code = reader.ReadU8();
    if (code == 0) {
      if (trailing) reader.ReadBytes(*trailing, reader.TagBytesLeft());
      break;
    }
    std::unique_ptr<SwfAction> action(CreateActionForCode(code));
    action->version = reader.GetVersion();
    if (padEnd != 0)
      if (auto* g = dynamic_cast<ActionGotoFrame2*>(action.get())) g->listEnd = padEnd;
    action->Read(reader);
    add(action.release());
  }
}

}  // namespace

uint16_t DoActionTag::AddAction(SwfAction* action) {
  if (!action) return 0;
  action->version = version;
  const uint16_t size = action->GetSize();
  if (!autoBranchOffsetsOff) {
    if (!pendingBranches.empty() && IsBranch(pendingBranches.back())) {
      auto* b = static_cast<SwfBranchAction*>(pendingBranches.back());
      b->offset = static_cast<int16_t>(static_cast<uint16_t>(b->offset) + size);
    }
    if (IsBranch(action)) pendingBranches.push_back(action);
  }
  actions.emplace_back(action);
  return size;
}

void DoActionTag::SetAutoBranchOffsets(bool on, bool dropPending) {
  autoBranchOffsetsOff = !on;
  if (dropPending) pendingBranches.clear();
}

void DoActionTag::RecordSpans() {
  for (size_t i = 0; i < actions.size(); ++i) {
    if (!IsBranch(actions[i].get())) continue;
    auto* b = static_cast<SwfBranchAction*>(actions[i].get());
    b->span.clear();
    if (b->offset > 0) {
      int32_t remaining = b->offset;
      for (size_t j = i + 1; remaining > 0 && j < actions.size(); ++j) {
        b->span.push_back(actions[j].get());
        remaining -= actions[j]->GetSize();
      }
    } else if (b->offset < 0) {
      int32_t remaining = -static_cast<int32_t>(b->offset);
      for (size_t j = i + 1; remaining > 0 && j-- > 0;) {
        b->span.push_back(actions[j].get());
        remaining -= actions[j]->GetSize();
      }
    }
  }
}

void DoActionTag::BindBranches() {
  if (!pendingBranches.empty()) pendingBranches.pop_back();
  RecordSpans();
}

void DoActionTag::Clear() {
  pendingBranches.clear();
  actions.clear();
  trailingBytes.clear();
}

void DoActionTag::ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) {
  for (auto& a : actions) a->ShiftIdsAndDepths(idDelta, depthDelta, frameDelta);
}

uint32_t DoActionTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  autoBranchOffsetsOff = true;
  const uint32_t padEnd = padCheck ? reader.tagEnd : 0;
  trailingBytes.clear();
  // Only a list that is its tag's whole body owns the bytes up to the tag's end.
  ReadList(reader, padEnd, padCheck ? &trailingBytes : nullptr, [this](SwfAction* a) {
    actions.emplace_back(a);
  });
  autoBranchOffsetsOff = false;
  RecordSpans();
  return reader.GetPosition() - start;
}

uint32_t DoActionTag::WriteActions(SwfBitWriter& writer, bool withHeader) {
  if (actions.empty() && trailingBytes.empty()) return 0;
  const uint32_t before = writer.GetByteCount();
  SwfBitWriter scratch(writer.GetVersion());
  for (auto& a : actions) a->Write(scratch);
  scratch.Align();
  const uint32_t length = static_cast<uint32_t>(scratch.GetByteCount() + 1 + trailingBytes.size());
  if (withHeader && !headerOff) WriteTagHeader(*this, writer, length, true);
  writer.AppendWriter(scratch);
  writer.WriteU8(0);
  writer.WriteBytes(trailingBytes);
  return writer.GetByteCount() - before;
}

uint32_t DoActionTag::Write(SwfBitWriter& out) { return WriteActions(out, true); }

uint32_t DoInitActionTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  spriteId = reader.ReadU16();
  trailingBytes.clear();
  ReadList(reader, 0, &trailingBytes, [this](SwfAction* a) { actions.emplace_back(a); });
  return reader.GetPosition() - start;
}

uint32_t DoInitActionTag::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  SwfBitWriter scratch(out.GetVersion());
  scratch.WriteU16(spriteId);
  for (auto& a : actions) a->Write(scratch);
  scratch.Align();
  WriteTagHeader(*this, out, static_cast<uint32_t>(scratch.GetByteCount() + 1 + trailingBytes.size()), true);
  out.AppendWriter(scratch);
  out.WriteU8(0);
  out.WriteBytes(trailingBytes);
  return out.GetByteCount() - before;
}

void DoInitActionTag::ShiftIdsAndDepths(uint16_t idDelta, uint16_t, uint32_t) {
  spriteId = static_cast<uint16_t>(spriteId + idDelta);
}
