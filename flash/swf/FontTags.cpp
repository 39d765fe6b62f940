#include "flash/swf/FontTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

// A glyph outline as written: the SHAPE, byte-aligned; a missing outline as an empty one.
std::vector<uint8_t> GlyphBytes(SwfShape* shape, uint8_t version) {
  SwfBitWriter w(version);
  if (shape) {
    shape->Write(w);
  } else {
    SwfShape empty;
    empty.AddRecord(new SwfEndShapeRecord());
    empty.Write(w);
  }
  return w.GetBuffer();
}

void WriteName(SwfBitWriter& body, const SwfString& name, bool suffix, uint16_t fontId) {
  const std::string bytes = FontNameBytes(name, suffix, fontId, body.GetVersion());
  body.WriteU8(static_cast<uint8_t>(bytes.size()));
  body.WriteString(bytes);
}

// A name field as read: its bytes kept as they are, a trailing 0 byte included.
SwfString ReadName(SwfReader& reader) {
  const uint8_t n = reader.ReadU8();
  if (n > reader.TagBytesLeft()) reader.overran = true;
  std::vector<uint8_t> bytes;
  reader.ReadBytes(bytes, std::min<uint32_t>(n, reader.TagBytesLeft()));
  return SwfString::FromFile(std::string(bytes.begin(), bytes.end()), reader.GetVersion());
}

}  // namespace

std::string FontNameBytes(const SwfString& name, bool suffix, uint16_t fontId, uint8_t version) {
  std::string bytes = name.Encode(version);
  if (suffix) bytes += std::to_string(fontId);
  if (bytes.size() > 255) {
    size_t n = 255;
    if (version >= 6)
      while (n > 0 && (static_cast<uint8_t>(bytes[n]) & 0xC0) == 0x80) --n;
    bytes.resize(n);
  }
  return bytes;
}

// ---- DefineFont

void DefineFontTag::Clear() {
  offsets.clear();
  shapes.clear();
  keptAsRead = false;
  bodyAsRead.clear();
}

void DefineFontTag::Setup(const std::vector<uint16_t>& entries, std::vector<std::unique_ptr<SwfShape>> glyphs,
                          uint16_t fontId, bool adjust) {
  offsets = entries;
  shapes = std::move(glyphs);
  characterId = fontId;
  if (adjust)
    for (auto& e : offsets) e = static_cast<uint16_t>(e + 2 * entries.size());
}

uint32_t DefineFontTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  SwfReader body;
  LoadTagBody(reader, body);
  characterId = body.ReadU16();
  // A body without a whole id is left to the tag loop, which keeps it as read.
  if (body.overran) reader.overran = true;
  // The first offset tells the glyph count; a body without one, or an offset below 2, holds
  // no glyphs. The table and the outlines never reach past the body.
  if (body.BytesLeft() >= 2) {
    const uint16_t first = body.ReadU16();
    const uint32_t glyphs = std::min<uint32_t>(first / 2, body.BytesLeft() / 2 + 1);
    if (glyphs > 0) offsets.push_back(first);
    while (offsets.size() < glyphs) offsets.push_back(body.ReadU16());
    for (uint32_t i = 0; i < glyphs && !keptAsRead; ++i) {
      auto shape = std::make_unique<SwfShape>();
      if (body.BytesLeft() == 0) keptAsRead = true;
      shape->Read(body);
      if (shape->malformed) keptAsRead = true;
      shapes.push_back(std::move(shape));
    }
    // Outlines that cannot be written back as they were: the body is kept as read.
    if (keptAsRead || first != 2 * glyphs) {
      keptAsRead = true;
      ReadTagBodyFrom(body, 2, bodyAsRead);
    }
  }
  return reader.GetPosition() - start;
}

uint32_t DefineFontTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  if (keptAsRead) {
    body.WriteBytes(bodyAsRead);
  } else if (!shapes.empty()) {
    std::vector<std::vector<uint8_t>> glyphs;
    for (auto& s : shapes) glyphs.push_back(GlyphBytes(s.get(), out.GetVersion()));
    // The first entry is always the table's own size (what a font read from a file stores),
    // so an entry set wrongly cannot misplace every glyph.
    const uint32_t first = static_cast<uint32_t>(2 * shapes.size());
    uint32_t running = first;
    body.WriteU16(static_cast<uint16_t>(first));
    for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
      running += static_cast<uint32_t>(glyphs[i].size());
      body.WriteU16(static_cast<uint16_t>(running));
    }
    for (auto& g : glyphs) body.WriteBytes(g);
  }
  return WriteTagWithBody(*this, out, body);
}

