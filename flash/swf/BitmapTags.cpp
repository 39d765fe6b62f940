#include "flash/swf/BitmapTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

// Fixed fields are read only from the tag's own bytes: a tag cut inside them gives 0, never a
// byte of the next tag, and counts as overrun (the tag loop keeps such a tag as read).
uint8_t U8InTag(SwfReader& reader) { return reader.ReadU8(); }

uint16_t U16InTag(SwfReader& reader) {
  if (reader.TagBytesLeft() >= 2) return reader.ReadU16();
  reader.Skip(reader.TagBytesLeft());
  reader.overran = true;
  return 0;
}

uint32_t U32InTag(SwfReader& reader) {
  if (reader.TagBytesLeft() >= 4) return reader.ReadU32();
  reader.Skip(reader.TagBytesLeft());
  reader.overran = true;
  return 0;
}

// The bytes left of a body of `bodyLength` once `fixed` bytes are read (0 when the body is
// shorter), never more than the tag holds.
uint32_t BodyRest(SwfReader& reader, uint32_t bodyLength, uint32_t fixed) {
  return std::min(bodyLength > fixed ? bodyLength - fixed : 0, reader.TagBytesLeft());
}

// JPEG data up to and including the `markers`-th end-of-image marker (FF D9), for a tag whose
// length is not known; a byte FF always pairs with the byte after it. Without the markers,
// everything up to the tag's end.
void ReadToEndOfImage(SwfReader& reader, std::vector<uint8_t>& data, int markers) {
  const uint32_t start = reader.GetPosition();
  std::vector<uint8_t> rest;
  reader.ReadBytes(rest, reader.TagBytesLeft());
  size_t cut = rest.size();
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != 0xFF || i + 1 >= rest.size()) continue;
    ++i;
    if (rest[i] == 0xD9 && --markers == 0) {
      cut = i + 1;
      break;
    }
  }
  data.insert(data.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(cut));
  reader.Seek(start + static_cast<uint32_t>(cut));
}

// The id and the JPEG data: to the body's end when its length is known, else to the
// `markers`-th end-of-image marker.
uint32_t ReadJpegTag(SwfReader& reader, uint16_t& id, std::vector<uint8_t>& data, bool lengthKnown,
                     uint32_t bodyLength, int markers) {
  const uint32_t start = reader.GetPosition();
  data.clear();
  id = U16InTag(reader);
  if (lengthKnown) reader.ReadBytes(data, BodyRest(reader, bodyLength, 2));
  else ReadToEndOfImage(reader, data, markers);
  return reader.GetPosition() - start;
}

uint32_t WriteJpegTag(SwfTag& tag, SwfBitWriter& out, uint16_t id, const std::vector<uint8_t>& data) {
  const uint32_t before = out.GetByteCount();
  WriteTagHeader(tag, out, static_cast<uint32_t>(data.size() + 2), false);
  out.WriteU16(id);
  out.WriteBytes(data);
  return out.GetByteCount() - before;
}

}  // namespace

// ---- DefineBits

void DefineBitsTag::CopyFrom(const DefineBitsTag& other) {
  characterId = other.characterId;
  data = other.data;
}

void DefineBitsTag::Set(uint16_t id, const std::vector<uint8_t>& bytes) {
  characterId = id;
  data = bytes;
}

uint32_t DefineBitsTag::Read(SwfReader& reader) {
  return ReadJpegTag(reader, characterId, data, lengthFromHeader || bodyLength != 0, bodyLength, 1);
}

uint32_t DefineBitsTag::Write(SwfBitWriter& out) { return WriteJpegTag(*this, out, characterId, data); }

// ---- JPEGTables

uint32_t JpegTablesTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  data.clear();
  reader.ReadBytes(data, std::min(bodyLength, reader.TagBytesLeft()));
  return reader.GetPosition() - start;
}

uint32_t JpegTablesTag::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  WriteTagHeader(*this, out, static_cast<uint32_t>(data.size()), false);
  out.WriteBytes(data);
  return out.GetByteCount() - before;
}

// ---- DefineBitsJPEG2 and DefineBitsJPEG3

void DefineBitsJpeg2Tag::Set(uint16_t id, const std::vector<uint8_t>& bytes) {
  characterId = id;
  data = bytes;
}

uint32_t DefineBitsJpeg2Tag::Read(SwfReader& reader) {
  return ReadJpegTag(reader, characterId, data, lengthFromHeader || bodyLength != 0, bodyLength, 2);
}

uint32_t DefineBitsJpeg2Tag::Write(SwfBitWriter& out) { return WriteJpegTag(*this, out, characterId, data); }

uint32_t DefineBitsJpeg3Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  data.clear();
  alphaData.clear();
  characterId = U16InTag(reader);
  alphaDataOffset = U32InTag(reader);
  // The offset comes from the file: the JPEG data takes at most what the body holds after
  // the fixed fields, and the alpha data the rest.
  const uint32_t rest =
      lengthFromHeader || bodyLength != 0 ? BodyRest(reader, bodyLength, 6) : reader.TagBytesLeft();
  const uint32_t jpeg = std::min(alphaDataOffset, rest);
  reader.ReadBytes(data, jpeg);
  reader.ReadBytes(alphaData, rest - jpeg);
  return reader.GetPosition() - start;
}

uint32_t DefineBitsJpeg3Tag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  alphaDataOffset = static_cast<uint32_t>(data.size());
  body.WriteU16(characterId);
  body.WriteU32(alphaDataOffset);
  body.WriteBytes(data);
  body.WriteBytes(alphaData);
  return WriteTagWithBody(*this, out, body);
}

// ---- lossless

uint32_t DefineBitsLosslessTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  data.clear();
  characterId = U16InTag(reader);
  format = U8InTag(reader);
  SetWidth(U16InTag(reader));
  SetHeight(U16InTag(reader));
  colorTableSize = format == kBitmapColorMapped ? U8InTag(reader) : 0;
  reader.ReadBytes(data, reader.TagBytesLeft());
  return reader.GetPosition() - start;
}

uint32_t DefineBitsLosslessTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  body.WriteU8(format);
  body.WriteU16(width);
  body.WriteU16(height);
  if (format == kBitmapColorMapped) body.WriteU8(colorTableSize);
  body.WriteBytes(data);
  return WriteTagWithBody(*this, out, body, true);
}
