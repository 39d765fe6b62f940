#pragma once
// The bases of the SWF object model: every tag, record and action reads itself from a
// SwfReader and writes itself through a SwfBitWriter; Read returns the bytes consumed and
// Write the bytes produced.
#include <cstdint>
#include <vector>

class SwfBitWriter;
class SwfReader;
class SwfTag;

// What a character id field of a tag stands for.
enum class SwfIdRole : uint8_t {
  kDefines,  // the character the tag defines (ImportAssets: one it takes from another movie)
  kRefers,   // a character the tag places, shows, fills with, writes with or describes
};

// Is given every character id field of a tag, each as a reference it may change.
class SwfIdVisitor {
 public:
  virtual ~SwfIdVisitor() = default;
  virtual void Visit(uint16_t& id, SwfIdRole role) = 0;
  // `tag` (the visited one or a tag nested in it) may hold ids whose places cannot be found:
  // a tag kept as read. Those are not visited.
  virtual void Unfound(const SwfTag& tag) { (void)tag; }
};

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
  // Gives every character id field of the tag (and of the tags nested in it) to `visitor`:
  // the one list of a tag's ids, which the id shift moves, its check measures and the
  // importer gathers by. Tags without ids give none.
  virtual void VisitIds(SwfIdVisitor& visitor);
  // Adds `idDelta` to every id VisitIds gives, `depthDelta` to every depth and `frameDelta`
  // to the frame numbers its actions go to.
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta);
  // The depths and frame numbers part of ShiftIdsAndDepths.
  virtual void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta);
};

// The ids VisitIds gives, read without changing the tag.
struct SwfTagIds {
  std::vector<uint16_t> defined;
  std::vector<uint16_t> referred;
  // The first tag met whose ids cannot all be found, or null.
  const SwfTag* unfound = nullptr;
};
SwfTagIds IdsOf(const SwfTag& tag);

// A tag that defines a character.
class SwfCharacterTag : public SwfTag {
 public:
  virtual uint16_t GetCharacterId() const { return characterId; }
  virtual void SetCharacterId(uint16_t id) { characterId = id; }
  // The character id, as the one the tag defines.
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t characterId = 0;
};

// Any tag without a class of its own: its code and its body bytes, written back unchanged.
class RawTag : public SwfTag {
 public:
  RawTag(uint16_t code, uint32_t length) : code(code), length(length) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return code; }
  // The ids found where the tag's layout puts them (SwfRawIds.h); the unfound when the layout
  // cannot be followed.
  void VisitIds(SwfIdVisitor& visitor) override;
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;

  uint16_t code;
  uint32_t length;
  std::vector<uint8_t> body;
};

// A new, default tag of the class that reads tags of `code` (a RawTag for every code without
// a class); the caller calls its Read with the same reader and owns it. Never null.
SwfTag* CreateTagForCode(SwfReader& reader, uint16_t code, uint32_t length);
