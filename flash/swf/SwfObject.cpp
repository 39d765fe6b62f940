#include "flash/swf/SwfObject.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

uint32_t SwfObject::Read(SwfReader&) { return 0; }
uint32_t SwfObject::Write(SwfBitWriter&) { return 0; }

void SwfTag::ShiftIdsAndDepths(uint16_t, uint16_t, uint32_t) {}

void SwfCharacterTag::ShiftIdsAndDepths(uint16_t idDelta, uint16_t, uint32_t) {
  characterId = static_cast<uint16_t>(characterId + idDelta);
}

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
