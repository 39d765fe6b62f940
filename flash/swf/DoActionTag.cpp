#include "flash/swf/DoActionTag.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

namespace {

bool IsBranch(const SwfAction* a) { return a->GetActionCode() == 0x99 || a->GetActionCode() == 0x9D; }

// The number of records a well-formed list holds from the reader's position to its End byte
// or `listEnd`, counted by their length fields; the position is left as it was. Only an
// estimate for a damaged list, whose records may read fewer bytes than their lengths count.
uint32_t CountRecords(SwfReader& reader, uint32_t listEnd) {
  if (reader.GetBitPosition() != 0) return 0;
  const uint32_t start = reader.GetPosition();
  uint32_t count = 0;
  while (reader.GetPosition() < listEnd) {
    const uint8_t code = reader.ReadU8();
    if (code == 0) break;
    ++count;
    if (code >= 0x80) reader.Skip(reader.ReadU16());
  }
  reader.Seek(start);
  return count;
}

// Reads records until the End byte (consumed) or the end of the tag being read. With
// `trailing`, the bytes behind the End byte up to the tag's end go there: compilers place
// actions after the End that jumps reach. Returns whether a record's length or payload runs
// past that end: the list was cut inside a record.
bool ReadList(SwfReader& reader, uint32_t padEnd, std::vector<uint8_t>* trailing,
              std::vector<std::unique_ptr<SwfAction>>& actions) {
  const uint32_t listEnd = std::min(reader.tagEnd, reader.GetSize());
  // A damaged record is the list's own business (its bytes are kept): it does not make the
  // tag around the list too short for its fields.
  const bool overranBefore = reader.overran;
  struct Restore {
    SwfReader& reader;
    bool value;
    ~Restore() { reader.overran = value; }
  } restore{reader, overranBefore};
  actions.reserve(actions.size() + CountRecords(reader, listEnd));
  const uint8_t version = reader.GetVersion();
  bool cut = false;
  while (reader.GetPosition() < listEnd) {
    const uint8_t code = reader.ReadU8();
    if (code == 0) {
      if (trailing) reader.ReadBytes(*trailing, reader.TagBytesLeft());
      break;
    }
    if (code >= 0x80) {
      const uint32_t at = reader.GetPosition();
      cut = cut || listEnd - at < 2 || listEnd - at - 2 < reader.ReadU16();
      reader.Seek(at);
    }
    std::unique_ptr<SwfAction> action(CreateActionForCode(code));
    action->version = version;
    if (padEnd != 0 && code == 0x9F) static_cast<ActionGotoFrame2*>(action.get())->listEnd = padEnd;
    action->Read(reader);
    actions.push_back(std::move(action));
  }
  return cut;
}

using ActionVector = std::vector<std::unique_ptr<SwfAction>>;

// Whether `records` are whole records one after the other, none of them an End byte.
bool IsWholeRecords(const std::vector<uint8_t>& records) {
  size_t at = 0;
  while (at < records.size()) {
    const uint8_t code = records[at];
    if (code == 0) return false;
    if (code < 0x80) {
      ++at;
      continue;
    }
    if (records.size() - at < 3) return false;
    at += 3 + (records[at + 1] | (records[at + 2] << 8));
  }
  return at == records.size();
}

// Records each branch's span: the actions its offset jumps over.
void RecordSpans(ActionVector& actions) {
  for (size_t i = 0; i < actions.size(); ++i) {
    if (!IsBranch(actions[i].get())) continue;
    auto* b = static_cast<SwfBranchAction*>(actions[i].get());
    b->span.clear();
    // The actions reached are found first, so that the span takes exactly their number.
    if (b->offset > 0) {
      int32_t remaining = b->offset;
      size_t end = i + 1;
      for (; remaining > 0 && end < actions.size(); ++end) remaining -= actions[end]->GetSize();
      b->span.reserve(end - i - 1);
      for (size_t j = i + 1; j < end; ++j) b->span.push_back(actions[j].get());
    } else if (b->offset < 0) {
      int32_t remaining = -static_cast<int32_t>(b->offset);
      size_t first = i + 1;
      for (; remaining > 0 && first > 0; --first) remaining -= actions[first - 1]->GetSize();
      b->span.reserve(i + 1 - first);
      for (size_t j = i + 1; j > first; --j) b->span.push_back(actions[j - 1].get());
    }
  }
}

}  // namespace

