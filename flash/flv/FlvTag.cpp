#include "flash/flv/FlvTag.h"

#include "flash/flv/StreamBitWriter.h"

namespace {

uint32_t WriteBytes(StreamBitWriter& writer, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) writer.WriteU8(b);
  return static_cast<uint32_t>(bytes.size());
}

void WriteU24(StreamBitWriter& writer, uint32_t value) {
  writer.WriteU8(static_cast<uint8_t>(value >> 16));
  writer.WriteU8(static_cast<uint8_t>(value >> 8));
  writer.WriteU8(static_cast<uint8_t>(value));
}

// Size of what a body writes, measured on a scratch writer.
uint32_t MeasuredSize(const FlvTagBody& body) {
  BigEndianBitWriter scratch;
  return body.Write(scratch);
}

}  // namespace

// Audio.
uint32_t FlvAudioData::Read(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length == 0) return 0;
  flags_ = bytes[0];
  data_.assign(bytes + 1, bytes + length);
  return length;
}

uint32_t FlvAudioData::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  writer.WriteU8(flags_);
  WriteBytes(writer, data_);
  return writer.GetSize() - start;
}

uint32_t FlvAudioData::Size() const { return static_cast<uint32_t>(data_.size()) + 1; }

void FlvAudioData::SetData(const uint8_t* bytes, uint32_t count) {
  if (bytes)
    data_.assign(bytes, bytes + count);
  else
    data_.clear();
}

// Video.
uint32_t FlvVideoData::Read(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length == 0) return 0;
  frameType_ = static_cast<uint8_t>(bytes[0] >> 4);
  codecId_ = static_cast<uint8_t>(bytes[0] & 0x0F);
  data_.assign(bytes + 1, bytes + length);
  return length;
}

uint32_t FlvVideoData::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  writer.WriteBits(frameType_, 4);
  writer.WriteBits(codecId_, 4);
  WriteBytes(writer, data_);
  writer.Align();
  return writer.GetSize() - start;
}

uint32_t FlvVideoData::Size() const { return static_cast<uint32_t>(data_.size()) + 1; }

void FlvVideoData::SetData(const uint8_t* bytes, uint32_t count) {
  if (bytes)
    data_.assign(bytes, bytes + count);
  else
    data_.clear();
}

// Script data.
uint32_t FlvScriptDataTag::Read(const uint8_t*, uint32_t) { return 0; }

uint32_t FlvScriptDataTag::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  writer.WriteU8(nameType_);
  WriteAmfStringBody(writer, name_.get());
  WriteAmfValueOrUndefined(writer, value_.get());
  return writer.GetSize() - start;
}

uint32_t FlvScriptDataTag::Size() const { return MeasuredSize(*this); }

void FlvScriptDataTag::SetData(const uint8_t*, uint32_t) {}

// Metadata placeholder.
uint32_t FlvMetaDataTag::Read(const uint8_t*, uint32_t) { return 0; }

uint32_t FlvMetaDataTag::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  writer.WriteU8(kAmfString);
  const std::wstring name = L"onMetaData";
  WriteAmfStringBody(writer, &name);
  writer.WriteU8(kAmfEcmaArray);
  WriteAmfEcmaArrayBody(writer, items_);
  return writer.GetSize() - start;
}

uint32_t FlvMetaDataTag::Size() const { return MeasuredSize(*this); }

void FlvMetaDataTag::SetData(const uint8_t*, uint32_t) {}

// Tag.
FlvTag::FlvTag(uint8_t type) : type_(type) {
  switch (type) {
    case kFlvTagAudio:
      body_ = std::make_unique<FlvAudioData>();
      break;
    case kFlvTagVideo:
      body_ = std::make_unique<FlvVideoData>();
      break;
    case kFlvTagScriptData:
      body_ = std::make_unique<FlvMetaDataTag>();
      break;
    default:
      break;
  }
}

FlvTag::~FlvTag() = default;

void FlvTag::SetBody(std::unique_ptr<FlvTagBody> body) { body_ = std::move(body); }

uint32_t FlvTag::Write(StreamBitWriter& writer) const {
  if (!body_) return 0;
  const uint32_t bodySize = body_->Size();
  if (bodySize > kFlvMaxBodySize) return 0;
  const uint32_t start = writer.GetSize();
  writer.WriteU8(type_);
  WriteU24(writer, bodySize);
  // Timestamps past 24 bits continue in the extended byte, so long files keep their
  // timeline; the stream id that follows is always 0.
  WriteU24(writer, timestamp & 0xFFFFFF);
  writer.WriteU8(static_cast<uint8_t>(timestamp >> 24));
  WriteU24(writer, 0);
  body_->Write(writer);
  return writer.GetSize() - start;
}
