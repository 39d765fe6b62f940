#include "flash/swf/DefineMorphShapeTag.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

std::unique_ptr<SwfRgba> ReadRgba(SwfReader& reader) {
  auto c = std::make_unique<SwfRgba>(0, 0, 0, 255);
  c->Read(reader);
  return c;
}

std::unique_ptr<SwfMatrix> ReadMatrix(SwfReader& reader) {
  auto m = std::make_unique<SwfMatrix>();
  m->Read(reader);
  reader.AlignByte();
  return m;
}

void WriteRgba(SwfBitWriter& out, const std::unique_ptr<SwfRgba>& c) {
  SwfRgba black(0, 0, 0, 255);
  out.WriteRecord(c ? c.get() : &black);
}

void WriteMatrix(SwfBitWriter& out, const std::unique_ptr<SwfMatrix>& m) {
  SwfMatrix identity;
  out.WriteRecord(m ? m.get() : &identity);
  out.Align();
}

}  // namespace

// ---- records

void SwfMorphGradientRecord::Clear() {
  startColor.reset();
  endColor.reset();
}

uint32_t SwfMorphGradientRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  startRatio = reader.ReadU8();
  startColor = ReadRgba(reader);
  endRatio = reader.ReadU8();
  endColor = ReadRgba(reader);
  return reader.GetPosition() - start;
}

uint32_t SwfMorphGradientRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU8(startRatio);
  WriteRgba(out, startColor);
  out.WriteU8(endRatio);
  WriteRgba(out, endColor);
  return out.GetByteCount() - before;
}

uint32_t SwfMorphGradient::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  const uint8_t n = reader.ReadU8();
  for (uint32_t i = 0; i < n && reader.TagBytesLeft() > 0; ++i) {
    auto record = std::make_unique<SwfMorphGradientRecord>();
    record->Read(reader);
    records.push_back(std::move(record));
  }
  return reader.GetPosition() - start;
}

uint32_t SwfMorphGradient::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  // As with shape gradients, count and records agree: at most 255.
  const size_t n = std::min<size_t>(records.size(), 255);
  out.WriteU8(static_cast<uint8_t>(n));
  for (size_t i = 0; i < n; ++i) records[i]->Write(out);
  return out.GetByteCount() - before;
}

void SwfMorphFillStyle::Clear() {
  startColor.reset();
  endColor.reset();
  gradient.reset();
  startMatrix.reset();
  endMatrix.reset();
  bitmapId = 0xFFFF;
}

uint32_t SwfMorphFillStyle::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  fillType = reader.ReadU8();
  if (fillType == kFillSolid) {
    startColor = ReadRgba(reader);
    endColor = ReadRgba(reader);
  } else if (IsGradientFillType(fillType)) {
    startMatrix = ReadMatrix(reader);
    endMatrix = ReadMatrix(reader);
    gradient = std::make_unique<SwfMorphGradient>();
    gradient->Read(reader);
  } else if (IsBitmapFillType(fillType)) {
    // Every bitmap type carries its bitmap and both matrices, smoothed or not.
    bitmapId = reader.ReadU16();
    startMatrix = ReadMatrix(reader);
    endMatrix = ReadMatrix(reader);
  }
  return reader.GetPosition() - start;
}

uint32_t SwfMorphFillStyle::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU8(fillType);
  if (fillType == kFillSolid) {
    WriteRgba(out, startColor);
    WriteRgba(out, endColor);
  } else if (IsGradientFillType(fillType)) {
    WriteMatrix(out, startMatrix);
    WriteMatrix(out, endMatrix);
    SwfMorphGradient empty;
    out.WriteRecord(gradient ? gradient.get() : &empty);
  } else if (IsBitmapFillType(fillType)) {
    out.WriteU16(bitmapId);
    WriteMatrix(out, startMatrix);
    WriteMatrix(out, endMatrix);
  }
  return out.GetByteCount() - before;
}

void SwfMorphLineStyle::Clear() {
  startColor.reset();
  endColor.reset();
}

