#include "flash/swf/SwfShape.h"

#include <algorithm>
#include <cstdlib>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfRecords.h"

namespace {

// The widest field the 4-bit bit counts can announce.
constexpr uint32_t kMaxIndexBits = 15;
// A 5-bit move width holds at most 31.
constexpr uint32_t kMaxMoveBits = 31;

uint32_t Magnitude(int64_t v) { return static_cast<uint32_t>(std::min<int64_t>(std::llabs(v), UINT32_MAX)); }

uint32_t SignedBits(std::initializer_list<int64_t> values) {
  uint32_t m = 0;
  for (int64_t v : values) m = std::max(m, Magnitude(v));
  return BitsNeeded(m, true);
}

uint8_t IndexBits(size_t count) {
  return static_cast<uint8_t>(std::min<uint32_t>(BitsNeeded(static_cast<uint32_t>(std::min<size_t>(count, 0xFFFF)), false),
                                                 kMaxIndexBits));
}

int32_t ReadSignedBits(SwfReader& reader, uint32_t n) {
  return static_cast<int32_t>(reader.ReadBits(static_cast<uint16_t>(n), true));
}

void WriteStraight(SwfBitWriter& out, int32_t dx, int32_t dy, uint8_t kind) {
  const int32_t x = kind == kLineVertical ? 0 : dx;
  const int32_t y = kind == kLineHorizontal ? 0 : dy;
  const uint32_t n = std::max<uint32_t>(2, SignedBits({x, y}));
  out.WriteBits(3, 2);
  out.WriteBits(n - 2, 4);
  if (kind == kLineGeneral) {
    out.WriteBits(1, 1);
    out.WriteBits(static_cast<uint32_t>(dx), n);
    out.WriteBits(static_cast<uint32_t>(dy), n);
  } else {
    out.WriteBits(0, 1);
    out.WriteBits(kind == kLineVertical ? 1 : 0, 1);
    out.WriteBits(static_cast<uint32_t>(kind == kLineVertical ? dy : dx), n);
  }
}

// A quadratic curve from (0, 0) through control c to anchor a (absolute points): halved at its
// middle until its deltas fit the field.
void WriteCurve(SwfBitWriter& out, int64_t cx, int64_t cy, int64_t ax, int64_t ay) {
  const int64_t cdx = cx, cdy = cy, adx = ax - cx, ady = ay - cy;
  if (std::max({Magnitude(cdx), Magnitude(cdy), Magnitude(adx), Magnitude(ady)}) <= kMaxEdgeDelta) {
    const uint32_t n = std::max<uint32_t>(2, SignedBits({cdx, cdy, adx, ady}));
    out.WriteBits(2, 2);
    out.WriteBits(n - 2, 4);
    for (int64_t v : {cdx, cdy, adx, ady}) out.WriteBits(static_cast<uint32_t>(v), n);
    return;
  }
  const int64_t c1x = cx / 2, c1y = cy / 2;
  const int64_t mx = (2 * cx + ax) / 4, my = (2 * cy + ay) / 4;
  const int64_t c2x = (cx + ax) / 2, c2y = (cy + ay) / 2;
  WriteCurve(out, c1x, c1y, mx, my);
  WriteCurve(out, c2x - mx, c2y - my, ax - mx, ay - my);
}

}  // namespace

// ---- edges

uint32_t SwfStraightEdgeRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  storedBits = static_cast<uint8_t>(reader.ReadBits(4, false));
  const uint32_t n = storedBits + 2u;
  if (reader.ReadBits(1, false)) {
    lineKind = kLineGeneral;
    dx = ReadSignedBits(reader, n);
    dy = ReadSignedBits(reader, n);
  } else if (reader.ReadBits(1, false)) {
    lineKind = kLineVertical;
    dx = 0;
    dy = ReadSignedBits(reader, n);
  } else {
    lineKind = kLineHorizontal;
    dx = ReadSignedBits(reader, n);
    dy = 0;
  }
  return reader.GetPosition() - start;
}

uint32_t SwfStraightEdgeRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  const int64_t x = lineKind == kLineVertical ? 0 : dx;
  const int64_t y = lineKind == kLineHorizontal ? 0 : dy;
  const uint32_t m = std::max(Magnitude(x), Magnitude(y));
  // Too long for one record: equal pieces along the same line, their sum exactly the edge.
  const int64_t pieces = (m + kMaxEdgeDelta - 1) / kMaxEdgeDelta;
  if (pieces <= 1) {
    WriteStraight(out, dx, dy, lineKind);
  } else {
    for (int64_t i = 0; i < pieces; ++i) {
      const int64_t px = x * (i + 1) / pieces - x * i / pieces;
      const int64_t py = y * (i + 1) / pieces - y * i / pieces;
      WriteStraight(out, static_cast<int32_t>(px), static_cast<int32_t>(py), lineKind);
    }
  }
  return out.GetByteCount() - before;
}

