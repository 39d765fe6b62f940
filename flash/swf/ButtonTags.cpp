#include "flash/swf/ButtonTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

// A transform stored without multiply terms stays so: its unused multipliers must not widen
// the fields of its additive terms when it is written back.
void KeepWithoutMultipliers(SwfCxform& cxform, uint8_t firstByte) {
  if (firstByte & 0x40) return;
  cxform.hasMult = 0;
  cxform.redMult = cxform.greenMult = cxform.blueMult = 0;
  if (auto* withAlpha = dynamic_cast<SwfCxformWithAlpha*>(&cxform)) withAlpha->alphaMult = 0;
}

uint32_t TagEnd(const SwfReader& reader) { return std::min(reader.tagEnd, reader.GetSize()); }

bool PastTagEnd(const SwfReader& reader) {
  return reader.GetPosition() > TagEnd(reader) ||
         (reader.GetPosition() == TagEnd(reader) && reader.GetBitPosition() != 0);
}

// The size of a filter's body after its id byte, by filter type; 0 for an unknown type.
// Gradient glows and bevels (4, 7) and convolutions (5) size themselves from their first bytes.
uint32_t FilterBodySize(uint8_t id, SwfReader& reader, std::vector<uint8_t>& bytes) {
  switch (id) {
    case 0: return 23;  // drop shadow
    case 1: return 9;   // blur
    case 2: return 15;  // glow
    case 3: return 27;  // bevel
    case 4:
    case 7: {
      const uint8_t colours = reader.TagBytesLeft() >= 1 ? reader.ReadU8() : 0;
      bytes.push_back(colours);
      return 5u * colours + 19;
    }
    case 5: {
      const uint8_t x = reader.TagBytesLeft() >= 1 ? reader.ReadU8() : 0;
      const uint8_t y = reader.TagBytesLeft() >= 1 ? reader.ReadU8() : 0;
      bytes.push_back(x);
      bytes.push_back(y);
      return 4u * x * y + 13;
    }
    case 6: return 80;  // colour matrix
    default: return 0;
  }
}

// FILTERLIST as bytes; false when it runs past the tag or holds a filter of unknown type.
bool ReadFilterList(SwfReader& reader, std::vector<uint8_t>& bytes) {
  if (reader.TagBytesLeft() < 1) return false;
  const uint8_t count = reader.ReadU8();
  bytes.push_back(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (reader.TagBytesLeft() < 1) return false;
    const uint8_t id = reader.ReadU8();
    bytes.push_back(id);
    const uint32_t size = FilterBodySize(id, reader, bytes);
    if (size == 0 || reader.TagBytesLeft() < size) return false;
    reader.ReadBytes(bytes, size);
  }
  return true;
}

// An action list written bare: its actions, its End byte (even when it has no action) and
// the bytes read behind its End.
void WriteBareList(SwfBitWriter& out, DoActionTag* list) {
  if (list && (!list->actions.empty() || !list->trailingBytes.empty())) list->WriteActions(out, false);
  else out.WriteU8(0);
}

// Reads one action list that ends no later than `end`.
std::unique_ptr<DoActionTag> ReadList(SwfReader& reader, uint32_t end) {
  auto list = std::make_unique<DoActionTag>(reader.GetVersion());
  const uint32_t savedEnd = reader.tagEnd;
  reader.tagEnd = end;
  const uint32_t consumed = list->Read(reader);
  reader.tagEnd = savedEnd;
  return consumed != 0 ? std::move(list) : nullptr;
}

}  // namespace

// ---- DefineButton

void DefineButtonTag::Clear() {
  records.clear();
  actionLists.clear();
}

void DefineButtonTag::AddButtonRecord(SwfButtonRecord* record) {
  if (record) records.emplace_back(record);
}

