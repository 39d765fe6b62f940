#include "flash/swf/DisplayListTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

uint16_t maxPlacedId = 0;

void RecordPlaced(uint16_t id) { maxPlacedId = std::max(maxPlacedId, id); }

uint16_t AddLimited(uint16_t value, uint16_t delta) {
  return static_cast<uint16_t>(std::min<uint32_t>(uint32_t{value} + delta, 0xFFFF));
}

// The first version whose clip events are 32 bits wide.
constexpr uint8_t kWideClipEventVersion = 6;

}  // namespace

void ResetPlacedIdRange() { maxPlacedId = 0; }
uint16_t GetMaxPlacedId() { return maxPlacedId; }

// ---- ShowFrame, FreeCharacter, RemoveObject, RemoveObject2 ----

uint32_t ShowFrameTag::Read(SwfReader&) { return 0; }

uint32_t ShowFrameTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  return WriteTagWithBody(*this, out, body);
}

uint32_t FreeCharacterTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  return reader.GetPosition() - start;
}

uint32_t FreeCharacterTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  return WriteTagWithBody(*this, out, body);
}

void FreeCharacterTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(characterId, SwfIdRole::kRefers); }

uint32_t RemoveObjectTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  depth = reader.ReadU16();
  return reader.GetPosition() - start;
}

uint32_t RemoveObjectTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  body.WriteU16(depth);
  return WriteTagWithBody(*this, out, body);
}

void RemoveObjectTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(characterId, SwfIdRole::kRefers); }

void RemoveObjectTag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t) {
  depth = static_cast<uint16_t>(depth + depthDelta);
}

uint32_t RemoveObject2Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  depth = reader.ReadU16();
  return reader.GetPosition() - start;
}

uint32_t RemoveObject2Tag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(depth);
  return WriteTagWithBody(*this, out, body);
}

// ---- PlaceObject ----

void PlaceObjectTag::ClearPlacement() {
  matrix.reset();
  colorTransform.reset();
  characterId = 0;
  depth = 0;
}

uint32_t PlaceObjectTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ClearPlacement();
  characterId = reader.ReadU16();
  RecordPlaced(characterId);
  depth = reader.ReadU16();
  matrix = std::make_unique<SwfMatrix>();
  matrix->Read(reader);
  reader.AlignByte();
  if (reader.TagBytesLeft() > 0) {
    colorTransform = std::make_unique<SwfCxform>();
    colorTransform->Read(reader);
    reader.AlignByte();
  }
  return reader.GetPosition() - start;
}

uint32_t PlaceObjectTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  body.WriteU16(depth);
  // The matrix is not optional in this tag: a tag built without one places unmoved.
  SwfMatrix identity;
  body.WriteRecord(matrix ? matrix.get() : &identity);
  body.Align();
  if (colorTransform) body.WriteRecord(colorTransform.get());
  body.Align();
  return WriteTagWithBody(*this, out, body);
}

void PlaceObjectTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(characterId, SwfIdRole::kRefers); }

void PlaceObjectTag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t) {
  depth = static_cast<uint16_t>(depth + depthDelta);
}

// ---- Clip actions ----

SwfClipActionRecord::SwfClipActionRecord(uint32_t eventFlags)
    : eventFlags(eventFlags), actions(std::make_unique<DoActionTag>()) {}

void SwfClipActionRecord::SetActions(DoActionTag* newActions) { actions.reset(newActions); }

// ---- PlaceObject2 ----

PlaceObject2Tag::PlaceObject2Tag() { PlaceObject2Tag::Reset(); }

void PlaceObject2Tag::Reset() {
  characterId = 0;
  ratio = 0;
  clipDepth = 0;
  matrix.reset();
  colorTransformWithAlpha.reset();
  version = 4;
  hasClipActions = hasClipDepth = hasName = hasRatio = hasCharacter = move = 0;
}

void PlaceObject2Tag::SetCharacterId(uint16_t id) {
  characterId = id;
  hasCharacter = 1;
}

void PlaceObject2Tag::ClearPlacement() {
  PlaceObjectTag::ClearPlacement();
  colorTransformWithAlpha.reset();
  name.clear();
  ClearClipActions();
  ratio = 0;
  clipDepth = 0;
  allEventFlags = 0;
  eventFlagsRead = false;
  readEventUnion = 0;
  hasClipDepth = hasName = hasRatio = hasCharacter = move = 0;
}

