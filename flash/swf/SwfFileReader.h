#pragma once
// Reads a SWF movie's header and tags straight from an open file instead of from memory: for
// learning a movie's stage, rate and frame count and scanning its first frame without loading
// the whole file. A "CWS" movie is inflated into a nameless temporary file of this reader's
// own, which goes when the reader closes it (or the process ends).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "flash/swf/SwfReader.h"
#include "framework/platform/PathString.h"

class SwfFileReader : public SwfReader {
 public:
  SwfFileReader() = default;
  ~SwfFileReader() override;

  // Parses the header and leaves the file at the first tag. Without `checkSignature` the file
  // starts with the length field.
  bool Open(const PathString& path, bool checkSignature);
  // Closes the file (which removes the inflated copy this reader made, if any).
  void Close() override;
  void GetFrameSize(uint32_t& width, uint32_t& height) override;
  uint32_t GetSize() const override { return fileSize; }

  void Seek(uint32_t newPosition) override;
  void Skip(uint32_t count) override;
  void AlignByte() override;
  uint32_t ReadBits(uint16_t count, bool isSigned) override;
  // The next byte of the file (the one after a partly read byte), without moving.
  uint8_t PeekU8() override;
  uint8_t ReadU8() override;
  uint16_t ReadU16() override;
  uint32_t ReadU32() override;
  void ReadString(std::wstring& out, uint32_t count, bool detectRootPath) override;
  using SwfReader::ReadString;
  void ReadBytes(std::vector<uint8_t>& out, uint32_t count) override;

  int32_t frameRect[4] = {0, 0, 0, 0};  // xmin, xmax, ymin, ymax (twips)
  uint32_t fileSize = 0;

 protected:
  std::string ReadStringBytes(uint32_t count) override;

 private:
  bool OpenFile(const PathString& path, bool checkSignature);
  // Reads the header of a file already open, which the reader takes; `path` names it, for
  // inflating it when compressed (null for a copy already inflated).
  bool OpenFrom(FILE* opened, const PathString* path, bool checkSignature);
  // The file's next byte without moving, EOF at its end.
  int PeekRaw();
  // Reads up to `count` bytes at the position; returns how many.
  uint32_t ReadRaw(uint8_t* to, uint32_t count);

  FILE* file = nullptr;
  uint8_t bitByte = 0;       // the byte whose bits are being read
};