void SwfActionList::clear() {
  encoded_ = std::vector<uint8_t>();
  items_.clear();
}

void SwfActionList::Decode() const {
  SwfReader reader;
  reader.LoadTagBody(std::move(encoded_), encodedVersion_);
  encoded_ = std::vector<uint8_t>();
  // Whole records without an End byte leave nothing behind the list.
  std::vector<uint8_t> trailing;
  ReadList(reader, padCheck_ ? reader.tagEnd : 0, padCheck_ ? &trailing : nullptr, items_);
  RecordSpans(items_);
}

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

void DoActionTag::BindBranches() {
  if (!pendingBranches.empty()) pendingBranches.pop_back();
  RecordSpans(actions.Items());
}

void DoActionTag::Clear() {
  pendingBranches.clear();
  actions.clear();
  trailingBytes.clear();
}

void DoActionTag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) {
  for (auto& a : actions) a->ShiftIdsAndDepths(0, depthDelta, frameDelta);
}

uint32_t DoActionTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  autoBranchOffsetsOff = true;
  const uint32_t padEnd = padCheck ? reader.tagEnd : 0;
  trailingBytes.clear();
  // Only a list that is its tag's whole body owns the bytes up to the tag's end.
  // A record cut by the list's end would be written back whole, with bytes it never had: the
  // tag around the list is kept as read.
  if (ReadList(reader, padEnd, padCheck ? &trailingBytes : nullptr, actions.Items())) reader.overran = true;
  autoBranchOffsetsOff = false;
  RecordSpans(actions.Items());
  return reader.GetPosition() - start;
}

void DoActionTag::HoldActions(std::vector<uint8_t> records) {
  if (!actions.empty() || records.size() > UINT32_MAX || !IsWholeRecords(records)) {
    SwfReader reader;
    reader.LoadTagBody(std::move(records), version);
    Read(reader);
    return;
  }
  // What Read leaves besides the actions.
  trailingBytes.clear();
  autoBranchOffsetsOff = false;
  actions.encoded_ = std::move(records);
  actions.encodedVersion_ = version;
  actions.padCheck_ = padCheck;
}

uint32_t DoActionTag::WriteActions(SwfBitWriter& writer, bool withHeader) {
  if (actions.empty() && trailingBytes.empty()) return 0;
  const uint32_t before = writer.GetByteCount();
  // Held records are the bytes their actions would write: they go out as they are.
  const std::vector<uint8_t>& held = actions.GetEncoded();
  SwfBitWriter scratch(writer.GetVersion());
  if (held.empty()) {
    for (auto& a : actions) a->Write(scratch);
    scratch.Align();
  }
  const size_t code = held.empty() ? scratch.GetByteCount() : held.size();
  const uint32_t length = static_cast<uint32_t>(code + 1 + trailingBytes.size());
  if (withHeader && !headerOff) WriteTagHeader(*this, writer, length, true);
  if (held.empty()) writer.AppendWriter(scratch);
  else writer.WriteBytes(held);
  writer.WriteU8(0);
  writer.WriteBytes(trailingBytes);
  return writer.GetByteCount() - before;
}

uint32_t DoActionTag::Write(SwfBitWriter& out) { return WriteActions(out, true); }

uint32_t DoInitActionTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  spriteId = reader.ReadU16();
  trailingBytes.clear();
  if (ReadList(reader, 0, &trailingBytes, actions)) reader.overran = true;
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

void DoInitActionTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(spriteId, SwfIdRole::kRefers); }