void PlaceObject2Tag::SetMatrix(SwfMatrix* newMatrix) { matrix.reset(newMatrix); }

void PlaceObject2Tag::SetColorTransform(SwfCxformWithAlpha* transform) {
  if (transform) colorTransformWithAlpha.reset(transform);
}

void PlaceObject2Tag::SetName(const std::wstring& newName) {
  name = SwfString(newName);
  hasName = 1;
}

void PlaceObject2Tag::AddClipAction(SwfClipActionRecord* record) {
  if (!record) return;
  clipActions.emplace_back(record);
  hasClipActions = 1;
}

void PlaceObject2Tag::ClearClipActions() {
  clipActions.clear();
  hasClipActions = 0;
}

void PlaceObject2Tag::CopyFrom(const PlaceObject2Tag& other) {
  SetCharacterId(other.characterId);
  depth = other.depth;
  name = other.name;
  ratio = other.ratio;
  clipDepth = other.clipDepth;
  matrix = other.matrix ? std::make_unique<SwfMatrix>(*other.matrix) : nullptr;
  colorTransformWithAlpha =
      other.colorTransformWithAlpha ? std::make_unique<SwfCxformWithAlpha>(*other.colorTransformWithAlpha) : nullptr;
  hasClipActions = other.hasClipActions;
  hasClipDepth = other.hasClipDepth;
  hasName = other.hasName;
  hasRatio = other.hasRatio;
  hasCharacter = other.hasCharacter;
  move = other.move;
}

uint32_t PlaceObject2Tag::Write(SwfBitWriter& out) {
  const uint8_t v = std::max(version, out.GetVersion());
  const bool wide = v >= kWideClipEventVersion;
  SwfBitWriter body(out.GetVersion());
  uint8_t flags = 0;
  if (hasClipActions) flags |= 0x80;
  if (hasClipDepth) flags |= 0x40;
  if (hasName) flags |= 0x20;
  if (hasRatio) flags |= 0x10;
  if (colorTransformWithAlpha) flags |= 0x08;
  if (matrix) flags |= 0x04;
  // The flag is a state of its own: id 0 is a character like any other (video streams are
  // often defined as character 0). An id given without SetCharacterId still places it.
  const bool withCharacter = hasCharacter || characterId != 0;
  if (withCharacter) flags |= 0x02;
  if (move) flags |= 0x01;
  body.WriteU8(flags);
  body.WriteU16(depth);
  if (withCharacter) body.WriteU16(characterId);
  if (matrix) {
    body.WriteRecord(matrix.get());
    body.Align();
  }
  if (colorTransformWithAlpha) {
    body.WriteRecord(colorTransformWithAlpha.get());
    body.Align();
  }
  if (hasRatio) body.WriteU16(ratio);
  if (hasName) {
    body.WriteSwfString(name);
    body.WriteU8(0);
  }
  if (hasClipDepth) body.WriteU16(clipDepth);
  if (hasClipActions) {
    // Below version 6 the event fields are 16 bits: events of the upper half do not exist
    // there, and a record holding only such events would read as the end marker.
    auto written = [&](const SwfClipActionRecord& r) { return wide ? r.eventFlags : (r.eventFlags & 0xFFFF); };
    body.Align();
    body.WriteU16(0);
    uint32_t all = 0;
    for (auto& r : clipActions) all |= written(*r);
    // The all-events word of a movie need not be the union of its records: it is written as
    // read while the records still have the events they were read with.
    if (eventFlagsRead && all == readEventUnion) all = wide ? allEventFlags : (allEventFlags & 0xFFFF);
    wide ? body.WriteU32(all) : body.WriteU16(static_cast<uint16_t>(all));
    for (auto& r : clipActions) {
      const uint32_t events = written(*r);
      if (events == 0) continue;
      wide ? body.WriteU32(events) : body.WriteU16(static_cast<uint16_t>(events));
      SwfBitWriter scratch(v);
      if (events & kClipEventKeyPress) scratch.WriteU8(r->keyCode);
      if (r->actions && (!r->actions->actions.empty() || !r->actions->trailingBytes.empty())) {
        const bool headerOff = r->actions->headerOff;
        r->actions->headerOff = true;
        r->actions->WriteActions(scratch, false);
        r->actions->headerOff = headerOff;
      } else {
        scratch.WriteU8(0);  // an empty list is still closed by its End byte
      }
      scratch.Align();
      body.WriteU32(scratch.GetByteCount());
      body.AppendWriter(scratch);
    }
    wide ? body.WriteU32(0) : body.WriteU16(0);
  }
  body.Align();
  return WriteTagWithBody(*this, out, body);
}

