#include "flash/swf/SwfHeaderRecord.h"

#include <cmath>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

void SwfHeaderRecord::Set(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax, float rate,
                          uint8_t swfVersion) {
  frameRect.Set(xmin, ymin, xmax, ymax, false);
  frameRate = rate;
  version = swfVersion;
}

uint32_t SwfHeaderRecord::Write(SwfBitWriter& out) {
  out.WriteU8('F');
  out.WriteU8('W');
  out.WriteU8('S');
  out.WriteU8(version);
  out.WriteU32(fileLength);
  out.WriteRecord(&frameRect);
  const double rate = frameRate > 0 ? frameRate : 0.0;
  const double whole = std::floor(rate);
  out.WriteU8(static_cast<uint8_t>(static_cast<uint32_t>((rate - whole) * 256.0) & 0xFF));
  out.WriteU8(static_cast<uint8_t>(static_cast<uint64_t>(whole) & 0xFF));
  out.WriteU16(frameCount);
  return 1;
}

uint32_t SwfHeaderRecord::Read(SwfReader& reader, bool checkSignature) {
  const uint32_t start = reader.GetPosition();
  if (checkSignature) {
    const uint8_t f = reader.ReadU8(), w = reader.ReadU8(), s = reader.ReadU8();
    if (f != 'F' || w != 'W' || s != 'S') return 0;
    version = reader.ReadU8();
  }
  fileLength = reader.ReadU32();
  frameRect.Read(reader);
  const uint8_t fraction = reader.ReadU8();
  const uint8_t whole = reader.ReadU8();
  frameRate = static_cast<float>(whole + fraction / 256.0);
  frameCount = reader.ReadU16();
  return reader.GetPosition() - start;
}