uint32_t SwfMorphLineStyle::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  startWidth = reader.ReadU16();
  endWidth = reader.ReadU16();
  startColor = ReadRgba(reader);
  endColor = ReadRgba(reader);
  return reader.GetPosition() - start;
}

uint32_t SwfMorphLineStyle::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU16(startWidth);
  out.WriteU16(endWidth);
  WriteRgba(out, startColor);
  WriteRgba(out, endColor);
  return out.GetByteCount() - before;
}

// ---- the tag

void DefineMorphShapeTag::Clear() {
  startBounds.reset();
  endBounds.reset();
  fillStyles.reset();
  lineStyles.reset();
  startEdges.reset();
  endEdges.reset();
  offset = 0;
  keptAsRead = false;
  bodyAsRead.clear();
}

uint32_t DefineMorphShapeTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  characterId = reader.ReadU16();
  // A body without a whole id is left to the tag loop, which keeps it as read.
  if (reader.overran) return reader.GetPosition() - start;
  const uint32_t afterId = reader.GetPosition();
  auto keepAsRead = [&] {
    keptAsRead = true;
    ReadTagBodyFrom(reader, afterId, bodyAsRead);
    return reader.GetPosition() - start;
  };
  startBounds = std::make_unique<SwfRect>();
  startBounds->Read(reader);
  reader.AlignByte();
  endBounds = std::make_unique<SwfRect>();
  endBounds->Read(reader);
  reader.AlignByte();
  offset = reader.ReadU32();
  // The offset comes from the file: EndEdges must lie inside this tag.
  const uint32_t tagEnd = std::min(reader.tagEnd, reader.GetSize());
  const uint64_t endEdgesAt = uint64_t{reader.GetPosition()} + offset;
  if (endEdgesAt > tagEnd) return keepAsRead();
  fillStyles = std::make_unique<SwfMorphFillStyleArray>();
  fillStyles->Read(reader);
  if (fillStyles->malformed) return keepAsRead();
  lineStyles = std::make_unique<SwfMorphLineStyleArray>();
  lineStyles->Read(reader);
  if (lineStyles->malformed) return keepAsRead();
  // The start edges end where EndEdges begin.
  const uint32_t savedEnd = reader.tagEnd;
  reader.tagEnd = static_cast<uint32_t>(endEdgesAt);
  startEdges = std::make_unique<SwfShape>();
  startEdges->alpha = 1;
  startEdges->Read(reader);
  reader.tagEnd = savedEnd;
  if (startEdges->malformed) return keepAsRead();
  if (reader.GetPosition() != endEdgesAt) reader.Seek(static_cast<uint32_t>(endEdgesAt));
  endEdges = std::make_unique<SwfShape>();
  endEdges->alpha = 1;
  endEdges->Read(reader);
  if (endEdges->malformed) return keepAsRead();
  return reader.GetPosition() - start;
}

uint32_t DefineMorphShapeTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  if (keptAsRead) {
    body.WriteBytes(bodyAsRead);
    return WriteTagWithBody(*this, out, body);
  }
  SwfRect none;
  body.WriteRecord(startBounds ? startBounds.get() : &none);
  body.Align();
  body.WriteRecord(endBounds ? endBounds.get() : &none);
  body.Align();
  // Fill styles, line styles and start edges, whose length is the EndEdges offset.
  SwfBitWriter styled(out.GetVersion());
  if (fillStyles) fillStyles->Write(styled);
  else styled.WriteU8(0);
  if (lineStyles) lineStyles->Write(styled);
  else styled.WriteU8(0);
  SwfShape empty;
  styled.WriteRecord(startEdges ? startEdges.get() : &empty);
  styled.Align();
  body.WriteU32(styled.GetByteCount());
  body.AppendWriter(styled);
  body.WriteRecord(endEdges ? endEdges.get() : &empty);
  body.Align();
  return WriteTagWithBody(*this, out, body);
}

void DefineMorphShapeTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  if (keptAsRead) return visitor.Unfound(*this);
  VisitBitmapFills(fillStyles.get(), visitor);
  if (startEdges) VisitShapeBitmapIds(*startEdges, visitor);
  if (endEdges) VisitShapeBitmapIds(*endEdges, visitor);
}
