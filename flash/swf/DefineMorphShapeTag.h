#pragma once
// A morph shape: a start and an end version of one shape, with styles that hold a start and an
// end value each. All colours are RGBA.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfShape.h"

class SwfMorphGradientRecord : public SwfObject {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear();

  std::unique_ptr<SwfRgba> startColor, endColor;
  uint8_t startRatio = 0, endRatio = 0;
};

class SwfMorphGradient : public SwfObject {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() { records.clear(); }

  std::vector<std::unique_ptr<SwfMorphGradientRecord>> records;
};

class SwfMorphFillStyle : public SwfObject {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear();

  uint8_t fillType = kFillSolid;
  std::unique_ptr<SwfRgba> startColor, endColor;
  std::unique_ptr<SwfMorphGradient> gradient;
  std::unique_ptr<SwfMatrix> startMatrix, endMatrix;
  uint16_t bitmapId = 0xFFFF;
};

class SwfMorphLineStyle : public SwfObject {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear();

  uint16_t startWidth = 0, endWidth = 0;
  std::unique_ptr<SwfRgba> startColor, endColor;
};

class SwfMorphFillStyleArray : public SwfStyleArray<SwfMorphFillStyle> {
 public:
  using SwfStyleArray::SwfStyleArray;
};

class SwfMorphLineStyleArray : public SwfStyleArray<SwfMorphLineStyle> {
 public:
  using SwfStyleArray::SwfStyleArray;
};

class DefineMorphShapeTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 46; }
  void VisitIds(SwfIdVisitor& visitor) override;
  void Clear();

  std::unique_ptr<SwfRect> startBounds, endBounds;
  uint32_t offset = 0;  // the EndEdges offset as last read
  std::unique_ptr<SwfMorphFillStyleArray> fillStyles;
  std::unique_ptr<SwfMorphLineStyleArray> lineStyles;
  std::unique_ptr<SwfShape> startEdges, endEdges;
  // A morph shape that cannot be followed (a fill type of unknown size, an EndEdges offset
  // outside the tag, edges past the tag's end) keeps its body after the id as read and writes
  // it back unchanged.
  bool keptAsRead = false;
  std::vector<uint8_t> bodyAsRead;
};
