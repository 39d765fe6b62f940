#include "flash/swf/TextTags.h"

#include <algorithm>
#include <cstdlib>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

// |v|, also for the most negative value.
uint32_t Magnitude(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }

}  // namespace

// ---- style records

void SwfTextRecord::SetFontId(uint16_t id) {
  fontId = id;
  leadByte |= kTextHasFont;
}

void SwfTextRecord::SetTextHeight(uint16_t twips) {
  textHeight = twips;
  leadByte |= kTextHasFont;
}

void SwfTextRecord::SetColor(SwfRgb* newColor) {
  color.reset(newColor);
  leadByte |= kTextHasColor;
}

void SwfTextRecord::SetOffset(int16_t x, int16_t y) {
  xOffset = x;
  yOffset = y;
  leadByte |= kTextHasXOffset | kTextHasYOffset;
}

uint32_t SwfTextRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  fontId = (leadByte & kTextHasFont) ? reader.ReadU16() : 0;
  if (leadByte & kTextHasColor) {
    color.reset(IsRgb() ? new SwfRgb() : new SwfRgba());
    color->Read(reader);
  }
  if (leadByte & kTextHasXOffset) xOffset = static_cast<int16_t>(reader.ReadU16());
  if (leadByte & kTextHasYOffset) yOffset = static_cast<int16_t>(reader.ReadU16());
  if (leadByte & kTextHasFont) textHeight = reader.ReadU16();
  return reader.GetPosition() - start;
}

uint32_t SwfTextRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  const bool hasX = (leadByte & kTextHasXOffset) || xOffset != 0;
  const bool hasY = (leadByte & kTextHasYOffset) || yOffset != 0;
  // A colour flag without a colour writes none: the flag goes with it.
  const bool hasColor = (leadByte & kTextHasColor) && color;
  out.WriteU8(static_cast<uint8_t>(kTextStyleRecord | (leadByte & 0x78) | (hasColor ? kTextHasColor : 0) |
                                   (hasY ? kTextHasYOffset : 0) | (hasX ? kTextHasXOffset : 0)));
  if (leadByte & kTextHasFont) out.WriteU16(fontId);
  if (hasColor) color->Write(out);
  if (hasX) out.WriteS16(xOffset);
  if (hasY) out.WriteS16(yOffset);
  if (leadByte & kTextHasFont) out.WriteU16(textHeight);
  return out.GetByteCount() - before;
}

// ---- glyph records

uint32_t SwfGlyphRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  // An entry holds at most 32 bits of index and of advance: wider ones cannot be read, nor
  // written back the size the tag's bit counts give them, and what follows them would be read
  // from the wrong place. The tag is kept as read (by the tag loop).
  if (leadByte != 0 && (glyphBits > 32 || advanceBits > 32)) {
    reader.overran = true;
    return 0;
  }
  const uint32_t g = glyphBits, a = advanceBits;
  size_t count = leadByte;
  if (g + a > 0) count = std::min<size_t>(count, uint64_t{reader.TagBytesLeft()} * 8 / (g + a));
  for (size_t i = 0; i < count; ++i) {
    SwfGlyphEntry e;
    e.index = reader.ReadBits(static_cast<uint16_t>(g), false);
    e.advance = static_cast<int32_t>(reader.ReadBits(static_cast<uint16_t>(a), true));
    entries.push_back(e);
  }
  reader.AlignByte();
  leadByte = static_cast<uint8_t>(entries.size());
  return reader.GetPosition() - start;
}

uint32_t SwfGlyphRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  size_t at = 0;
  do {
    if (at > 0) out.WriteU8(kTextStyleRecord);
    const size_t n = std::min(entries.size() - at, kMaxEntries);
    out.WriteU8(static_cast<uint8_t>(n));
    for (size_t i = at; i < at + n; ++i) {
      out.WriteBits(entries[i].index, glyphBits);
      out.WriteBits(static_cast<uint32_t>(entries[i].advance), advanceBits);
    }
    out.Align();
    at += n;
  } while (at < entries.size());
  return out.GetByteCount() - before;
}

// ---- DefineText, DefineText2

void DefineTextTag::Clear() {
  bounds.reset();
  matrix.reset();
  records.clear();
}

