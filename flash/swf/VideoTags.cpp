#include "flash/swf/VideoTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

constexpr const char* kMakerName = "Orvenna Software";
constexpr const char* kMakerAddress = "http://www.orvenna.com";

// A u8 length and at most 255 bytes of the text.
void WriteShortString(SwfBitWriter& out, const std::string& text) {
  const std::string cut = text.substr(0, 255);
  out.WriteU8(static_cast<uint8_t>(cut.size()));
  out.WriteString(cut);
}

std::string ReadShortString(SwfReader& reader) {
  const uint8_t n = reader.ReadU8();
  std::vector<uint8_t> bytes;
  reader.ReadBytes(bytes, std::min<uint32_t>(n, reader.TagBytesLeft()));
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

void DefineVideoStreamTag::Setup(uint32_t frames, uint16_t pixelWidth, uint16_t pixelHeight) {
  frameCount = frames;
  width = pixelWidth;
  height = pixelHeight;
  characterId = 0;
  videoFlags = 1;
  codecId = 2;
}

void DefineVideoStreamTag::SetDeblocking(uint8_t value) {
  videoFlags = static_cast<uint8_t>((videoFlags & 0xF9) | ((value * 2) & 0x06));
}

uint32_t DefineVideoStreamTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  frameCount = reader.ReadU16();
  width = reader.ReadU16();
  height = reader.ReadU16();
  videoFlags = reader.ReadU8();
  codecId = reader.ReadU8();
  return reader.GetPosition() - start;
}

uint32_t DefineVideoStreamTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(characterId);
  body.WriteU16(static_cast<uint16_t>(frameCount));
  body.WriteU16(width);
  body.WriteU16(height);
  body.WriteU8(videoFlags);
  body.WriteU8(codecId);
  return WriteTagWithBody(*this, out, body);
}

uint32_t VideoFrameTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  // Numbers cut off by the tag's end read as 0, never from the next tag, and make the tag
  // loop keep the frame as read.
  streamId = reader.ReadU16();
  frameNumber = reader.ReadU16();
  data.clear();
  // A body shorter than its two numbers holds no data.
  if (bodyLength > 4) reader.ReadBytes(data, std::min(bodyLength - 4, reader.TagBytesLeft()));
  return reader.GetPosition() - start;
}

uint32_t VideoFrameTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.Reserve(static_cast<uint32_t>(std::min<size_t>(data.size() + 4, UINT32_MAX)));
  body.WriteU16(streamId);
  body.WriteU16(frameNumber);
  body.WriteBytes(data);
  const uint32_t n = WriteTagWithBody(*this, out, body);
  out.Align();
  return n;
}

void VideoFrameTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(streamId, SwfIdRole::kRefers); }

CreatorInfoTag::CreatorInfoTag(uint16_t first, uint16_t second) : firstVersion(first), secondVersion(second) {}

AudioEditionCreatorTag::AudioEditionCreatorTag(uint16_t first, uint16_t second) : CreatorInfoTag(first, second) {
  productName = "Brivane";
}

VideoEditionCreatorTag::VideoEditionCreatorTag(uint16_t first, uint16_t second) : CreatorInfoTag(first, second) {
  productName = "Zentaro";
}

uint32_t CreatorInfoTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ReadShortString(reader);
  ReadShortString(reader);
  productName = ReadShortString(reader);
  constantA = reader.ReadU32();
  firstVersion = reader.ReadU16();
  constantB = reader.ReadU32();
  secondVersion = reader.ReadU16();
  return reader.GetPosition() - start;
}

uint32_t CreatorInfoTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  WriteShortString(body, kMakerName);
  WriteShortString(body, kMakerAddress);
  WriteShortString(body, productName);
  body.WriteU32(constantA);
  body.WriteU16(firstVersion);
  body.WriteU32(constantB);
  body.WriteU16(secondVersion);
  return WriteTagWithBody(*this, out, body);
}
