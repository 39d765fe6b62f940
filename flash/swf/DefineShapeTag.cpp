#include "flash/swf/DefineShapeTag.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

void DefineShapeTag::Clear() {
  bounds.reset();
  shape.reset();
  keptAsRead = false;
  bodyAsRead.clear();
}

void DefineShapeTag::CopyFrom(const DefineShapeTag& other) {
  if (this == &other) return;
  characterId = other.characterId;
  bounds = other.bounds ? std::make_unique<SwfRect>(*other.bounds) : nullptr;
  shape = other.shape ? std::make_unique<SwfShapeWithStyle>(*other.shape) : nullptr;
  keptAsRead = other.keptAsRead;
  bodyAsRead = other.bodyAsRead;
}

uint32_t DefineShapeTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  characterId = reader.ReadU16();
  // A body without a whole id is left to the tag loop, which keeps it as read.
  if (reader.overran) return reader.GetPosition() - start;
  const uint32_t afterId = reader.GetPosition();
  bounds = std::make_unique<SwfRect>();
  bounds->Read(reader);
  reader.AlignByte();
  shape = std::make_unique<SwfShapeWithStyle>(GetTagCode() == 32);
  shape->Read(reader);
  if (shape->malformed) {
    keptAsRead = true;
    ReadTagBodyFrom(reader, afterId, bodyAsRead);
  }
  return reader.GetPosition() - start;
}

uint32_t DefineShapeTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  if (keptAsRead) {
    body.WriteBytes(bodyAsRead);
  } else {
    SwfRect none;
    body.WriteRecord(bounds ? bounds.get() : &none);
    body.Align();
    SwfShapeWithStyle empty(GetTagCode() == 32);
    body.WriteRecord(shape ? shape.get() : &empty);
  }
  return WriteTagWithBody(*this, out, body);
}

void DefineShapeTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  if (keptAsRead) return visitor.Unfound(*this);
  if (!shape) return;
  VisitBitmapFills(shape->fillStyles.get(), visitor);
  VisitShapeBitmapIds(*shape, visitor);
}

void DefineShapeTag::BuildRectangle(int32_t x, int32_t y, int32_t width, int32_t height, SwfFillStyle* fill,
                                    SwfLineStyle* line) {
  Clear();
  bounds = std::make_unique<SwfRect>(x, y, x + width, y + height);
  shape = std::make_unique<SwfShapeWithStyle>(false);
  if (fill) {
    shape->fillStyles = std::make_unique<SwfFillStyleArray>(false);
    shape->fillStyles->Append(fill);
    shape->SetFillBits(15);
  }
  if (line) {
    shape->lineStyles = std::make_unique<SwfLineStyleArray>(false);
    shape->lineStyles->Append(line);
    shape->headerLineBits = shape->currentLineBits = 15;
  }
  auto* move = new SwfStyleChangeRecord(x, y, shape.get());
  if (fill) move->SetFillStyle(1, true);
  if (line) move->SetLineStyle(1);
  move->flags = static_cast<uint8_t>(kStyleChangeMove | (fill ? kStyleChangeFill1 : 0) | (line ? kStyleChangeLine : 0));
  shape->AddRecord(move);
  shape->AddRecord(new SwfStraightEdgeRecord(width, 0, kLineHorizontal));
  shape->AddRecord(new SwfStraightEdgeRecord(0, height, kLineVertical));
  shape->AddRecord(new SwfStraightEdgeRecord(-width, 0, kLineHorizontal));
  shape->AddRecord(new SwfStraightEdgeRecord(0, -height, kLineVertical));
  shape->AddRecord(new SwfEndShapeRecord());
}