bool DefineButtonTag::ReadRecords(SwfReader& reader, bool extended) {
  while (reader.TagBytesLeft() > 0) {
    const uint8_t stateFlags = reader.ReadU8();
    if (stateFlags == 0) return true;
    auto record = std::make_unique<SwfButtonRecord>();
    record->stateFlags = stateFlags;
    record->characterId = reader.ReadU16();
    record->depth = reader.ReadU16();
    record->matrix = std::make_unique<SwfMatrix>();
    record->matrix->Read(reader);
    reader.AlignByte();
    if (extended) {
      record->cxform = std::make_unique<SwfCxformWithAlpha>();
      const uint8_t first = reader.PeekU8();
      record->cxform->Read(reader);
      KeepWithoutMultipliers(*record->cxform, first);
      reader.AlignByte();
      if ((stateFlags & kButtonHasFilterList) && !ReadFilterList(reader, record->filterList)) return false;
      if (stateFlags & kButtonHasBlendMode) record->blendMode = reader.ReadU8();
    }
    if (PastTagEnd(reader)) return false;
    records.push_back(std::move(record));
  }
  // The closing 0 byte is missing: the records end with the tag.
  return true;
}

void DefineButtonTag::WriteRecords(SwfBitWriter& out, bool extended) {
  for (auto& r : records) {
    // A record shown in no state would write the byte that closes the list, and everything
    // behind it would be read as something else.
    const uint8_t stateFlags = r->stateFlags;
    if (stateFlags == 0) continue;
    out.WriteU8(stateFlags);
    out.WriteU16(r->characterId);
    out.WriteU16(r->depth);
    SwfMatrix identity;
    out.WriteRecord(r->matrix ? r->matrix.get() : &identity);
    out.Align();
    if (extended) {
      SwfCxformWithAlpha none;
      out.WriteRecord(r->cxform ? r->cxform.get() : &none);
      out.Align();
      if (stateFlags & kButtonHasFilterList) {
        if (r->filterList.empty()) out.WriteU8(0);
        else out.WriteBytes(r->filterList);
      }
      if (stateFlags & kButtonHasBlendMode) out.WriteU8(r->blendMode);
    }
  }
  out.WriteU8(0);
}

uint32_t DefineButtonTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  DefineButtonTag::Clear();
  characterId = reader.ReadU16();
  ReadRecords(reader, false);
  if (auto list = ReadList(reader, TagEnd(reader))) actionLists.push_back(std::move(list));
  return reader.GetPosition() - start;
}

uint32_t DefineButtonTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  WriteRecords(body, false);
  for (auto& list : actionLists) WriteBareList(body, list.get());
  return WriteTagWithBody(*this, out, body);
}

void DefineButtonTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  for (auto& r : records) visitor.Visit(r->characterId, SwfIdRole::kRefers);
}

void DefineButtonTag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) {
  for (auto& r : records) r->depth = static_cast<uint16_t>(r->depth + depthDelta);
  if (frameDelta != 0)
    for (auto& list : actionLists) list->ShiftIdsAndDepths(0, depthDelta, frameDelta);
}

void DefineButton2Tag::VisitIds(SwfIdVisitor& visitor) {
  DefineButtonTag::VisitIds(visitor);
  if (keptAsRead) visitor.Unfound(*this);
}

void DefineButtonCxformTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(characterId, SwfIdRole::kRefers); }

// ---- DefineButton2

void DefineButton2Tag::Clear() {
  ClearCondActions();
  flags = 0;
  keptAsRead = false;
  bodyAsRead.clear();
}

void DefineButton2Tag::AddCondActionList(DoActionTag* list) {
  if (list) actionLists.emplace_back(list);
}

bool DefineButton2Tag::AddCondAction(uint16_t word, DoActionTag* list) {
  AddConditionWord(word);
  AddCondActionList(list);
  return true;
}

void DefineButton2Tag::ClearCondActions() {
  actionLists.clear();
  conditions.clear();
}

