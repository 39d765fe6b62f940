#pragma once
// FLV tags and their bodies: audio, video and script data (AMF0).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/flv/AmfValue.h"

class StreamBitWriter;

enum : uint8_t {
  kFlvTagAudio = 8,
  kFlvTagVideo = 9,
  kFlvTagScriptData = 18,
};

// Size of a tag header, and the largest body its 24-bit size field can describe.
constexpr uint32_t kFlvTagHeaderSize = 11;
constexpr uint32_t kFlvMaxBodySize = 0xFFFFFF;

class FlvTagBody {
 public:
  FlvTagBody() = default;
  virtual ~FlvTagBody() = default;
  FlvTagBody(const FlvTagBody&) = delete;
  FlvTagBody& operator=(const FlvTagBody&) = delete;

  // Reads the body from `length` bytes; returns the bytes consumed.
  virtual uint32_t Read(const uint8_t* bytes, uint32_t length) = 0;
  // Returns the bytes written.
  virtual uint32_t Write(StreamBitWriter& writer) const = 0;
  virtual uint32_t Size() const = 0;
  virtual void SetData(const uint8_t* bytes, uint32_t count) = 0;
};

// Audio body: one flags byte (sound format, rate, size, type), then the coded audio.
class FlvAudioData : public FlvTagBody {
 public:
  FlvAudioData() = default;

  // Each setter takes its field already shifted into place and keeps the other bits.
  void SetSoundFormat(uint8_t value) { flags_ = static_cast<uint8_t>((flags_ & 0x0F) | value); }
  void SetSoundRate(uint8_t value) { flags_ = static_cast<uint8_t>((flags_ & 0xF3) | value); }
  void SetSoundSize(uint8_t value) { flags_ = static_cast<uint8_t>((flags_ & 0xFD) | value); }
  void SetSoundType(uint8_t value) { flags_ = static_cast<uint8_t>((flags_ & 0xFE) | value); }
  uint8_t GetFlags() const { return flags_; }
  const std::vector<uint8_t>& GetData() const { return data_; }

  uint32_t Read(const uint8_t* bytes, uint32_t length) override;
  uint32_t Write(StreamBitWriter& writer) const override;
  uint32_t Size() const override;
  void SetData(const uint8_t* bytes, uint32_t count) override;

 private:
  uint8_t flags_ = 0;
  std::vector<uint8_t> data_;
};

// Video body: frame type and codec id as two 4-bit fields, then the coded frame.
class FlvVideoData : public FlvTagBody {
 public:
  FlvVideoData() = default;

  uint8_t GetCodecId() const { return codecId_; }
  uint8_t GetFrameType() const { return frameType_; }
  const std::vector<uint8_t>& GetData() const { return data_; }

  uint32_t Read(const uint8_t* bytes, uint32_t length) override;
  uint32_t Write(StreamBitWriter& writer) const override;
  uint32_t Size() const override;
  void SetData(const uint8_t* bytes, uint32_t count) override;

 private:
  uint8_t codecId_ = 0;
  uint8_t frameType_ = 0;
  std::vector<uint8_t> data_;
};

// Script data: a name (an AMF0 string) and one AMF0 value.
class FlvScriptDataTag : public FlvTagBody {
 public:
  FlvScriptDataTag() = default;

  void SetName(std::unique_ptr<std::wstring> name) { name_ = std::move(name); }
  void SetValue(std::unique_ptr<AmfValue> value) { value_ = std::move(value); }
  const std::wstring* GetName() const { return name_.get(); }
  const AmfValue* GetValue() const { return value_.get(); }

  uint32_t Read(const uint8_t* bytes, uint32_t length) override;
  // The marker byte, the name's string body, then the value (the undefined marker when
  // there is none, so that a reader still finds a value after the name).
  uint32_t Write(StreamBitWriter& writer) const override;
  uint32_t Size() const override;
  void SetData(const uint8_t* bytes, uint32_t count) override;

 private:
  uint8_t nameType_ = kAmfString;
  std::unique_ptr<std::wstring> name_;
  std::unique_ptr<AmfValue> value_;
};

// The placeholder body of a new script-data tag: "onMetaData" with an ECMA array of its
// items.
class FlvMetaDataTag : public FlvTagBody {
 public:
  FlvMetaDataTag() = default;

  uint32_t Read(const uint8_t* bytes, uint32_t length) override;
  uint32_t Write(StreamBitWriter& writer) const override;
  uint32_t Size() const override;
  void SetData(const uint8_t* bytes, uint32_t count) override;

 private:
  std::vector<std::unique_ptr<AmfProperty>> items_;
};

class FlvTag {
 public:
  // Types 8, 9 and 18 start with an empty body of their kind; others with none.
  explicit FlvTag(uint8_t type);
  ~FlvTag();
  FlvTag(const FlvTag&) = delete;
  FlvTag& operator=(const FlvTag&) = delete;

  void SetBody(std::unique_ptr<FlvTagBody> body);
  FlvTagBody* GetBody() const { return body_.get(); }
  uint8_t GetType() const { return type_; }

  // The 11-byte header (type, u24 body size, u24 timestamp, the timestamp's bits 24-31,
  // u24 stream id 0), then the body. A tag without a body, or with one too large for the
  // 24-bit size field, writes nothing and returns 0.
  uint32_t Write(StreamBitWriter& writer) const;

  // Milliseconds from the start of the file.
  uint32_t timestamp = 0;

 private:
  uint8_t type_;
  std::unique_ptr<FlvTagBody> body_;
};
