#pragma once
// The SWF file header: signature, version, file length, stage rectangle, frame rate (8.8
// fixed point) and frame count.
#include <cstdint>

#include "flash/swf/SwfRecords.h"

class SwfHeaderRecord : public SwfObject {
 public:
  void Set(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax, float rate, uint8_t swfVersion);
  void SetFrameRate(float rate) { frameRate = rate; }
  void SetFrameCount(uint16_t count) { frameCount = count; }
  void SetFileLength(uint32_t length) { fileLength = length; }
  int32_t GetWidth() const { return frameRect.xmax - frameRect.xmin; }
  int32_t GetHeight() const { return frameRect.ymax - frameRect.ymin; }

  // Writes the header; returns 1.
  uint32_t Write(SwfBitWriter& out) override;
  // With `checkSignature`, the input starts with "FWS" and the version (anything else gives
  // 0); without it, at the file length. Returns the bytes consumed.
  uint32_t Read(SwfReader& reader, bool checkSignature);
  using SwfObject::Read;

  float frameRate = 12.0f;
  uint16_t frameCount = 0;
  uint32_t fileLength = 0;
  SwfRect frameRect;
  uint8_t version = 4;
};