// ---- DefineFont2

DefineFont2Tag::DefineFont2Tag(const SwfString& fontName, uint16_t fontId, uint8_t fontFlags) {
  DefineFont2Tag::Reset();
  name = fontName;
  characterId = fontId;
  flags = fontFlags;
}

void DefineFont2Tag::Reset() {
  Clear();
  characterId = 1;
  flags = kFontAnsi;
  language = 0;
  ascent = descent = leading = 0;
  nameSuffix = false;
}

void DefineFont2Tag::Clear() {
  shapes.clear();
  bounds.clear();
  kerning.clear();
  name.clear();
  offsets.clear();
  characters.clear();
  advances.clear();
  codes.clear();
  hasBounds = hasKerning = true;
  keptAsRead = false;
  bodyAsRead.clear();
}

void DefineFont2Tag::AddGlyph(uint16_t code, SwfShape* shape, int16_t advance, SwfRect* glyphBounds) {
  codes.push_back(code);
  shapes.emplace_back(shape);
  advances.push_back(advance);
  bounds.emplace_back(glyphBounds);
}

void DefineFont2Tag::SetMetrics(int16_t fontAscent, int16_t fontDescent, int16_t fontLeading) {
  ascent = fontAscent;
  descent = fontDescent;
  leading = fontLeading;
  flags |= kFontHasLayout;
}

namespace {

// Whether the code table's offset follows the offset table. A font of glyphs always has one;
// one without glyphs may end right there, or go on to its layout without it. The usual form
// wins wherever it reads whole: a layout (metrics, then a kerning count and its records) that
// fills the body behind the offset, or the metrics alone behind an offset pointing right
// behind itself (as the writer puts a font of no glyphs and no kerning table). Otherwise a
// layout that fills the body without the offset tells the other form; a layout with its
// kerning count is the likelier reading of the two.
bool HasCodeTableOffset(SwfReader& body, uint32_t count, uint32_t width, uint8_t flags) {
  if (count != 0) return true;
  const uint32_t left = body.BytesLeft();
  if (!(flags & kFontHasLayout)) return left >= width;
  const uint32_t kerningSize = (flags & kFontWideCodes) ? 6 : 4;
  const uint32_t at = body.GetPosition();
  auto layoutFills = [&](uint32_t skip, bool withKerning) {
    if (!withKerning) return left == skip + 6;
    if (left < skip + 8) return false;
    body.Skip(skip + 6);
    const uint32_t kerning = body.ReadU16();
    body.Seek(at);
    return left == skip + 8 + kerning * kerningSize;
  };
  if (layoutFills(width, true)) return true;
  if (layoutFills(width, false)) {
    const uint32_t offset = width == 4 ? body.ReadU32() : body.ReadU16();
    body.Seek(at);
    if (offset == width) return true;
  }
  if (layoutFills(0, true)) return false;
  return layoutFills(width, false) || !layoutFills(0, false);
}

}  // namespace

