#pragma once
// In-memory writers that collect bits and bytes into a growable byte vector, with a fixed or
// selectable byte order for multi-byte values. The FLV serialisation goes through the
// big-endian member; SWF objects have their own little-endian SwfBitWriter.
#include <cstdint>
#include <vector>

class StreamBitWriter {
 public:
  StreamBitWriter() = default;
  virtual ~StreamBitWriter() = default;
  StreamBitWriter(const StreamBitWriter&) = delete;
  StreamBitWriter& operator=(const StreamBitWriter&) = delete;

  // Byte writes align to a whole byte first.
  virtual void Write(char value);
  virtual void Write(signed char value);
  virtual void Write(unsigned char value);
  virtual void Write(int16_t value);
  virtual void Write(uint16_t value);
  virtual void Write(int32_t value);
  virtual void Write(uint32_t value);
  // Writes the low `count` bits of value (at most 32), most significant first, without
  // aligning. A completed byte waits in the accumulator until the next write.
  virtual void WriteBits(uint32_t value, uint32_t count);
  virtual void Write(float value);
  virtual void Write(double value);
  // Appends the other writer's whole content, bit for bit.
  virtual void AppendWriter(const StreamBitWriter& other);
  // Appends the first bitCount bits of the other writer (never more than it holds).
  virtual void AppendWriterBits(const StreamBitWriter& other, uint32_t bitCount);
  virtual void WriteU8(uint8_t value);
  virtual void WriteU16(uint16_t value);
  virtual void WriteU32(uint32_t value);

  // Moves pending bits into the vector as one zero-filled byte.
  void Align();
  // Bytes in the vector, plus one when bits are pending.
  uint32_t GetSize() const;
  // The output, read in place; flush aligns first. pendingByte receives the accumulator.
  const std::vector<uint8_t>& GetBuffer(bool flush, uint8_t* pendingByte = nullptr);

 protected:
  void AppendByte(uint8_t byte);
  // Appends `size` bytes of an integer, most significant first when bigEndian.
  void AppendInteger(uint64_t value, int size, bool bigEndian);

  bool bigEndian_ = false;
  uint32_t pendingBits_ = 0;
  uint32_t byteCount_ = 0;
  std::vector<uint8_t> bytes_;
  uint8_t accumulator_ = 0;
};

// Most significant byte first for every multi-byte value, floats included.
class BigEndianBitWriter : public StreamBitWriter {
 public:
  BigEndianBitWriter() = default;
  ~BigEndianBitWriter() override = default;

  using StreamBitWriter::Write;
  void Write(int16_t value) override;
  void Write(uint16_t value) override;
  void Write(int32_t value) override;
  void Write(uint32_t value) override;
  void Write(float value) override;
  void Write(double value) override;
  void WriteU16(uint16_t value) override;
  void WriteU32(uint32_t value) override;
};

// Least significant byte first for every multi-byte value, floats included.
class LittleEndianBitWriter : public StreamBitWriter {
 public:
  LittleEndianBitWriter() = default;
  ~LittleEndianBitWriter() override = default;

  using StreamBitWriter::Write;
  void Write(int16_t value) override;
  void Write(uint16_t value) override;
  void Write(int32_t value) override;
  void Write(uint32_t value) override;
  void Write(float value) override;
  void Write(double value) override;
  void WriteU16(uint16_t value) override;
  void WriteU32(uint32_t value) override;
};
