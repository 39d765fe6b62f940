#pragma once
// The input side of the SWF object model: primitive reads from an in-memory movie, and the
// reading of one tag. Movies come from anywhere, so every read is bounded by the bytes
// present: reads past the end give 0 and never move beyond the end.
#include <cstdint>
#include <string>
#include <vector>

#include "flash/swf/SwfHeaderRecord.h"
#include "flash/swf/SwfText.h"

class SwfBitWriter;
class SwfTag;

class SwfReader {
 public:
  SwfReader();
  virtual ~SwfReader();
  SwfReader(const SwfReader&) = delete;
  SwfReader& operator=(const SwfReader&) = delete;

  virtual void Close() {}
  // Empties the input; position, bit position, frame count and flags back to 0.
  virtual void Reset();
  // Takes the writer's bytes (aligned first) as the input.
  virtual bool LoadFromWriter(SwfBitWriter& writer);

  virtual void Seek(uint32_t newPosition);
  virtual void Skip(uint32_t count);
  virtual void AlignByte();
  // `count` bits, most significant first; with `isSigned` sign-extended from the top bit.
  virtual uint32_t ReadBits(uint16_t count, bool isSigned);
  virtual uint8_t PeekU8();
  virtual uint8_t ReadU8();
  virtual uint16_t ReadU16();
  virtual uint32_t ReadU32();
  // With `count` 0, bytes up to and including the first 0 byte (or the end); otherwise
  // exactly `count` bytes, never beyond the end. Each byte becomes the character with the
  // same code; one trailing 0 character is removed.
  virtual void ReadString(std::wstring& out, uint32_t count, bool detectRootPath);
  // The same, keeping the bytes as read (for writing them back unchanged), decoded for the
  // movie's version. With `detectRootPath` a string starting with "/" or "_root" (in any
  // letter case) sets `rootPathSeen`.
  void ReadString(SwfString& out, uint32_t count, bool detectRootPath);
  // Up to `count` bytes appended to `out`: no more than remain in the input.
  void ReadBytes(std::vector<uint8_t>& out, uint32_t count);

  uint32_t GetPosition() const { return position; }
  uint32_t GetBitPosition() const { return bitPosition; }
  uint32_t GetSize() const { return static_cast<uint32_t>(buffer.size()); }
  uint32_t BytesLeft() const;
  // Bytes left before the end of the tag being read (never beyond the input's end).
  uint32_t TagBytesLeft() const;
  // The SWF version of the movie being read.
  uint8_t GetVersion() const { return header.version; }

  // Reads one tag at the current position: its record header, a tag from the factory and
  // the tag's own Read; then moves to the tag's end. The caller owns the tag. The end is
  // clamped to the input, so every tag moves the position forward.
  SwfTag* ReadNextTag();

  SwfHeaderRecord header;
  uint32_t frameCount = 0;
  // Body length of the tag being read, and the position where its body ends.
  uint32_t tagLength = 0;
  uint32_t tagEnd = 0;
  bool rootPathSeen = false;

 protected:
  std::vector<uint8_t> buffer;
  uint32_t position = 0;
  uint32_t bitPosition = 0;

 private:
  std::string ReadStringBytes(uint32_t count);
};