uint32_t DefineFont2Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  const bool suffix = nameSuffix;  // not part of the file
  Clear();
  nameSuffix = suffix;
  SwfReader body;
  LoadTagBody(reader, body);
  // A body cut short before its glyph count and code table offset is kept as read: the
  // fields it lacks would otherwise be written as zeros that read back as another font.
  bool complete = body.BytesLeft() >= 5;
  characterId = body.ReadU16();
  // A body without a whole id is left to the tag loop, which keeps it as read.
  if (body.overran) {
    reader.overran = true;
    return reader.GetPosition() - start;
  }
  flags = complete ? body.ReadU8() : 0;
  language = complete ? body.ReadU8() : 0;
  complete = complete && body.BytesLeft() >= 1u + body.PeekU8();
  if (complete) name = ReadName(body);
  const uint32_t width = (flags & kFontWideOffsets) ? 4 : 2;
  const bool wideCodes = flags & kFontWideCodes;
  complete = complete && body.BytesLeft() >= 2 + width;
  // No more glyphs than the offset table and the outlines can hold.
  const uint32_t count = complete ? std::min<uint32_t>(body.ReadU16(), body.BytesLeft() / width) : 0;
  for (uint32_t i = 0; i < count; ++i) offsets.push_back(width == 4 ? body.ReadU32() : body.ReadU16());
  if (complete && HasCodeTableOffset(body, count, width, flags)) {
    if (width == 4) body.ReadU32(); else body.ReadU16();
  }
  complete = complete && (body.BytesLeft() > 0 || count == 0);
  for (uint32_t i = 0; i < count && complete; ++i) {
    auto shape = std::make_unique<SwfShape>();
    shape->Read(body);
    complete = !shape->malformed;
    shapes.push_back(std::move(shape));
  }
  const uint32_t codeBytes = count * (wideCodes ? 2 : 1);
  complete = complete && body.BytesLeft() >= codeBytes;
  for (uint32_t i = 0; i < count && complete; ++i) {
    const uint16_t code = wideCodes ? body.ReadU16() : body.ReadU8();
    characters.push_back(code);
    codes.push_back(code);
  }
  if (complete && (flags & kFontHasLayout)) {
    complete = body.BytesLeft() >= 6 + 2 * count;
    ascent = static_cast<int16_t>(body.ReadU16());
    descent = static_cast<int16_t>(body.ReadU16());
    leading = static_cast<int16_t>(body.ReadU16());
    for (uint32_t i = 0; i < count && complete; ++i) advances.push_back(static_cast<int16_t>(body.ReadU16()));
    // Bounds and kerning only while the body holds them; a table cut inside keeps the body
    // as read.
    hasBounds = complete && body.BytesLeft() > 0;
    body.overran = false;
    for (uint32_t i = 0; i < count && hasBounds; ++i) {
      auto r = std::make_unique<SwfRect>();
      r->Read(body);
      body.AlignByte();
      bounds.push_back(std::move(r));
    }
    complete = complete && !body.overran;
    hasKerning = complete && body.BytesLeft() >= 2;
    if (hasKerning) {
      const uint32_t size = wideCodes ? 6 : 4;
      const uint32_t declared = body.ReadU16();
      const uint32_t n = std::min<uint32_t>(declared, body.BytesLeft() / size);
      complete = n == declared;
      for (uint32_t i = 0; i < n; ++i) {
        SwfKerningRecord k;
        k.code1 = wideCodes ? body.ReadU16() : body.ReadU8();
        k.code2 = wideCodes ? body.ReadU16() : body.ReadU8();
        k.adjustment = static_cast<int16_t>(body.ReadU16());
        kerning.push_back(k);
      }
    }
  }
  if (!complete) {
    // Outlines that cannot be followed or tables cut short: the body is kept as read.
    keptAsRead = true;
    ReadTagBodyFrom(body, 2, bodyAsRead);
  }
  return reader.GetPosition() - start;
}

