#include "flash/swf/SwfFileReader.h"

#include <unistd.h>

#include <algorithm>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"

SwfFileReader::~SwfFileReader() { SwfFileReader::Close(); }

void SwfFileReader::Close() {
  // An inflated copy has no name: closing it removes it.
  if (file) fclose(file);
  file = nullptr;
}

void SwfFileReader::GetFrameSize(uint32_t& width, uint32_t& height) {
  width = static_cast<uint32_t>(frameRect[1] - frameRect[0]);
  height = static_cast<uint32_t>(frameRect[3] - frameRect[2]);
}

bool SwfFileReader::Open(const PathString& path, bool checkSignature) {
  Close();
  return OpenFile(path, checkSignature);
}

bool SwfFileReader::OpenFile(const PathString& path, bool checkSignature) {
  // Not handed to child processes.
  return OpenFrom(OpenFilePath(path, "rbe"), &path, checkSignature);
}

bool SwfFileReader::OpenFrom(FILE* opened, const PathString* path, bool checkSignature) {
  Reset();
  errorCode = 0;
  fileSize = 0;
  file = opened;
  if (!file) {
    errorCode = kSwfErrorCannotOpen;
    return false;
  }
  off_t size = -1;
  if (fseeko(file, 0, SEEK_END) == 0) size = ftello(file);
  fseeko(file, 0, SEEK_SET);
  fileSize = size > 0 ? static_cast<uint32_t>(std::min<off_t>(size, UINT32_MAX)) : 0;
  tagEnd = fileSize;
  tagLength = fileSize;
  position = 0;
  bitPosition = 0;
  compressed = 0;
  if (checkSignature) {
    const uint8_t first = ReadU8();
    if (first == 'C' && path) {
      Close();
      // The inflated copy is this reader's own until Close.
      uint32_t error = 0;
      const int inflated = InflateSwfToTemporary(*path, error);
      if (inflated < 0) {
        errorCode = error;
        compressed = 1;
        return false;
      }
      FILE* copy = fdopen(inflated, "rb");
      if (!copy) close(inflated);
      const bool ok = OpenFrom(copy, nullptr, true);
      compressed = 1;
      if (!ok) Close();
      return ok;
    }
    const uint8_t w = ReadU8(), s = ReadU8();
    if (first != 'F' || w != 'W' || s != 'S') {
      errorCode = kSwfErrorNotSwf;
      return false;
    }
    header.version = ReadU8();
  }
  header.fileLength = ReadU32();
  const uint32_t bits = ReadBits(5, false);
  for (int32_t& v : frameRect) v = static_cast<int32_t>(ReadBits(static_cast<uint16_t>(bits), true));
  AlignByte();
  header.frameRect = SwfRect(frameRect[0], frameRect[2], frameRect[1], frameRect[3]);
  const uint8_t fraction = ReadU8();
  const uint8_t whole = ReadU8();
  header.frameRate = static_cast<float>(whole + fraction / 256.0);
  frameCount = ReadU16();
  header.frameCount = static_cast<uint16_t>(frameCount);
  tagEnd = fileSize;
  tagLength = fileSize;
  return true;
}

// ---- Primitive reads from the file ----

uint32_t SwfFileReader::ReadRaw(uint8_t* to, uint32_t count) {
  if (!file || position >= ReadLimit()) return 0;
  count = std::min(count, ReadLimit() - position);
  const auto got = static_cast<uint32_t>(fread(to, 1, count, file));
  if (got < count) clearerr(file);
  position += got;
  return got;
}

// The file's next byte without moving, -1 at its end.
int SwfFileReader::PeekRaw() {
  const int c = getc(file);
  if (c == EOF) clearerr(file);
  else ungetc(c, file);
  return c;
}

void SwfFileReader::Seek(uint32_t newPosition) {
  position = std::min(newPosition, fileSize);
  bitPosition = 0;
  if (file) {
    clearerr(file);
    fseeko(file, position, SEEK_SET);
  }
}

void SwfFileReader::Skip(uint32_t count) {
  Seek(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + count, fileSize)));
}

void SwfFileReader::AlignByte() {
  if (bitPosition == 0) return;
  bitPosition = 0;
  uint8_t skipped;
  ReadRaw(&skipped, 1);
}

uint32_t SwfFileReader::ReadBits(uint16_t count, bool isSigned) {
  if (count == 0) return 0;
  if (count > 32) count = 32;
  uint32_t value = 0;
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t bit = 0;
    if (position < ReadLimit() && file) {
      // The byte stays in the file until its last bit is used.
      if (bitPosition == 0) {
        const int c = PeekRaw();
        bitByte = c == EOF ? 0 : static_cast<uint8_t>(c);
      }
      bit = (bitByte >> (7 - bitPosition)) & 1u;
      if (++bitPosition > 7) {
        bitPosition = 0;
        uint8_t used;
        ReadRaw(&used, 1);
      }
    } else {
      overran = true;
    }
    value = (value << 1) | bit;
  }
  if (isSigned && count < 32 && (value & (1u << (count - 1)))) value |= ~0u << count;
  return value;
}

uint8_t SwfFileReader::PeekU8() {
  const uint32_t at = position + (bitPosition != 0 ? 1 : 0);
  if (!file || at >= ReadLimit()) return 0;
  if (bitPosition == 0) {
    const int c = PeekRaw();
    return c == EOF ? 0 : static_cast<uint8_t>(c);
  }
  clearerr(file);
  fseeko(file, at, SEEK_SET);
  const int c = getc(file);
  clearerr(file);
  fseeko(file, position, SEEK_SET);  // back to the byte being read bit by bit
  return c == EOF ? 0 : static_cast<uint8_t>(c);
}

uint8_t SwfFileReader::ReadU8() {
  AlignByte();
  uint8_t b = 0;
  if (ReadRaw(&b, 1) == 1) return b;
  overran = true;
  return 0;
}

uint16_t SwfFileReader::ReadU16() {
  AlignByte();
  if (!CanRead(2)) return 0;
  uint8_t b[2] = {};
  ReadRaw(b, 2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t SwfFileReader::ReadU32() {
  AlignByte();
  if (!CanRead(4)) return 0;
  uint8_t b[4] = {};
  ReadRaw(b, 4);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

std::string SwfFileReader::ReadStringBytes(uint32_t count) {
  AlignByte();
  std::string bytes;
  if (count > 0) {
    std::vector<uint8_t> raw;
    ReadBytes(raw, count);
    bytes.assign(raw.begin(), raw.end());
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
  }
  // A string missing its 0 byte ends with the tag being read, never in the next tag's bytes.
  const uint32_t end = ReadLimit();
  uint8_t c;
  while (position < end && ReadRaw(&c, 1) == 1 && c != 0) bytes.push_back(static_cast<char>(c));
  return bytes;
}

void SwfFileReader::ReadString(std::wstring& out, uint32_t count, bool) {
  const std::string bytes = ReadStringBytes(count);
  out.clear();
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
}

void SwfFileReader::ReadBytes(std::vector<uint8_t>& out, uint32_t count) {
  AlignByte();
  // Grown with the bytes read, never ahead of them.
  uint8_t block[64 * 1024];
  while (count > 0) {
    const uint32_t got = ReadRaw(block, std::min<uint32_t>(count, sizeof block));
    if (got == 0) break;
    out.insert(out.end(), block, block + got);
    count -= got;
  }
}