uint32_t SwfCurvedEdgeRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  storedBits = static_cast<uint8_t>(reader.ReadBits(4, false));
  const uint32_t n = storedBits + 2u;
  controlDx = ReadSignedBits(reader, n);
  controlDy = ReadSignedBits(reader, n);
  anchorDx = ReadSignedBits(reader, n);
  anchorDy = ReadSignedBits(reader, n);
  return reader.GetPosition() - start;
}

uint32_t SwfCurvedEdgeRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  WriteCurve(out, controlDx, controlDy, int64_t{controlDx} + anchorDx, int64_t{controlDy} + anchorDy);
  return out.GetByteCount() - before;
}

uint32_t SwfEndShapeRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteBits(0, 6);
  return out.GetByteCount() - before;
}

// ---- style change

SwfStyleChangeRecord::SwfStyleChangeRecord(uint8_t newFlags, SwfShape* newOwner) { Init(newFlags, newOwner); }

SwfStyleChangeRecord::SwfStyleChangeRecord(int32_t x, int32_t y, SwfShape* newOwner) { InitMoveTo(x, y, newOwner); }

SwfStyleChangeRecord::SwfStyleChangeRecord(const SwfStyleChangeRecord& other)
    : SwfShapeRecord(other),
      moveX(other.moveX),
      moveY(other.moveY),
      fillStyle0(other.fillStyle0),
      fillStyle1(other.fillStyle1),
      lineStyle(other.lineStyle),
      fillBits(other.fillBits),
      lineBits(other.lineBits),
      owner(other.owner),
      newFillStyles(other.newFillStyles ? std::make_unique<SwfFillStyleArray>(*other.newFillStyles) : nullptr),
      newLineStyles(other.newLineStyles ? std::make_unique<SwfLineStyleArray>(*other.newLineStyles) : nullptr),
      flags(other.flags) {}

void SwfStyleChangeRecord::Init(uint8_t newFlags, SwfShape* newOwner) {
  moveX = moveY = 0;
  fillStyle0 = fillStyle1 = lineStyle = 0;
  newFillStyles.reset();
  newLineStyles.reset();
  flags = newFlags;
  owner = newOwner;
  fillBits = owner ? owner->headerFillBits : 0;
  lineBits = owner ? owner->headerLineBits : 0;
}

void SwfStyleChangeRecord::InitMoveTo(int32_t x, int32_t y, SwfShape* newOwner) {
  const uint8_t keep = flags;
  Init(keep, newOwner);
  moveX = x;
  moveY = y;
}

void SwfStyleChangeRecord::SetFillStyle(uint16_t index, bool which) { (which ? fillStyle1 : fillStyle0) = index; }

void SwfStyleChangeRecord::UpdateFlags() {
  flags = 0;
  if (newFillStyles || newLineStyles) flags |= kStyleChangeNewStyles;
  if (lineStyle != 0) flags |= kStyleChangeLine;
  if (fillStyle1 != 0) flags |= kStyleChangeFill1;
  if (fillStyle0 != 0) flags |= kStyleChangeFill0;
  if (moveX != 0 || moveY != 0) flags |= kStyleChangeMove;
}

uint32_t SwfStyleChangeRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  fillBits = owner ? owner->currentFillBits : kMaxIndexBits;
  lineBits = owner ? owner->currentLineBits : kMaxIndexBits;
  const bool alpha = owner ? owner->alpha != 0 : true;
  if (flags & kStyleChangeMove) {
    const uint32_t m = reader.ReadBits(5, false);
    moveX = ReadSignedBits(reader, m);
    moveY = ReadSignedBits(reader, m);
  }
  if (flags & kStyleChangeFill0) fillStyle0 = static_cast<uint16_t>(reader.ReadBits(fillBits, false));
  if (flags & kStyleChangeFill1) fillStyle1 = static_cast<uint16_t>(reader.ReadBits(fillBits, false));
  if (flags & kStyleChangeLine) lineStyle = static_cast<uint16_t>(reader.ReadBits(lineBits, false));
  if (flags & kStyleChangeNewStyles) {
    newFillStyles = std::make_unique<SwfFillStyleArray>(alpha);
    newFillStyles->Read(reader);
    if (newFillStyles->malformed) {
      if (owner) owner->malformed = true;
      return reader.GetPosition() - start;
    }
    newLineStyles = std::make_unique<SwfLineStyleArray>(alpha);
    newLineStyles->Read(reader);
    if (newLineStyles->malformed && owner) owner->malformed = true;
    fillBits = static_cast<uint16_t>(reader.ReadBits(4, false));
    lineBits = static_cast<uint16_t>(reader.ReadBits(4, false));
    if (owner) {
      owner->currentFillBits = static_cast<uint8_t>(fillBits);
      owner->currentLineBits = static_cast<uint8_t>(lineBits);
    }
  }
  return reader.GetPosition() - start;
}