uint32_t DefineFont2Tag::Write(SwfBitWriter& out) {
  const uint8_t version = out.GetVersion();
  SwfBitWriter body(version);
  body.WriteU16(characterId);
  if (keptAsRead) {
    body.WriteBytes(bodyAsRead);
    return WriteTagWithBody(*this, out, body);
  }
  std::vector<std::vector<uint8_t>> glyphs;
  uint64_t total = 0;
  for (auto& s : shapes) {
    glyphs.push_back(GlyphBytes(s.get(), version));
    total += glyphs.back().size();
  }
  const uint32_t count = static_cast<uint32_t>(glyphs.size());
  // Narrow entries must hold every offset up to the code table's, which lies behind the
  // table itself and every outline.
  const bool wide = (count + 1) * 2 + total > 65535;
  const uint32_t width = wide ? 4 : 2;
  uint8_t written = flags;
  if (version > 5) written = static_cast<uint8_t>((written | kFontWideCodes) & 0xAF);
  written = static_cast<uint8_t>(wide ? written | kFontWideOffsets : written & ~kFontWideOffsets);
  const bool wideCodes = written & kFontWideCodes;
  body.WriteU8(written);
  body.WriteU8(language);
  WriteName(body, name, nameSuffix, characterId);
  body.WriteU16(static_cast<uint16_t>(count));
  offsets.clear();
  uint32_t running = (count + 1) * width;
  for (auto& g : glyphs) {
    offsets.push_back(running);
    running += static_cast<uint32_t>(g.size());
  }
  offsets.push_back(running);  // the code table
  for (uint32_t o : offsets) wide ? body.WriteU32(o) : body.WriteU16(static_cast<uint16_t>(o));
  for (auto& g : glyphs) body.WriteBytes(g);
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t code = i < codes.size() ? codes[i] : 0;
    wideCodes ? body.WriteU16(code) : body.WriteU8(static_cast<uint8_t>(code));
  }
  if (written & kFontHasLayout) {
    body.WriteS16(ascent);
    body.WriteS16(descent);
    body.WriteS16(leading);
    for (uint32_t i = 0; i < count; ++i) body.WriteS16(i < advances.size() ? advances[i] : 0);
    // The kerning table is read behind the bounds: a font that writes it writes its bounds
    // too (empty ones for glyphs without), or the kerning count would read back as bounds.
    if (hasBounds || hasKerning) {
      SwfRect none;
      for (uint32_t i = 0; i < count; ++i) {
        body.WriteRecord(i < bounds.size() && bounds[i] ? bounds[i].get() : &none);
        body.Align();
      }
    }
    if (hasKerning) {
      body.WriteU16(static_cast<uint16_t>(std::min<size_t>(kerning.size(), 65535)));
      for (size_t i = 0; i < kerning.size() && i < 65535; ++i) {
        auto& k = kerning[i];
        wideCodes ? body.WriteU16(k.code1) : body.WriteU8(static_cast<uint8_t>(k.code1));
        wideCodes ? body.WriteU16(k.code2) : body.WriteU8(static_cast<uint8_t>(k.code2));
        body.WriteS16(k.adjustment);
      }
    }
  }
  return WriteTagWithBody(*this, out, body);
}

// ---- DefineFontInfo, DefineFontInfo2

DefineFontInfoTag::DefineFontInfoTag(uint16_t fontId, const SwfString& fontName, const std::wstring& codeText,
                                     uint8_t fontFlags) {
  DefineFontInfoTag::Setup(fontId, fontName, codeText, fontFlags);
}

void DefineFontInfoTag::Setup(uint16_t id, const SwfString& fontName, const std::wstring& codeText,
                              uint8_t fontFlags) {
  fontId = id;
  name = fontName;
  flags = fontFlags;
  if (!codeText.empty()) codes.assign(codeText.begin(), codeText.end());
  nameSuffix = false;
}

void DefineFontInfoTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(fontId, SwfIdRole::kRefers); }

uint32_t DefineFontInfoTag::ReadInfo(SwfReader& outer, uint8_t* language) {
  const uint32_t start = outer.GetPosition();
  SwfReader reader;
  LoadTagBody(outer, reader);
  fontId = reader.ReadU16();
  name = ReadName(reader);
  flags = reader.ReadU8();
  if (language) *language = reader.ReadU8();
  // A body cut before its codes is kept as read (by the tag loop): its name and flags would
  // be written back with bytes it never had.
  if (reader.overran) outer.overran = true;
  // The codes fill the rest of the tag; none when the name ran to its end.
  codes.clear();
  const uint32_t left = reader.TagBytesLeft();
  const bool wideCodes = flags & kFontInfoWideCodes;
  for (uint32_t i = 0; i < (wideCodes ? left / 2 : left); ++i) codes.push_back(wideCodes ? reader.ReadU16() : reader.ReadU8());
  return outer.GetPosition() - start;
}

uint32_t DefineFontInfoTag::WriteInfo(SwfBitWriter& out, const uint8_t* language) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(fontId);
  WriteName(body, name, nameSuffix, fontId);
  body.WriteU8(flags);
  if (language) body.WriteU8(*language);
  for (uint16_t c : codes) (flags & kFontInfoWideCodes) ? body.WriteU16(c) : body.WriteU8(static_cast<uint8_t>(c));
  return WriteTagWithBody(*this, out, body);
}

uint32_t DefineFontInfoTag::Read(SwfReader& reader) { return ReadInfo(reader, nullptr); }
uint32_t DefineFontInfoTag::Write(SwfBitWriter& out) { return WriteInfo(out, nullptr); }
uint32_t DefineFontInfo2Tag::Read(SwfReader& reader) { return ReadInfo(reader, &language); }
uint32_t DefineFontInfo2Tag::Write(SwfBitWriter& out) { return WriteInfo(out, &language); }