uint32_t DefineButton2Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  records.clear();
  characterId = reader.ReadU16();
  const uint32_t afterId = reader.GetPosition();
  flags = reader.ReadU8();
  const uint32_t offsetAt = reader.GetPosition();
  const uint16_t actionOffset = reader.ReadU16();
  const bool recordsRead = ReadRecords(reader, true);
  // The action lists start where the offset (counted from its own field) points: behind the
  // records, perhaps after padding. An offset into the records or beyond the tag cannot be
  // followed.
  const uint32_t end = TagEnd(reader);
  const uint64_t listsAt = uint64_t{offsetAt} + actionOffset;
  if (!recordsRead || (actionOffset != 0 && (listsAt < reader.GetPosition() || listsAt > end))) {
    records.clear();
    keptAsRead = true;
    ReadTagBodyFrom(reader, afterId, bodyAsRead);
    return reader.GetPosition() - start;
  }
  if (actionOffset != 0) reader.Seek(static_cast<uint32_t>(listsAt));
  // Each list ends where its size says, and none beyond the tag. A list whose size runs past
  // the body, or a body ending inside the next list's sizes, is cut short: the tag loop keeps
  // it as read.
  uint16_t last = actionOffset;
  while (last != 0 && reader.GetPosition() + 4 <= end) {
    const uint32_t at = reader.GetPosition();
    last = reader.ReadU16();
    const uint16_t condition = reader.ReadU16();
    if (uint64_t{at} + last > end) reader.overran = true;
    const uint32_t listEnd = last != 0 ? std::min(at + last, end) : end;
    auto list = ReadList(reader, std::max(listEnd, reader.GetPosition()));
    AddCondAction(condition, list ? list.release() : new DoActionTag(reader.GetVersion()));
    if (reader.GetPosition() < listEnd) reader.Seek(listEnd);
  }
  if (last != 0 && reader.GetPosition() < end) reader.overran = true;
  return reader.GetPosition() - start;
}

uint32_t DefineButton2Tag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  if (keptAsRead) {
    body.WriteBytes(bodyAsRead);
    return WriteTagWithBody(*this, out, body);
  }
  body.WriteU8(flags);
  SwfBitWriter recordBytes(out.GetVersion());
  WriteRecords(recordBytes, true);
  recordBytes.Align();
  body.WriteU16(actionLists.empty() ? 0 : static_cast<uint16_t>(recordBytes.GetByteCount() + 2));
  body.AppendWriter(recordBytes);
  for (size_t i = 0; i < actionLists.size(); ++i) {
    SwfBitWriter scratch(out.GetVersion());
    WriteBareList(scratch, actionLists[i].get());
    scratch.Align();
    const bool lastList = i + 1 == actionLists.size();
    body.WriteU16(lastList ? 0 : static_cast<uint16_t>(scratch.GetByteCount() + 4));
    body.WriteU16(i < conditions.size() ? conditions[i] : 0);
    body.AppendWriter(scratch);
  }
  return WriteTagWithBody(*this, out, body);
}

// ---- DefineButtonCxform and DefineButtonSound

uint32_t DefineButtonCxformTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  if (!cxform) cxform = std::make_unique<SwfCxform>();
  cxform->Reset();
  const uint8_t first = reader.PeekU8();
  cxform->Read(reader);
  KeepWithoutMultipliers(*cxform, first);
  reader.AlignByte();
  trailing.clear();
  reader.ReadBytes(trailing, reader.TagBytesLeft());
  return reader.GetPosition() - start;
}

uint32_t DefineButtonCxformTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  SwfCxform none;
  body.WriteRecord(cxform ? cxform.get() : &none);
  body.Align();
  body.WriteBytes(trailing);
  return WriteTagWithBody(*this, out, body);
}

uint32_t DefineButtonSoundTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  for (int i = 0; i < kTransitions; ++i) {
    soundInfos[i].Clear();
    // All four sound ids belong to the body: one cut off makes the tag loop keep it as read.
    soundIds[i] = reader.ReadU16();
    if (soundIds[i] != 0) soundInfos[i].Read(reader);
  }
  return reader.GetPosition() - start;
}

uint32_t DefineButtonSoundTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  for (int i = 0; i < kTransitions; ++i) {
    body.WriteU16(soundIds[i]);
    if (soundIds[i] != 0) soundInfos[i].Write(body);
  }
  return WriteTagWithBody(*this, out, body);
}

void DefineButtonSoundTag::VisitIds(SwfIdVisitor& visitor) {
  // The button the sounds belong to, and each sound (0: none).
  visitor.Visit(characterId, SwfIdRole::kRefers);
  for (uint16_t& id : soundIds)
    if (id != 0) visitor.Visit(id, SwfIdRole::kRefers);
}
