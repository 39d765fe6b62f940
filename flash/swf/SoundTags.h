#pragma once
// Sound in a movie: a stream (SoundStreamHead before the first frame, one SoundStreamBlock per
// frame) or an event sound (DefineSound played by StartSound).
//
// Format byte of stream heads and DefineSound: bits 7-4 compression (1 ADPCM, 2 MP3), bits 3-2
// rate (0 5512.5, 1 11025, 2 22050, 3 44100 Hz), bit 1 size (16 bit), bit 0 stereo.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flash/swf/SwfObject.h"

class SoundStreamHeadTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 18; }
  // Its id lives in memory only (the tag neither reads nor writes one): a shift leaves it.
  void VisitIds(SwfIdVisitor&) override {}
  void SetStreamCompression(uint8_t code);
  void SetStreamRate(uint8_t code);
  void SetStreamSize(uint8_t bit);
  void SetStreamType(uint8_t bit);

  uint8_t playbackFormat = 0;
  uint8_t streamFormat = 0;
  uint16_t sampleCount = 0;  // average samples per block
};

class SoundStreamHead2Tag : public SoundStreamHeadTag {
 public:
  uint16_t GetTagCode() const override { return 45; }
};

class SoundStreamBlockTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 19; }
  // Samples in this block, as the stream's head tells how to count them.
  uint32_t GetSampleCount(const SoundStreamHeadTag* head) const;

  uint16_t seekSamples = 0;
  uint8_t compression = 2;
  uint16_t sampleCount = 0;
  std::vector<uint8_t> data;  // the body verbatim
};

class DefineSoundTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 14; }
  void SetFormat(uint8_t code);
  void SetRate(uint8_t code);
  void SetSize(uint8_t bit);
  void SetType(uint8_t bit);
  int IsStereo() const { return soundFormat & 1; }
  void SetSampleCount(uint32_t count) { sampleCount = count; }

  uint8_t soundFormat = 0;
  uint32_t sampleCount = 0;
  std::vector<uint8_t> data;
};

struct SwfSoundEnvelopePoint {
  uint32_t position = 0;  // samples at 44 kHz
  uint16_t leftLevel = 0;
  uint16_t rightLevel = 0;
};

// How a sound plays (SOUNDINFO).
class SwfSoundInfo {
 public:
  static constexpr uint8_t kHasInPoint = 0x01, kHasOutPoint = 0x02, kHasLoops = 0x04,
                           kHasEnvelope = 0x08, kSyncNoMultiple = 0x10, kSyncStop = 0x20;
  // The count is one byte in the file.
  static constexpr size_t kMaxEnvelopePoints = 255;

  void SetSyncNoMultiple(bool on);
  void SetHasLoops(bool on);
  void Clear() { *this = SwfSoundInfo(); }
  uint32_t Read(SwfReader& reader);
  uint32_t Write(SwfBitWriter& out) const;

  uint8_t flags = 0;
  uint32_t inPoint = 0;
  uint32_t outPoint = 0;
  uint16_t loopCount = 0;
  uint8_t envelopeCount = 0;  // as last read
  std::vector<SwfSoundEnvelopePoint> envelope;
};

class StartSoundTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 15; }
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t soundId = 0;
  SwfSoundInfo soundInfo;
};
