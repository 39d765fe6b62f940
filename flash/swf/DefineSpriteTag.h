#pragma once
// A movie clip: a character holding its own timeline as a nested tag list, ending with an
// End tag.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"

class DefineSpriteTag : public SwfCharacterTag {
 public:
  DefineSpriteTag(uint16_t id, uint16_t frameCount);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 39; }
  void VisitIds(SwfIdVisitor& visitor) override;

  // Appends a tag of a code a sprite may hold, which the sprite then owns; a ShowFrame counts
  // one more frame. Returns false, the tag staying the caller's, for any other code.
  bool AddTag(SwfTag* tag);
  // Puts the tag into frame `frame` (0-based), first appending frames when the sprite is too
  // short; a null tag only appends the frames. False, the tag staying the caller's, when the
  // list's ShowFrames do not reach that frame.
  bool InsertTagAtFrame(SwfTag* tag, uint32_t frame);
  // Empties the list, deleting the tags when asked (otherwise their owner is whoever holds
  // them), and sets the frame count to 0.
  void ClearTags(bool deleteTags);
  uint32_t WriteSprite(SwfBitWriter& writer, bool withHeader);
  // The bytes the scratch writer of a sprite of `tagCount` tags reserves.
  static uint32_t ScratchReserve(size_t tagCount);

  uint16_t frameCount;
  std::vector<std::unique_ptr<SwfTag>> tags;
  // The smallest and largest depth placed by the nested tags (computed by Read); -1 when
  // nothing is placed.
  int32_t lowestDepth = -1;
  int32_t highestDepth = -1;
};

// Whether a sprite may hold a tag of `code`.
bool IsSpriteTagCode(uint16_t code);

// The most bytes a sprite's scratch writer reserves ahead of writing.
inline constexpr uint32_t kMaxSpriteReserveBytes = 4u << 20;
