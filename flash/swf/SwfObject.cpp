#include "flash/swf/SwfObject.h"

#include <algorithm>
#include <utility>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

uint32_t SwfObject::Read(SwfReader&) { return 0; }
uint32_t SwfObject::Write(SwfBitWriter&) { return 0; }

void SwfTag::VisitIds(SwfIdVisitor&) {}

void SwfTag::ShiftDepthsAndFrames(uint16_t, uint32_t) {}

void SwfTag::ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) {
  struct Mover : SwfIdVisitor {
    uint16_t delta;
    explicit Mover(uint16_t d) : delta(d) {}
    void Visit(uint16_t& id, SwfIdRole) override { id = static_cast<uint16_t>(id + delta); }
  } mover(idDelta);
  if (idDelta != 0) VisitIds(mover);
  ShiftDepthsAndFrames(depthDelta, frameDelta);
}

SwfTagIds IdsOf(const SwfTag& tag) {
  struct Reader : SwfIdVisitor {
    SwfTagIds ids;
    void Visit(uint16_t& id, SwfIdRole role) override {
      (role == SwfIdRole::kDefines ? ids.defined : ids.referred).push_back(id);
    }
    void Unfound(const SwfTag& t) override {
      if (!ids.unfound) ids.unfound = &t;
    }
  } reader;
  // The reader only reads what it is given, so the tag stays as it was.
  const_cast<SwfTag&>(tag).VisitIds(reader);
  return std::move(reader.ids);
}

void SwfCharacterTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(characterId, SwfIdRole::kDefines); }

uint32_t RawTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  body.clear();
  // The length comes from the file: take no more than the bytes that are really there, and
  // none of the enclosing body's next tags.
  reader.ReadBytes(body, std::min(length, reader.TagBytesLeft()));
  return reader.GetPosition() - start;
}

uint32_t RawTag::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  SwfBitWriter scratch(4);
  scratch.WriteBytes(body);
  WriteTagHeader(*this, out, static_cast<uint32_t>(body.size()), false);
  out.AppendWriter(scratch);
  return out.GetByteCount() - before;
}