void DefineTextTag::Setup(uint16_t id, SwfRect* newBounds, SwfMatrix* newMatrix, uint8_t glyphBitCount,
                          uint8_t advanceBitCount) {
  characterId = id;
  bounds.reset(newBounds);
  matrix.reset(newMatrix);
  glyphBits = glyphBitCount;
  advanceBits = advanceBitCount;
}

uint32_t DefineTextTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  SwfReader body;
  LoadTagBody(reader, body);
  const uint8_t rgb = GetTagCode() == 11;
  characterId = body.ReadU16();
  bounds = std::make_unique<SwfRect>();
  bounds->Read(body);
  body.AlignByte();
  matrix = std::make_unique<SwfMatrix>();
  matrix->Read(body);
  body.AlignByte();
  glyphBits = minGlyphBits = body.ReadU8();
  advanceBits = minAdvanceBits = body.ReadU8();
  auto readGlyphs = [&](uint8_t count) {
    auto glyphs = std::make_unique<SwfGlyphRecord>(count, rgb);
    glyphs->glyphBits = glyphBits;
    glyphs->advanceBits = advanceBits;
    glyphs->Read(body);
    records.push_back(std::move(glyphs));
  };
  // The records end with a 0 byte, or with the tag's body when that is missing.
  while (body.BytesLeft() > 0) {
    const uint8_t b = body.ReadU8();
    if (b == 0) break;
    if (!(b & kTextStyleRecord)) {
      readGlyphs(b);
      continue;
    }
    auto style = std::make_unique<SwfTextRecord>(b, rgb);
    style->Read(body);
    records.push_back(std::move(style));
    // Every style record carries its glyph count, which may be 0; a 0 that is the body's
    // last byte is the end of the records.
    if (body.BytesLeft() > 1 || (body.BytesLeft() == 1 && body.PeekU8() != 0)) readGlyphs(body.ReadU8());
  }
  // A body that ends inside its fields (a style record cut short) is kept as read (by the tag
  // loop), not written back with zeros it never held.
  if (body.overran) reader.overran = true;
  return reader.GetPosition() - start;
}

uint32_t DefineTextTag::Write(SwfBitWriter& out) {
  uint32_t maxIndex = 0, maxAdvance = 0;
  for (auto& r : records)
    if (auto* g = dynamic_cast<SwfGlyphRecord*>(r.get()))
      for (auto& e : g->entries) maxIndex = std::max(maxIndex, e.index), maxAdvance = std::max(maxAdvance, Magnitude(e.advance));
  // Signed: a negative advance needs as many bits as its magnitude.
  glyphBits = static_cast<uint8_t>(std::max<uint32_t>(BitsNeeded(maxIndex, false), minGlyphBits));
  advanceBits = static_cast<uint8_t>(std::max<uint32_t>(std::min<uint32_t>(BitsNeeded(maxAdvance, true), 32), minAdvanceBits));
  for (auto& r : records)
    if (auto* g = dynamic_cast<SwfGlyphRecord*>(r.get())) g->glyphBits = glyphBits, g->advanceBits = advanceBits;

  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  SwfRect noBounds;
  (bounds ? *bounds : noBounds).Write(body);
  body.Align();
  SwfMatrix noMatrix;
  (matrix ? *matrix : noMatrix).Write(body);
  body.Align();
  body.WriteU8(glyphBits);
  body.WriteU8(advanceBits);
  // A style record is followed by its glyph count, so a 0 count stands between two style
  // records; elsewhere a 0 count would read as the end of the records, so a glyph record
  // without glyphs goes out only behind a style record.
  const SwfTextRecordBase* previous = nullptr;
  for (auto& r : records) {
    const bool glyphs = dynamic_cast<SwfGlyphRecord*>(r.get()) != nullptr;
    const bool afterStyle = previous && !dynamic_cast<const SwfGlyphRecord*>(previous);
    if (glyphs && static_cast<SwfGlyphRecord*>(r.get())->entries.empty() && !afterStyle) continue;
    if (!glyphs && afterStyle) body.WriteU8(0);
    r->Write(body);
    previous = r.get();
  }
  body.WriteU8(0);
  return WriteTagWithBody(*this, out, body);
}

void DefineTextTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  for (auto& r : records)
    if (auto* s = dynamic_cast<SwfTextRecord*>(r.get()); s && s->fontId != 0) {
      // Through SetFontId, which keeps the record's flags in step.
      uint16_t font = s->fontId;
      visitor.Visit(font, SwfIdRole::kRefers);
      if (font != s->fontId) s->SetFontId(font);
    }
}

