#pragma once
// The bases of the SWF object model: every tag, record and action reads itself from a
// SwfReader and writes itself through a SwfBitWriter; Read returns the bytes consumed and
// Write the bytes produced.
#include <cstdint>
#include <vector>

class SwfBitWriter;
class SwfReader;

class SwfObject {
 public:
  SwfObject() = default;
  SwfObject(const SwfObject&) = default;
  SwfObject& operator=(const SwfObject&) = default;
  virtual ~SwfObject() = default;
  virtual uint32_t Read(SwfReader& reader);
  virtual uint32_t Write(SwfBitWriter& out);
};

// A SWF tag. Tags live on the heap; a tag list owns its tags, and the movie writer deletes
// each tag it writes unless asked to keep it.
class SwfTag : public SwfObject {
 public:
  virtual void Reset() {}
  virtual uint16_t GetTagCode() const = 0;
  // Adds `idDelta` to every character id the tag defines or uses, `depthDelta` to every
  // depth and `frameDelta` to the frame numbers its actions go to.
  virtual void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta);
};

// A tag that defines a character.
class SwfCharacterTag : public SwfTag {
 public:
  virtual uint16_t GetCharacterId() const { return characterId; }
  virtual void SetCharacterId(uint16_t id) { characterId = id; }
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;

  uint16_t characterId = 0;
};

// Any tag without a class of its own: its code and its body bytes, written back unchanged.
class RawTag : public SwfTag {
 public:
  RawTag(uint16_t code, uint32_t length) : code(code), length(length) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return code; }
  // Moves the ids and depths found where the tag's layout puts them (SwfRawIds.h).
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;

  uint16_t code;
  uint32_t length;
  std::vector<uint8_t> body;
};

// A new, default tag of the class that reads tags of `code` (a RawTag for every code without
// a class); the caller calls its Read with the same reader and owns it. Never null.
SwfTag* CreateTagForCode(SwfReader& reader, uint16_t code, uint32_t length);