uint32_t PlaceObject2Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ClearPlacement();
  const uint8_t flags = reader.ReadU8();
  depth = reader.ReadU16();
  move = flags & 0x01;
  if (flags & 0x02) {
    const uint16_t id = reader.ReadU16();
    RecordPlaced(id);
    SetCharacterId(id);
  }
  if (flags & 0x04) {
    matrix = std::make_unique<SwfMatrix>();
    matrix->Read(reader);
  }
  reader.AlignByte();
  if (flags & 0x08) {
    colorTransformWithAlpha = std::make_unique<SwfCxformWithAlpha>();
    colorTransformWithAlpha->Read(reader);
    reader.AlignByte();
  }
  hasRatio = (flags & 0x10) ? 1 : 0;
  if (hasRatio) ratio = reader.ReadU16();
  hasName = (flags & 0x20) ? 1 : 0;
  if (hasName) reader.ReadString(name, 0, false);
  hasClipDepth = (flags & 0x40) ? 1 : 0;
  if (hasClipDepth) clipDepth = reader.ReadU16();
  hasClipActions = (flags & 0x80) ? 1 : 0;
  if (hasClipActions) {
    version = reader.GetVersion();
    const bool wide = version >= kWideClipEventVersion;
    auto readEvents = [&] { return wide ? reader.ReadU32() : reader.ReadU16(); };
    reader.AlignByte();
    reader.ReadU16();
    allEventFlags = readEvents();
    const uint32_t tagEnd = std::min(reader.tagEnd, reader.GetSize());
    // A list cut before its end marker, or a record cut short of its size, is kept as read
    // (by the tag loop): written back, it would gain actions, sizes and a marker it never had.
    bool ended = false;
    while (reader.GetPosition() < tagEnd) {
      const uint32_t events = readEvents();
      if ((ended = events == 0)) break;
      auto record = std::make_unique<SwfClipActionRecord>(events);
      record->actionRecordSize = reader.ReadU32();
      if (uint64_t{reader.GetPosition()} + record->actionRecordSize > tagEnd) reader.overran = true;
      // Each record ends where its size says, never past the tag: actions that stop early
      // or run on cannot shift the records behind them.
      const uint32_t recordEnd =
          static_cast<uint32_t>(std::min<uint64_t>(uint64_t{reader.GetPosition()} + record->actionRecordSize, tagEnd));
      // The key code is part of the record: a record too short to hold one has none.
      if ((events & kClipEventKeyPress) && reader.GetPosition() < recordEnd) record->keyCode = reader.ReadU8();
      const uint32_t savedEnd = reader.tagEnd;
      reader.tagEnd = recordEnd;
      auto actions = std::make_unique<DoActionTag>(version);
      if (actions->Read(reader) != 0) record->SetActions(actions.release());
      reader.tagEnd = savedEnd;
      reader.Seek(recordEnd);
      clipActions.push_back(std::move(record));
    }
    if (!ended) reader.overran = true;
    eventFlagsRead = true;
    readEventUnion = 0;
    for (auto& r : clipActions) readEventUnion |= wide ? r->eventFlags : (r->eventFlags & 0xFFFF);
  }
  reader.AlignByte();
  return reader.GetPosition() - start;
}

void PlaceObject2Tag::VisitIds(SwfIdVisitor& visitor) {
  // A placement that only moves or changes an instance names no character.
  if (hasCharacter) visitor.Visit(characterId, SwfIdRole::kRefers);
}

void PlaceObject2Tag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t) {
  depth = AddLimited(depth, depthDelta);
  if (hasClipDepth) clipDepth = AddLimited(clipDepth, depthDelta);
}