// ---- DefineEditText

void DefineEditTextTag::Reset() {
  Clear();
  characterId = 1;
  flags = 0;
  fontId = 0;
  fontHeight = 100;
  maxLength = 0;
  align = 0;
  leftMargin = rightMargin = indent = leading = 0;
  variableName.clear();
  initialText.clear();
  fontClass.clear();
}

void DefineEditTextTag::Clear() {
  bounds.reset();
  color.reset();
}

void DefineEditTextTag::Setup(uint16_t id, SwfRgba* textColor, const SwfString& variable) {
  Reset();
  characterId = id;
  color.reset(textColor);
  flags |= kEditHasTextColor;
  variableName = variable;
}

void DefineEditTextTag::SetFontHeight(uint16_t twips) {
  fontHeight = twips;
  flags |= kEditHasLayout;
}

void DefineEditTextTag::VisitIds(SwfIdVisitor& visitor) {
  SwfCharacterTag::VisitIds(visitor);
  if (fontId != 0) visitor.Visit(fontId, SwfIdRole::kRefers);
}

uint32_t DefineEditTextTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  SwfReader body;
  LoadTagBody(reader, body);
  characterId = body.ReadU16();
  bounds = std::make_unique<SwfRect>();
  bounds->Read(body);
  body.AlignByte();
  const uint8_t high = body.ReadU8();
  const uint16_t asRead = static_cast<uint16_t>(high << 8 | body.ReadU8());
  flags = asRead;
  const bool hasClass = (asRead & kEditHasFontClass) && body.GetVersion() >= 9;
  fontClass.clear();
  if (asRead & kEditHasFont) fontId = body.ReadU16();
  if (hasClass) body.ReadString(fontClass, 0, false);
  if (asRead & (kEditHasFont | (hasClass ? kEditHasFontClass : 0))) SetFontHeight(body.ReadU16());
  if (asRead & kEditHasTextColor) {
    color = std::make_unique<SwfRgba>(0, 0, 0, 255);
    color->Read(body);
  }
  if (asRead & kEditHasMaxLength) maxLength = body.ReadU16();
  if (asRead & kEditHasLayout) {
    align = body.ReadU8();
    leftMargin = body.ReadU16();
    rightMargin = body.ReadU16();
    indent = body.ReadU16();
    leading = body.ReadU16();
  }
  // The variable name is always there, the initial text when flagged: a body that ends
  // before either starts was cut (a missing 0 byte of the last string is only completed).
  bool cut = body.BytesLeft() == 0;
  body.ReadString(variableName, 0, false);
  if (asRead & kEditHasText) {
    cut = cut || body.BytesLeft() == 0;
    body.ReadString(initialText, 0, false);
  }
  // A body too short for its fields is kept as read (by the tag loop), not written back
  // with zeros it never held.
  if (body.overran || cut) reader.overran = true;
  return reader.GetPosition() - start;
}

uint32_t DefineEditTextTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  SwfRect noBounds;
  (bounds ? *bounds : noBounds).Write(body);
  body.Align();
  body.WriteU8(static_cast<uint8_t>(flags >> 8));
  body.WriteU8(static_cast<uint8_t>(flags));
  const bool hasClass = (flags & kEditHasFontClass) && out.GetVersion() >= 9;
  if (flags & kEditHasFont) body.WriteU16(fontId);
  if (hasClass) {
    body.WriteSwfString(fontClass);
    body.WriteU8(0);
  }
  if (flags & (kEditHasFont | (hasClass ? kEditHasFontClass : 0))) body.WriteU16(fontHeight);
  if (flags & kEditHasTextColor) {
    SwfRgba black(0, 0, 0, 255);
    (color ? *color : black).Write(body);
  }
  if (flags & kEditHasMaxLength) body.WriteU16(maxLength);
  if (flags & kEditHasLayout) {
    body.WriteU8(align);
    body.WriteU16(leftMargin);
    body.WriteU16(rightMargin);
    body.WriteU16(indent);
    body.WriteU16(leading);
  }
  body.WriteSwfString(variableName);
  body.WriteU8(0);
  if (flags & kEditHasText) {
    body.WriteSwfString(initialText);
    body.WriteU8(0);
  }
  return WriteTagWithBody(*this, out, body);
}
