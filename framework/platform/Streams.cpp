#include "framework/platform/Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The part of [offset, offset + count) that lies inside a vector of the given size.
bool ClampRange(size_t size, int32_t offset, int32_t count, size_t& start, size_t& n) {
  if (count <= 0 || offset < 0 || static_cast<size_t>(offset) > size) return false;
  start = static_cast<size_t>(offset);
  n = std::min(static_cast<size_t>(count), size - start);
  return n > 0;
}

void PutBytes(std::ostream& out, const std::vector<uint8_t>& bytes, size_t start, size_t n) {
  for (size_t i = start; i < start + n; ++i) out.put(static_cast<char>(bytes[i]));
}

}  // namespace

MemoryInputStream::MemoryInputStream(std::vector<uint8_t> bytes, int32_t length)
    : bytes_(std::move(bytes)) {
  const size_t cap = std::min(bytes_.size(), static_cast<size_t>(INT32_MAX));
  length_ = static_cast<int32_t>(std::clamp<size_t>(length < 0 ? 0 : static_cast<size_t>(length), 0, cap));
}

int32_t MemoryInputStream::ReadByte() {
  if (position_ >= length_) return 0;
  return bytes_[static_cast<size_t>(position_++)];
}

int32_t MemoryInputStream::Read(std::vector<uint8_t>& into, int32_t offset, int32_t count) {
  if (position_ >= length_) return -1;
  size_t start = 0, room = 0;
  if (!ClampRange(into.size(), offset, count, start, room)) return 0;
  const size_t n = std::min(room, static_cast<size_t>(length_ - position_));
  std::memcpy(into.data() + start, bytes_.data() + position_, n);
  position_ += static_cast<int32_t>(n);
  return static_cast<int32_t>(n);
}

int32_t MemoryInputStream::Skip(int32_t n) {
  const int64_t moved = static_cast<int64_t>(position_) + n;
  position_ = static_cast<int32_t>(std::clamp<int64_t>(moved, 0, length_));
  return position_;
}

void ByteOutputStream::Flush() {
  if (target_) target_->flush();
}

void ByteOutputStream::Write(const std::vector<uint8_t>& bytes) {
  if (target_) PutBytes(*target_, bytes, 0, bytes.size());
}

void ByteOutputStream::Write(const std::vector<uint8_t>& bytes, int32_t offset, int32_t count) {
  size_t start = 0, n = 0;
  if (target_ && ClampRange(bytes.size(), offset, count, start, n)) PutBytes(*target_, bytes, start, n);
}

void ByteOutputStream::WriteByte(uint8_t byte) {
  if (target_) target_->put(static_cast<char>(byte));
}

void FileOutputStream::Close() {
  if (target_) target_->close();
}

void FileOutputStream::Flush() {
  if (target_) target_->flush();
}

void FileOutputStream::Write(const std::vector<uint8_t>& bytes) {
  if (target_) PutBytes(*target_, bytes, 0, bytes.size());
}

void FileOutputStream::Write(const std::vector<uint8_t>& bytes, int32_t offset, int32_t count) {
  size_t start = 0, n = 0;
  if (target_ && ClampRange(bytes.size(), offset, count, start, n)) PutBytes(*target_, bytes, start, n);
}

void FileOutputStream::WriteByte(uint8_t byte) {
  if (target_) target_->put(static_cast<char>(byte));
}

FileOutputStream& FileOutputStream::SetTarget(std::ofstream* target) {
  target_ = target;
  return *this;
}
