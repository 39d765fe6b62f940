#pragma once
// A plain owned byte vector with a base64 decoder (standard alphabet, "=" as the fill
// character), used to read base64 text from XML documents.
#include <cstddef>
#include <cstdint>
#include <vector>

class ByteBuffer {
 public:
  ByteBuffer() = default;

  // Decodes `length` characters of base64 text into the buffer, replacing what it held.
  // False only for a null text. Every read stays inside [0, length): a final group of a
  // single character yields no byte, and a negative length decodes nothing. Characters
  // outside the alphabet count as the value 255; "=" in the third or fourth place of a
  // group ends decoding.
  bool DecodeBase64(const char* text, int32_t length);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  const uint8_t* Data() const { return bytes_.data(); }
  size_t Size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};
