#pragma once
// The tags that build a movie's frames: ShowFrame, PlaceObject, PlaceObject2 (with clip
// actions), RemoveObject, RemoveObject2 and FreeCharacter.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfText.h"

class ShowFrameTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 1; }
};

class FreeCharacterTag : public SwfTag {
 public:
  explicit FreeCharacterTag(uint16_t id = 0) : characterId(id) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 3; }
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t characterId;
};

class RemoveObjectTag : public SwfTag {
 public:
  RemoveObjectTag(uint16_t id = 0, uint16_t depth = 0) : characterId(id), depth(depth) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 5; }
  void VisitIds(SwfIdVisitor& visitor) override;
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;

  uint16_t characterId;
  uint16_t depth;
};

// Removes whatever is at a depth; the character id is not part of the tag.
class RemoveObject2Tag : public RemoveObjectTag {
 public:
  explicit RemoveObject2Tag(uint16_t depth = 0) : RemoveObjectTag(0, depth) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 28; }
  // The character id is no field of this tag.
  void VisitIds(SwfIdVisitor&) override {}
};

class PlaceObjectTag : public SwfTag {
 public:
  PlaceObjectTag() = default;
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 4; }
  void VisitIds(SwfIdVisitor& visitor) override;
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;
  virtual void SetCharacterId(uint16_t id) { characterId = id; }
  // Deletes the owned records and everything variable; the readers call it first.
  virtual void ClearPlacement();

  uint16_t characterId = 0;
  uint16_t depth = 0;
  std::unique_ptr<SwfMatrix> matrix;
  std::unique_ptr<SwfCxform> colorTransform;
};

// Clip-event bits (CLIPEVENTFLAGS as one little-endian value).
inline constexpr uint32_t kClipEventLoad = 0x00000001;
inline constexpr uint32_t kClipEventEnterFrame = 0x00000002;
inline constexpr uint32_t kClipEventDragOut = 0x00010000;
inline constexpr uint32_t kClipEventKeyPress = 0x00020000;

// One event handler of a placed clip.
class SwfClipActionRecord {
 public:
  explicit SwfClipActionRecord(uint32_t eventFlags);
  void SetActions(DoActionTag* newActions);

  uint32_t eventFlags;
  uint32_t actionRecordSize = 0;  // as read from a file
  uint8_t keyCode = 0;            // key of a key-press event
  std::unique_ptr<DoActionTag> actions;
};

class PlaceObject2Tag : public PlaceObjectTag {
 public:
  PlaceObject2Tag();
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 26; }
  void VisitIds(SwfIdVisitor& visitor) override;
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;
  void Reset() override;
  void SetCharacterId(uint16_t id) override;
  void ClearPlacement() override;

  // Deletes the old matrix and takes the new one (null removes it).
  void SetMatrix(SwfMatrix* newMatrix);
  // Deletes the old colour transform and takes the new one when not null.
  void SetColorTransform(SwfCxformWithAlpha* transform);
  void SetName(const std::wstring& newName);
  void AddClipAction(SwfClipActionRecord* record);
  void ClearClipActions();
  // Placement, name, ratio, clip depth, copies of the records and the flags; clip actions
  // and version are not copied.
  void CopyFrom(const PlaceObject2Tag& other);

  uint16_t ratio = 0;
  SwfString name;
  uint16_t clipDepth = 0;
  std::unique_ptr<SwfCxformWithAlpha> colorTransformWithAlpha;
  uint8_t hasClipActions = 0, hasClipDepth = 0, hasName = 0, hasRatio = 0, hasCharacter = 0, move = 0;
  uint32_t allEventFlags = 0;  // as read from a file
  // Set by Read: the union of the records' events as read, so that the writer can tell
  // whether the program has changed them since.
  bool eventFlagsRead = false;
  uint32_t readEventUnion = 0;
  std::vector<std::unique_ptr<SwfClipActionRecord>> clipActions;
  uint8_t version = 4;  // SWF version the clip actions were read with
};

// The largest character id the PlaceObject and PlaceObject2 readers have met (process-wide).
void ResetPlacedIdRange();
uint16_t GetMaxPlacedId();
