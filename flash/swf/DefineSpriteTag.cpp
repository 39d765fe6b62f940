#include "flash/swf/DefineSpriteTag.h"

#include <algorithm>

#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

bool IsSpriteTagCode(uint16_t code) {
  switch (code) {
    case 0: case 1: case 3: case 4: case 5: case 12: case 15: case 18: case 19:
    case 26: case 28: case 43: case 45: case 60: case 61:
      return true;
    default:
      return false;
  }
}

DefineSpriteTag::DefineSpriteTag(uint16_t id, uint16_t frameCount) : frameCount(frameCount) { SetCharacterId(id); }

bool DefineSpriteTag::AddTag(SwfTag* tag) {
  if (!tag || !IsSpriteTagCode(tag->GetTagCode())) return false;
  if (tag->GetTagCode() == 1) ++frameCount;
  tags.emplace_back(tag);
  return true;
}

void DefineSpriteTag::ClearTags(bool deleteTags) {
  if (!deleteTags)
    for (auto& t : tags) (void)t.release();
  tags.clear();
  frameCount = 0;
}

bool DefineSpriteTag::InsertTagAtFrame(SwfTag* tag, uint32_t frame) {
  if (uint64_t{frame} + 1 > frameCount) {
    const uint64_t missing = uint64_t{frame} + 1 - frameCount;
    if (!tags.empty() && tags.back()->GetTagCode() == 0) tags.pop_back();
    for (uint64_t i = 0; i < missing; ++i) {
      tags.emplace_back(new ShowFrameTag());
      ++frameCount;
    }
  }
  if (!tag) return false;
  uint32_t shown = 0;
  for (auto it = tags.begin(); it != tags.end(); ++it) {
    if ((*it)->GetTagCode() != 1) continue;
    if (shown == frame) {
      tags.emplace(it, tag);
      return true;
    }
    ++shown;
  }
  return false;
}

uint32_t DefineSpriteTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ClearTags(true);
  characterId = reader.ReadU16();
  frameCount = reader.ReadU16();
  // The nested tags come from the same input, no further than the sprite's own body.
  SwfReader nested;
  nested.header.version = reader.GetVersion();
  nested.insideSprite = true;
  nested.ReadTagsUntil(&reader, 0);
  for (SwfTag* t : nested.tags) tags.emplace_back(t);
  nested.tags.clear();
  int32_t lowest = 65535, highest = 0;
  bool placed = false;
  for (auto& t : tags) {
    if (auto* p = dynamic_cast<PlaceObjectTag*>(t.get())) {
      lowest = std::min<int32_t>(lowest, p->depth);
      highest = std::max<int32_t>(highest, p->depth);
      placed = true;
    }
  }
  lowestDepth = placed ? lowest : -1;
  highestDepth = placed ? highest : -1;
  return reader.GetPosition() - start;
}

uint32_t DefineSpriteTag::ScratchReserve(size_t tagCount) {
  // Room for the usual tag, but no more than a few MiB ahead of the bytes really written.
  return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{10240} * tagCount, kMaxSpriteReserveBytes));
}

uint32_t DefineSpriteTag::WriteSprite(SwfBitWriter& writer, bool withHeader) {
  const uint32_t before = writer.GetByteCount();
  SwfBitWriter scratch(writer.GetVersion());
  scratch.Reserve(ScratchReserve(tags.size()));
  for (auto& t : tags) t->Write(scratch);
  if (tags.empty() || tags.back()->GetTagCode() != 0) {
    EndTag end;
    end.Write(scratch);
  }
  scratch.Align();
  if (withHeader) WriteTagHeader(*this, writer, scratch.GetByteCount() + 4, false);
  writer.WriteU16(characterId);
  writer.WriteU16(frameCount);
  writer.AppendWriter(scratch);
  return writer.GetByteCount() - before;
}

uint32_t DefineSpriteTag::Write(SwfBitWriter& out) { return WriteSprite(out, true); }

void DefineSpriteTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  // Every nested tag's ids, as at the top level (PlaceObject3 and the other tags kept as read
  // among them). Depths and frame numbers inside a sprite belong to its own timeline: a shift
  // leaves them.
  for (auto& t : tags) t->VisitIds(visitor);
}
