#pragma once
// Video in a movie (a DefineVideoStream character whose frames arrive in VideoFrame tags) and
// the private tag that marks every movie this product family writes.
#include <cstdint>
#include <string>
#include <vector>

#include "flash/swf/SwfObject.h"

class DefineVideoStreamTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 60; }
  // Character id 0 (the caller sets it), smoothing on, Sorenson H.263.
  void Setup(uint32_t frames, uint16_t pixelWidth, uint16_t pixelHeight);
  // Deblocking 0 to 3 into bits 1-2 of the video flags.
  void SetDeblocking(uint8_t value);

  uint32_t frameCount = 0;  // written as its low 16 bits
  uint16_t width = 0, height = 0;
  uint8_t videoFlags = 0;  // bit 0 smoothing, bits 1-3 deblocking
  uint8_t codecId = 0;     // 2 Sorenson H.263
};

class VideoFrameTag : public SwfTag {
 public:
  explicit VideoFrameTag(uint32_t bodyLength = 0) : bodyLength(bodyLength) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 61; }
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t frameNumber = 0;
  std::vector<uint8_t> data;
  uint32_t bodyLength;
  uint16_t streamId = 0;  // the DefineVideoStream the frame belongs to
};

// Marks a movie as made by this product family. Players skip it: its codes lie outside the
// published range. Read back from a movie it stays a RawTag.
class CreatorInfoTag : public SwfTag {
 public:
  CreatorInfoTag(uint16_t first = 0, uint16_t second = 0);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 919; }

  uint16_t firstVersion;
  uint16_t secondVersion;
  uint32_t constantA = 52;
  uint32_t constantB = 77;
  std::string productName = "Orvenna";
};

// The mark of the audio SWF movie.
class AudioEditionCreatorTag : public CreatorInfoTag {
 public:
  AudioEditionCreatorTag(uint16_t first, uint16_t second);
  uint16_t GetTagCode() const override { return 926; }
};

// The mark of the player movie written beside an FLV file.
class VideoEditionCreatorTag : public CreatorInfoTag {
 public:
  VideoEditionCreatorTag(uint16_t first, uint16_t second);
  uint16_t GetTagCode() const override { return 928; }
};
