#include "flash/swf/SwfReader.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"

SwfReader::SwfReader() { Reset(); }

SwfReader::~SwfReader() { Close(); }

void SwfReader::Reset() {
  buffer.clear();
  position = 0;
  bitPosition = 0;
  frameCount = 0;
  tagLength = 0;
  tagEnd = 0;
  rootPathSeen = false;
}

bool SwfReader::LoadFromWriter(SwfBitWriter& writer) {
  Reset();
  const auto& bytes = writer.GetBuffer();
  // Positions are 32-bit; a larger input is cut (the format cannot describe more anyway).
  const size_t size = std::min<size_t>(bytes.size(), UINT32_MAX);
  buffer.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  tagEnd = GetSize();
  tagLength = tagEnd;
  return true;
}

uint32_t SwfReader::BytesLeft() const { return position < GetSize() ? GetSize() - position : 0; }

uint32_t SwfReader::TagBytesLeft() const {
  const uint32_t end = std::min(tagEnd, GetSize());
  return position < end ? end - position : 0;
}

void SwfReader::Seek(uint32_t newPosition) {
  position = std::min(newPosition, GetSize());
  bitPosition = 0;
}

void SwfReader::Skip(uint32_t count) {
  position = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + count, GetSize()));
}

void SwfReader::AlignByte() {
  if (bitPosition != 0) {
    if (position < GetSize()) ++position;
    bitPosition = 0;
  }
}

uint32_t SwfReader::ReadBits(uint16_t count, bool isSigned) {
  if (count == 0) return 0;
  if (count > 32) count = 32;
  uint32_t value = 0;
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t bit = 0;
    if (position < GetSize()) {
      bit = (buffer[position] >> (7 - bitPosition)) & 1u;
      if (++bitPosition > 7) {
        bitPosition = 0;
        ++position;
      }
    }
    value = (value << 1) | bit;
  }
  if (isSigned && count < 32 && (value & (1u << (count - 1)))) value |= ~0u << count;
  return value;
}

uint8_t SwfReader::PeekU8() {
  const uint32_t at = position + (bitPosition != 0 ? 1 : 0);
  return at < GetSize() ? buffer[at] : 0;
}

uint8_t SwfReader::ReadU8() {
  AlignByte();
  if (BytesLeft() < 1) return 0;
  return buffer[position++];
}

uint16_t SwfReader::ReadU16() {
  AlignByte();
  if (BytesLeft() < 2) return 0;
  const uint16_t v = static_cast<uint16_t>(buffer[position] | (buffer[position + 1] << 8));
  position += 2;
  return v;
}

uint32_t SwfReader::ReadU32() {
  AlignByte();
  if (BytesLeft() < 4) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | buffer[position + static_cast<uint32_t>(i)];
  position += 4;
  return v;
}

std::string SwfReader::ReadStringBytes(uint32_t count) {
  AlignByte();
  std::string bytes;
  if (count > 0) {
    const uint32_t n = std::min(count, BytesLeft());
    bytes.assign(reinterpret_cast<const char*>(buffer.data() + position), n);
    position += n;
  } else {
    const uint32_t size = GetSize();
    uint32_t end = position;
    while (end < size && buffer[end] != 0) ++end;
    bytes.assign(reinterpret_cast<const char*>(buffer.data() + position), end - position);
    position = end < size ? end + 1 : end;
    return bytes;
  }
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

void SwfReader::ReadString(std::wstring& out, uint32_t count, bool) {
  const std::string bytes = ReadStringBytes(count);
  out.clear();
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
}

void SwfReader::ReadString(SwfString& out, uint32_t count, bool detectRootPath) {
  std::string bytes = ReadStringBytes(count);
  if (detectRootPath) {
    std::string head = bytes.substr(0, 5);
    for (char& c : head) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if ((!bytes.empty() && bytes[0] == '/') || head == "_root") rootPathSeen = true;
  }
  out = SwfString::FromFile(std::move(bytes), GetVersion());
}

void SwfReader::ReadBytes(std::vector<uint8_t>& out, uint32_t count) {
  AlignByte();
  const uint32_t n = std::min(count, BytesLeft());
  out.insert(out.end(), buffer.begin() + position, buffer.begin() + position + n);
  position += n;
}

SwfTag* SwfReader::ReadNextTag() {
  AlignByte();
  const uint16_t recordHeader = ReadU16();
  const uint16_t code = static_cast<uint16_t>(recordHeader >> 6);
  uint32_t length = recordHeader & 0x3F;
  if (length == 0x3F) length = ReadU32();
  // Computed in 64 bits and clamped to the input: a forged length can neither wrap below
  // the body's start nor reach past the bytes present.
  const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + length, GetSize()));
  const uint32_t savedLength = tagLength;
  const uint32_t savedEnd = tagEnd;
  tagLength = length;
  tagEnd = end;
  SwfTag* tag = CreateTagForCode(*this, code, length);
  tag->Read(*this);
  AlignByte();
  if (position != end) Seek(end);
  tagLength = savedLength;
  tagEnd = savedEnd;
  return tag;
}
