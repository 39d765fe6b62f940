#pragma once
// The shape characters: DefineShape (RGB colours), DefineShape2 (the same, more styles) and
// DefineShape3 (RGBA colours), each a shape with its styles and its bounds.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfShape.h"

class DefineShapeTag : public SwfCharacterTag {
 public:
  DefineShapeTag() = default;
  DefineShapeTag(const DefineShapeTag& other) : SwfCharacterTag(other) { CopyFrom(other); }
  DefineShapeTag& operator=(const DefineShapeTag&) = delete;
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 2; }
  void VisitIds(SwfIdVisitor& visitor) override;
  virtual void Clear();
  virtual void CopyFrom(const DefineShapeTag& other);

  // A rectangle at (x, y) of the given size, filled and outlined with the styles given (each
  // may be null; the shape takes them over).
  void BuildRectangle(int32_t x, int32_t y, int32_t width, int32_t height, SwfFillStyle* fill, SwfLineStyle* line);

  std::unique_ptr<SwfShapeWithStyle> shape;
  std::unique_ptr<SwfRect> bounds;
  // A shape whose records could not be followed to their end (a fill type of unknown size, or
  // records past the tag's end) keeps its body after the id as read and writes it back
  // unchanged; its bitmap ids are then neither known nor shifted.
  bool keptAsRead = false;
  std::vector<uint8_t> bodyAsRead;
};

class DefineShape2Tag : public DefineShapeTag {
 public:
  uint16_t GetTagCode() const override { return 22; }
};

class DefineShape3Tag : public DefineShapeTag {
 public:
  uint16_t GetTagCode() const override { return 32; }
};
