#include "flash/swf/SwfBitWriter.h"

#include "flash/swf/SwfObject.h"

SwfBitWriter::SwfBitWriter(uint8_t version) : version(version) {}

void SwfBitWriter::WriteBits(uint32_t value, uint32_t count) {
  if (count > 32) count = 32;
  for (uint32_t i = count; i-- > 0;) {
    if (pendingBits == 8) {
      bytes.push_back(pendingByte);
      ++byteCount;
      pendingByte = 0;
      pendingBits = 0;
    }
    if ((value >> i) & 1u) pendingByte |= static_cast<uint8_t>(1u << (7 - pendingBits));
    ++pendingBits;
  }
}

void SwfBitWriter::Align() {
  if (pendingBits == 0) return;
  bytes.push_back(pendingByte);
  ++byteCount;
  pendingByte = 0;
  pendingBits = 0;
}

void SwfBitWriter::WriteU8(uint8_t value) {
  Align();
  bytes.push_back(value);
  ++byteCount;
}

void SwfBitWriter::WriteU16(uint16_t value) {
  Align();
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
  byteCount += 2;
}

void SwfBitWriter::WriteS16(int16_t value) { WriteU16(static_cast<uint16_t>(value)); }

void SwfBitWriter::WriteU32(uint32_t value) {
  Align();
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  byteCount += 4;
}

void SwfBitWriter::WriteBytes(const std::vector<uint8_t>& data) { WriteBytes(data.data(), data.size()); }

void SwfBitWriter::WriteBytes(const uint8_t* data, size_t count) {
  Align();
  bytes.insert(bytes.end(), data, data + count);
  byteCount += static_cast<uint32_t>(count);
}

void SwfBitWriter::WriteString(const std::string& text) {
  WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void SwfBitWriter::WriteWideString(const std::wstring& text) {
  if (text.empty()) return;
  WriteString(EncodeSwfText(text, version));
}

void SwfBitWriter::WriteSwfString(const SwfString& text) {
  Align();
  WriteString(text.Encode(version));
}

void SwfBitWriter::WriteRecord(SwfObject* record) {
  if (record) record->Write(*this);
}

void SwfBitWriter::AppendWriter(SwfBitWriter& other) {
  other.Align();
  if (&other == this) return;
  if (other.Failed()) Fail(other.failureReason);
  WriteBytes(other.bytes);
}

void SwfBitWriter::AppendBits(SwfBitWriter& other) {
  const uint32_t k = other.pendingBits;
  const uint32_t m = other.byteCount;
  const uint8_t last = other.pendingByte;
  if (other.Failed() && &other != this) Fail(other.failureReason);
  for (uint32_t i = 0; i < m; ++i) WriteBits(other.bytes[i], 8);
  if (k > 0) WriteBits(static_cast<uint32_t>(last >> (8 - k)), k);
  other.Align();
}

void SwfBitWriter::Fail(const std::string& reason) {
  if (failureReason.empty()) failureReason = reason.empty() ? "the movie could not be written" : reason;
}

void SwfBitWriter::Reserve(uint32_t size) { bytes.reserve(size); }

uint32_t SwfBitWriter::Capacity() const { return static_cast<uint32_t>(bytes.capacity()); }

void SwfBitWriter::Clear() {
  bytes.clear();
  byteCount = 0;
  pendingByte = 0;
  pendingBits = 0;
  failureReason.clear();
}

const std::vector<uint8_t>& SwfBitWriter::GetBuffer() {
  Align();
  return bytes;
}

namespace {

// The record header's bytes into `out`; returns how many (2 or 6).
size_t TagHeaderBytes(uint8_t (&out)[6], uint16_t code, uint32_t length, bool forceLong) {
  const bool shortForm = length <= 62 && !forceLong;
  const uint16_t first = static_cast<uint16_t>((code << 6) | (shortForm ? length : 0x3F));
  out[0] = static_cast<uint8_t>(first);
  out[1] = static_cast<uint8_t>(first >> 8);
  if (shortForm) return 2;
  for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<uint8_t>(length >> (8 * i));
  return 6;
}

}  // namespace

void BuildTagHeader(std::vector<uint8_t>& result, uint16_t code, uint32_t length, bool forceLong) {
  uint8_t header[6];
  result.assign(header, header + TagHeaderBytes(header, code, length, forceLong));
}

void BuildTagHeader(std::vector<uint8_t>& result, SwfTag& tag, uint32_t length, bool forceLong) {
  BuildTagHeader(result, tag.GetTagCode(), length, forceLong);
}

void WriteTagHeader(SwfTag& tag, SwfBitWriter& out, uint32_t length, bool forceLong) {
  uint8_t header[6];
  out.WriteBytes(header, TagHeaderBytes(header, tag.GetTagCode(), length, forceLong));
}
