#pragma once
// SWF shapes: the four shape records (style change, straight edge, curved edge, end), the
// SHAPE container of glyphs and morph shapes, and the SHAPEWITHSTYLE of the DefineShape tags.
// Every value is in twips; records are bit fields packed without alignment between them.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfStyles.h"

class SwfShape;

inline constexpr uint8_t kShapeRecordStyleChange = 1;
inline constexpr uint8_t kShapeRecordStraightEdge = 2;
inline constexpr uint8_t kShapeRecordCurvedEdge = 3;
inline constexpr uint8_t kShapeRecordEnd = 4;

// An edge delta field holds at most 17 bits (a 4-bit count plus 2): longer edges are written
// as several equal edges along the same outline.
inline constexpr int32_t kMaxEdgeDelta = 65535;

class SwfShapeRecord : public SwfObject {
 public:
  virtual uint8_t GetRecordType() const = 0;
  virtual void CopyFlagFrom(const SwfShapeRecord& other) { flag = other.flag; }

  // Set to the shape's alpha flag on the style-change records a shape reads; no format uses it.
  uint8_t flag = 0;
};

inline constexpr uint8_t kLineGeneral = 0;
inline constexpr uint8_t kLineHorizontal = 1;
inline constexpr uint8_t kLineVertical = 2;

class SwfStraightEdgeRecord : public SwfShapeRecord {
 public:
  SwfStraightEdgeRecord(int32_t dx = 0, int32_t dy = 0, uint8_t lineKind = kLineGeneral)
      : lineKind(lineKind), dx(dx), dy(dy) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetRecordType() const override { return kShapeRecordStraightEdge; }
  void Set(int32_t newDx, int32_t newDy, uint8_t kind) { dx = newDx, dy = newDy, lineKind = kind; }

  uint8_t lineKind;
  int32_t dx, dy;
  uint8_t storedBits = 0;  // the NumBits field as last read
};

class SwfCurvedEdgeRecord : public SwfShapeRecord {
 public:
  SwfCurvedEdgeRecord(int32_t controlDx = 0, int32_t controlDy = 0, int32_t anchorDx = 0, int32_t anchorDy = 0)
      : controlDx(controlDx), controlDy(controlDy), anchorDx(anchorDx), anchorDy(anchorDy) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetRecordType() const override { return kShapeRecordCurvedEdge; }
  void Set(int32_t cdx, int32_t cdy, int32_t adx, int32_t ady) {
    controlDx = cdx, controlDy = cdy, anchorDx = adx, anchorDy = ady;
  }

  int32_t controlDx, controlDy, anchorDx, anchorDy;
  uint8_t storedBits = 0;
};

class SwfEndShapeRecord : public SwfShapeRecord {
 public:
  uint32_t Read(SwfReader&) override { return 0; }
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetRecordType() const override { return kShapeRecordEnd; }
};

inline constexpr uint8_t kStyleChangeMove = 0x01;
inline constexpr uint8_t kStyleChangeFill0 = 0x02;
inline constexpr uint8_t kStyleChangeFill1 = 0x04;
inline constexpr uint8_t kStyleChangeLine = 0x08;
inline constexpr uint8_t kStyleChangeNewStyles = 0x10;

class SwfStyleChangeRecord : public SwfShapeRecord {
 public:
  // No move, no styles, the given flags; the bit counts from the owner's header counts.
  SwfStyleChangeRecord(uint8_t flags, SwfShape* owner);
  // A move to (x, y) with flags 0 (UpdateFlags or the caller sets them).
  SwfStyleChangeRecord(int32_t x, int32_t y, SwfShape* owner);
  // A copy with the same owner; a shape copying its records gives each copy its new owner.
  SwfStyleChangeRecord(const SwfStyleChangeRecord& other);
  SwfStyleChangeRecord& operator=(const SwfStyleChangeRecord&) = delete;
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetRecordType() const override { return kShapeRecordStyleChange; }

  void Init(uint8_t newFlags, SwfShape* newOwner);
  // Moves to (x, y); the flags stay as they are.
  void InitMoveTo(int32_t x, int32_t y, SwfShape* newOwner);
  // `which` set chooses fill style 1, clear fill style 0.
  void SetFillStyle(uint16_t index, bool which);
  void SetLineStyle(uint16_t index) { lineStyle = index; }
  // The flags from the contents: 0x10 with new styles, 0x08 with a line style, 0x04 and 0x02
  // with fill styles 1 and 0, 0x01 when the move is not to (0, 0).
  void UpdateFlags();

  int32_t moveX = 0, moveY = 0;
  uint16_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
  uint16_t fillBits = 0, lineBits = 0;
  SwfShape* owner = nullptr;
  std::unique_ptr<SwfFillStyleArray> newFillStyles;
  std::unique_ptr<SwfLineStyleArray> newLineStyles;
  uint8_t flags = 0;
};

// SHAPE: the records and the bit counts of their style indices.
class SwfShape : public SwfObject {
 public:
  SwfShape() = default;
  SwfShape(const SwfShape& other);
  SwfShape& operator=(const SwfShape& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  virtual void SetStyleBits(uint8_t fill, uint8_t line);
  virtual void Clear();
  // Deep copies of the other shape's records, its counts and its alpha flag.
  virtual void CopyFrom(const SwfShape& other);
  void SetFillBits(uint8_t n) { headerFillBits = currentFillBits = n; }
  // Appends a record, which the shape then owns.
  void AddRecord(SwfShapeRecord* record);

  std::vector<std::unique_ptr<SwfShapeRecord>> records;
  uint8_t headerLineBits = 0, headerFillBits = 0;
  uint8_t alpha = 0;
  uint8_t currentLineBits = 0, currentFillBits = 0;
  // Set by Read when the records ran past the end of the tag or their new styles met a fill
  // type of unknown size: the shape is then not what the file holds.
  bool malformed = false;

 protected:
  // The records, after the two bit counts.
  uint32_t ReadRecords(SwfReader& reader);
  void WriteRecords(SwfBitWriter& out);
};

// SHAPEWITHSTYLE: a SHAPE with the fill and line styles its first records index.
class SwfShapeWithStyle : public SwfShape {
 public:
  explicit SwfShapeWithStyle(bool alpha = false) { this->alpha = alpha ? 1 : 0; }
  SwfShapeWithStyle(const SwfShapeWithStyle& other);
  SwfShapeWithStyle& operator=(const SwfShapeWithStyle& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() override;

  std::unique_ptr<SwfFillStyleArray> fillStyles;
  std::unique_ptr<SwfLineStyleArray> lineStyles;
};

// Deep copy of one record by its type; null for an unknown type. Style-change records get
// `owner`.
std::unique_ptr<SwfShapeRecord> CopyShapeRecord(const SwfShapeRecord& record, SwfShape* owner);

// Gives the bitmap ids of the new fill styles of every style-change record to `visitor`.
void VisitShapeBitmapIds(SwfShape& shape, SwfIdVisitor& visitor);