uint32_t SwfStyleChangeRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  if (owner) {
    fillBits = owner->currentFillBits;
    lineBits = owner->currentLineBits;
  }
  uint8_t written = flags & 0x1F;
  // The new-styles flag promises the arrays and the two counts: without arrays there are no
  // new styles to announce.
  if (!newFillStyles && !newLineStyles) written &= static_cast<uint8_t>(~kStyleChangeNewStyles);
  // Six zero bits end the shape: a record with nothing to say moves to where it stands.
  if (written == 0) written = kStyleChangeMove;
  out.WriteBits(written, 6);
  if (written & kStyleChangeMove) {
    const uint32_t m = std::min(kMaxMoveBits, SignedBits({moveX, moveY}));
    const int32_t hi = static_cast<int32_t>((1u << (m - 1)) - 1), lo = -hi - 1;
    out.WriteBits(m, 5);
    out.WriteBits(static_cast<uint32_t>(std::clamp(moveX, lo, hi)), m);
    out.WriteBits(static_cast<uint32_t>(std::clamp(moveY, lo, hi)), m);
  }
  if (written & kStyleChangeFill0) out.WriteBits(fillStyle0, fillBits);
  if (written & kStyleChangeFill1) out.WriteBits(fillStyle1, fillBits);
  if (written & kStyleChangeLine) out.WriteBits(lineStyle, lineBits);
  if (written & kStyleChangeNewStyles) {
    if (newFillStyles) {
      newFillStyles->Write(out);
      fillBits = IndexBits(newFillStyles->styles.size());
      if (owner) owner->currentFillBits = static_cast<uint8_t>(fillBits);
    } else {
      out.WriteU8(0);
    }
    if (newLineStyles) {
      newLineStyles->Write(out);
      lineBits = IndexBits(newLineStyles->styles.size());
      if (owner) owner->currentLineBits = static_cast<uint8_t>(lineBits);
    } else {
      out.WriteU8(0);
    }
    out.WriteBits(fillBits, 4);
    out.WriteBits(lineBits, 4);
  }
  return out.GetByteCount() - before;
}

// ---- shapes

std::unique_ptr<SwfShapeRecord> CopyShapeRecord(const SwfShapeRecord& record, SwfShape* owner) {
  switch (record.GetRecordType()) {
    case kShapeRecordStyleChange: {
      auto copy = std::make_unique<SwfStyleChangeRecord>(static_cast<const SwfStyleChangeRecord&>(record));
      copy->owner = owner;
      return copy;
    }
    case kShapeRecordStraightEdge:
      return std::make_unique<SwfStraightEdgeRecord>(static_cast<const SwfStraightEdgeRecord&>(record));
    case kShapeRecordCurvedEdge:
      return std::make_unique<SwfCurvedEdgeRecord>(static_cast<const SwfCurvedEdgeRecord&>(record));
    case kShapeRecordEnd:
      return std::make_unique<SwfEndShapeRecord>(static_cast<const SwfEndShapeRecord&>(record));
    default:
      return nullptr;
  }
}

SwfShape::SwfShape(const SwfShape& other) : SwfObject(other) { CopyFrom(other); }

