#pragma once
// The one output buffer through which every SWF object serialises itself: bit fields are
// packed most significant bit first, integers are little-endian, and every byte-sized write
// first pads the bit field in progress to a byte boundary.
#include <cstdint>
#include <string>
#include <vector>

#include "flash/swf/SwfText.h"

class SwfObject;
class SwfTag;

class SwfBitWriter {
 public:
  explicit SwfBitWriter(uint8_t version);

  // Writes the low `count` bits of `value`, the highest first.
  void WriteBits(uint32_t value, uint32_t count);
  void Align();

  void WriteU8(uint8_t value);
  void WriteU16(uint16_t value);
  void WriteS16(int16_t value);
  void WriteU32(uint32_t value);
  void WriteBytes(const std::vector<uint8_t>& bytes);
  void WriteBytes(const uint8_t* bytes, size_t count);
  // The characters as bytes, without a terminating zero.
  void WriteString(const std::string& text);
  // Wide text through the movie's text encoder (UTF-8 from version 6, Latin-1 below);
  // an empty string writes nothing, not even alignment.
  void WriteWideString(const std::wstring& text);
  // A string field: the bytes read from a movie, or its text encoded for this version.
  void WriteSwfString(const SwfString& text);
  void WriteRecord(SwfObject* record);

  // Byte-level join: aligns `other`, then appends its bytes.
  void AppendWriter(SwfBitWriter& other);
  // Bit-level join: continues this writer's bit field with the other's bits, no padding.
  void AppendBits(SwfBitWriter& other);

  // Marks the output as unusable: something could not be written the way the format asks.
  // The first reason is kept; joining this writer into another carries the mark over.
  void Fail(const std::string& reason);
  bool Failed() const { return !failureReason.empty(); }
  const std::string& FailureReason() const { return failureReason; }

  void Reserve(uint32_t bytes);
  uint32_t Capacity() const;
  void Clear();
  const std::vector<uint8_t>& GetBuffer();
  uint32_t GetByteCount() const { return byteCount; }
  uint8_t GetVersion() const { return version; }

 private:
  std::vector<uint8_t> bytes;
  uint8_t pendingByte = 0;
  uint32_t pendingBits = 0;
  uint32_t byteCount = 0;
  uint8_t version;
  std::string failureReason;
};

// Writes the record header of `tag` for a body of `length` bytes: the two-byte form for
// lengths up to 62 unless `forceLong`, else the six-byte form.
void WriteTagHeader(SwfTag& tag, SwfBitWriter& out, uint32_t length, bool forceLong);
void BuildTagHeader(std::vector<uint8_t>& result, SwfTag& tag, uint32_t length, bool forceLong);
// The same for a bare tag code.
void BuildTagHeader(std::vector<uint8_t>& result, uint16_t code, uint32_t length, bool forceLong);
