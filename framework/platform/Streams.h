#pragma once
// Byte streams of the object library: an input-stream family with an in-memory reader, and
// two byte output streams, one over a standard output stream and one over a file stream.
#include <cstdint>
#include <fstream>
#include <ostream>
#include <vector>

#include "framework/platform/RefObject.h"

// Every operation has a default that returns 0 or does nothing.
class InputStream : public RefObject {
 public:
  InputStream() = default;
  ~InputStream() override = default;

  virtual int32_t Available() { return 0; }
  virtual void Close() {}
  virtual void Mark() {}
  virtual bool MarkSupported() { return false; }
  virtual int32_t ReadByte() { return 0; }
  // Reads up to count bytes into the vector from the offset on.
  virtual int32_t Read(std::vector<uint8_t>& /*into*/, int32_t /*offset*/, int32_t /*count*/) {
    return 0;
  }
  virtual void Reset() {}
  virtual int32_t Skip(int32_t /*n*/) { return 0; }
};

// Reads a byte vector it owns. The readable length never exceeds the vector, and the
// position always stays within [0, length].
class MemoryInputStream : public InputStream {
 public:
  // The readable length is the vector's size, or the given length when that is smaller.
  explicit MemoryInputStream(std::vector<uint8_t> bytes, int32_t length = INT32_MAX);
  ~MemoryInputStream() override = default;

  int32_t Available() override { return length_ - position_; }
  void Close() override {}
  void Mark() override { mark_ = position_; }
  bool MarkSupported() override { return false; }
  // The next byte (0 to 255), or 0 at the end.
  int32_t ReadByte() override;
  // -1 at the end; otherwise copies as many bytes as remain, as were asked for and as fit
  // into the vector after the offset, and returns how many it copied.
  int32_t Read(std::vector<uint8_t>& into, int32_t offset, int32_t count) override;
  void Reset() override { position_ = mark_; }
  // Moves the position by n, kept within [0, length]; returns the new position.
  int32_t Skip(int32_t n) override;

  int32_t Position() const { return position_; }

 private:
  std::vector<uint8_t> bytes_;
  int32_t length_ = 0;
  int32_t mark_ = 0;
  int32_t position_ = 0;
};

// Writes bytes to a standard output stream it does not own. Without a target every
// operation does nothing.
class ByteOutputStream : public RefObject {
 public:
  explicit ByteOutputStream(std::ostream* target = nullptr) : target_(target) {}
  ~ByteOutputStream() override = default;

  virtual void Close() {}
  virtual void Flush();
  virtual void Write(const std::vector<uint8_t>& bytes);
  // count bytes from the offset on, as far as the vector holds them.
  virtual void Write(const std::vector<uint8_t>& bytes, int32_t offset, int32_t count);
  virtual void WriteByte(uint8_t byte);

 private:
  std::ostream* target_;
};

// Writes bytes to the file stream set by SetTarget; until one is set, every operation
// does nothing.
class FileOutputStream : public RefObject {
 public:
  FileOutputStream() = default;
  ~FileOutputStream() override = default;

  virtual void Close();
  virtual void Flush();
  virtual void Write(const std::vector<uint8_t>& bytes);
  virtual void Write(const std::vector<uint8_t>& bytes, int32_t offset, int32_t count);
  virtual void WriteByte(uint8_t byte);
  virtual FileOutputStream& SetTarget(std::ofstream* target);

 private:
  std::ofstream fileStream_;
  std::ofstream* target_ = nullptr;
};