SwfShape& SwfShape::operator=(const SwfShape& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void SwfShape::SetStyleBits(uint8_t fill, uint8_t line) {
  headerFillBits = currentFillBits = fill;
  headerLineBits = currentLineBits = line;
}

void SwfShape::Clear() {
  records.clear();
  malformed = false;
}

void SwfShape::CopyFrom(const SwfShape& other) {
  if (this == &other) return;
  records.clear();
  for (auto& r : other.records)
    if (auto copy = CopyShapeRecord(*r, this)) records.push_back(std::move(copy));
  headerLineBits = other.headerLineBits;
  headerFillBits = other.headerFillBits;
  currentLineBits = other.currentLineBits;
  currentFillBits = other.currentFillBits;
  alpha = other.alpha;
  malformed = other.malformed;
}

void SwfShape::AddRecord(SwfShapeRecord* record) {
  if (record) records.emplace_back(record);
}

uint32_t SwfShape::ReadRecords(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  headerFillBits = currentFillBits = static_cast<uint8_t>(reader.ReadBits(4, false));
  headerLineBits = currentLineBits = static_cast<uint8_t>(reader.ReadBits(4, false));
  const uint32_t end = std::min(reader.tagEnd, reader.GetSize());
  for (;;) {
    // No bits left in the tag before the end record: the shape is cut short.
    if (reader.GetPosition() >= end) {
      malformed = true;
      break;
    }
    std::unique_ptr<SwfShapeRecord> record;
    if (reader.ReadBits(1, false)) {
      if (reader.ReadBits(1, false)) record = std::make_unique<SwfStraightEdgeRecord>();
      else record = std::make_unique<SwfCurvedEdgeRecord>();
    } else {
      const uint8_t recordFlags = static_cast<uint8_t>(reader.ReadBits(5, false));
      if (recordFlags == 0) break;
      record = std::make_unique<SwfStyleChangeRecord>(recordFlags, this);
      record->flag = alpha;
    }
    record->Read(reader);
    records.push_back(std::move(record));
    if (malformed) break;
  }
  if (reader.GetPosition() > end || (reader.GetPosition() == end && reader.GetBitPosition() != 0)) malformed = true;
  records.push_back(std::make_unique<SwfEndShapeRecord>());
  reader.AlignByte();
  currentFillBits = headerFillBits;
  currentLineBits = headerLineBits;
  return reader.GetPosition() - start;
}

void SwfShape::WriteRecords(SwfBitWriter& out) {
  currentFillBits = headerFillBits;
  currentLineBits = headerLineBits;
  out.WriteBits(headerFillBits, 4);
  out.WriteBits(headerLineBits, 4);
  for (auto& r : records) r->Write(out);
  // A shape always ends with its end record, whether or not the builder appended one.
  if (records.empty() || records.back()->GetRecordType() != kShapeRecordEnd) out.WriteBits(0, 6);
  currentFillBits = headerFillBits;
  currentLineBits = headerLineBits;
}

uint32_t SwfShape::Read(SwfReader& reader) {
  Clear();
  return ReadRecords(reader);
}

uint32_t SwfShape::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  WriteRecords(out);
  return out.GetByteCount() - before;
}

SwfShapeWithStyle::SwfShapeWithStyle(const SwfShapeWithStyle& other) : SwfShape() { *this = other; }

SwfShapeWithStyle& SwfShapeWithStyle::operator=(const SwfShapeWithStyle& other) {
  if (this == &other) return *this;
  fillStyles = other.fillStyles ? std::make_unique<SwfFillStyleArray>(*other.fillStyles) : nullptr;
  lineStyles = other.lineStyles ? std::make_unique<SwfLineStyleArray>(*other.lineStyles) : nullptr;
  CopyFrom(other);
  return *this;
}

void SwfShapeWithStyle::Clear() {
  SwfShape::Clear();
  fillStyles.reset();
  lineStyles.reset();
}

uint32_t SwfShapeWithStyle::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  fillStyles = std::make_unique<SwfFillStyleArray>(alpha != 0);
  fillStyles->Read(reader);
  if (!fillStyles->malformed) {
    lineStyles = std::make_unique<SwfLineStyleArray>(alpha != 0);
    lineStyles->Read(reader);
  }
  if (fillStyles->malformed || (lineStyles && lineStyles->malformed)) {
    malformed = true;
    return reader.GetPosition() - start;
  }
  ReadRecords(reader);
  return reader.GetPosition() - start;
}

uint32_t SwfShapeWithStyle::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  uint8_t fill = 0, line = 0;
  if (fillStyles && !fillStyles->styles.empty()) {
    fillStyles->Write(out);
    fill = IndexBits(fillStyles->styles.size());
  } else {
    out.WriteU8(0);
  }
  if (lineStyles && !lineStyles->styles.empty()) {
    lineStyles->Write(out);
    line = IndexBits(lineStyles->styles.size());
  } else {
    out.WriteU8(0);
  }
  SetStyleBits(fill, line);
  WriteRecords(out);
  return out.GetByteCount() - before;
}

void VisitShapeBitmapIds(SwfShape& shape, SwfIdVisitor& visitor) {
  for (auto& r : shape.records)
    if (r->GetRecordType() == kShapeRecordStyleChange)
      VisitBitmapFills(static_cast<SwfStyleChangeRecord&>(*r).newFillStyles.get(), visitor);
}
