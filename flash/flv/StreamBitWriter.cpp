#include "flash/flv/StreamBitWriter.h"

#include <bit>
#include <cstring>

void StreamBitWriter::AppendByte(uint8_t byte) {
  bytes_.push_back(byte);
  ++byteCount_;
}

void StreamBitWriter::AppendInteger(uint64_t value, int size, bool bigEndian) {
  Align();
  for (int i = 0; i < size; ++i) {
    int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
    AppendByte(static_cast<uint8_t>(value >> shift));
  }
}

void StreamBitWriter::Align() {
  if (pendingBits_ == 0) return;
  AppendByte(accumulator_);
  accumulator_ = 0;
  pendingBits_ = 0;
}

uint32_t StreamBitWriter::GetSize() const {
  return static_cast<uint32_t>(bytes_.size()) + (pendingBits_ ? 1 : 0);
}

const std::vector<uint8_t>& StreamBitWriter::GetBuffer(bool flush, uint8_t* pendingByte) {
  if (flush) Align();
  if (pendingByte) *pendingByte = accumulator_;
  return bytes_;
}

void StreamBitWriter::Write(char value) { WriteU8(static_cast<uint8_t>(value)); }
void StreamBitWriter::Write(signed char value) { WriteU8(static_cast<uint8_t>(value)); }
void StreamBitWriter::Write(unsigned char value) { WriteU8(value); }
void StreamBitWriter::Write(int16_t value) { WriteU16(static_cast<uint16_t>(value)); }
void StreamBitWriter::Write(uint16_t value) { WriteU16(value); }
void StreamBitWriter::Write(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
void StreamBitWriter::Write(uint32_t value) { WriteU32(value); }

void StreamBitWriter::Write(float value) {
  AppendInteger(std::bit_cast<uint32_t>(value), 4, bigEndian_);
}

void StreamBitWriter::Write(double value) {
  AppendInteger(std::bit_cast<uint64_t>(value), 8, bigEndian_);
}

void StreamBitWriter::WriteU8(uint8_t value) {
  Align();
  AppendByte(value);
}

void StreamBitWriter::WriteU16(uint16_t value) { AppendInteger(value, 2, bigEndian_); }
void StreamBitWriter::WriteU32(uint32_t value) { AppendInteger(value, 4, bigEndian_); }

void StreamBitWriter::WriteBits(uint32_t value, uint32_t count) {
  if (count > 32) count = 32;
  for (uint32_t i = count; i-- > 0;) {
    if (pendingBits_ == 8) {
      AppendByte(accumulator_);
      accumulator_ = 0;
      pendingBits_ = 0;
    }
    if ((value >> i) & 1u) accumulator_ |= static_cast<uint8_t>(1u << (7 - pendingBits_));
    ++pendingBits_;
  }
}

void StreamBitWriter::AppendWriter(const StreamBitWriter& other) {
  AppendWriterBits(other, 8 * static_cast<uint32_t>(other.bytes_.size()) + other.pendingBits_);
}

void StreamBitWriter::AppendWriterBits(const StreamBitWriter& other, uint32_t bitCount) {
  // Never read past what the other writer holds. Its state is copied first, since it may be
  // this writer itself.
  const uint32_t otherBytes = static_cast<uint32_t>(other.bytes_.size());
  const uint32_t otherPending = other.pendingBits_;
  const uint8_t otherAccumulator = other.accumulator_;
  const uint64_t available = 8ull * otherBytes + otherPending;
  if (bitCount > available) bitCount = static_cast<uint32_t>(available);
  // The accumulator is the byte that follows the vector: a byte completed by WriteBits
  // stays there (8 pending bits) until the next bit is written.
  auto byteAt = [&](uint32_t i) { return i < otherBytes ? other.bytes_[i] : otherAccumulator; };
  const uint32_t whole = bitCount / 8;
  for (uint32_t i = 0; i < whole; ++i) WriteBits(byteAt(i), 8);
  const uint32_t rest = bitCount % 8;
  if (rest != 0) WriteBits(static_cast<uint32_t>(byteAt(whole)) >> (8 - rest), rest);
}

// Big-endian member.
void BigEndianBitWriter::Write(int16_t value) { WriteU16(static_cast<uint16_t>(value)); }
void BigEndianBitWriter::Write(uint16_t value) { WriteU16(value); }
void BigEndianBitWriter::Write(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
void BigEndianBitWriter::Write(uint32_t value) { WriteU32(value); }
void BigEndianBitWriter::Write(float value) {
  AppendInteger(std::bit_cast<uint32_t>(value), 4, true);
}
void BigEndianBitWriter::Write(double value) {
  AppendInteger(std::bit_cast<uint64_t>(value), 8, true);
}
void BigEndianBitWriter::WriteU16(uint16_t value) { AppendInteger(value, 2, true); }
void BigEndianBitWriter::WriteU32(uint32_t value) { AppendInteger(value, 4, true); }

// Little-endian member.
void LittleEndianBitWriter::Write(int16_t value) { WriteU16(static_cast<uint16_t>(value)); }
void LittleEndianBitWriter::Write(uint16_t value) { WriteU16(value); }
void LittleEndianBitWriter::Write(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
void LittleEndianBitWriter::Write(uint32_t value) { WriteU32(value); }
void LittleEndianBitWriter::Write(float value) {
  AppendInteger(std::bit_cast<uint32_t>(value), 4, false);
}
void LittleEndianBitWriter::Write(double value) {
  AppendInteger(std::bit_cast<uint64_t>(value), 8, false);
}
void LittleEndianBitWriter::WriteU16(uint16_t value) { AppendInteger(value, 2, false); }
void LittleEndianBitWriter::WriteU32(uint32_t value) { AppendInteger(value, 4, false); }
