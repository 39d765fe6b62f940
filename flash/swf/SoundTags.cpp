#include "flash/swf/SoundTags.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

uint8_t ReplaceBits(uint8_t byte, uint8_t mask, uint8_t shift, uint8_t value) {
  return static_cast<uint8_t>((byte & ~mask) | ((value << shift) & mask));
}

// Room for a whole sound tag before its bytes go in: sound data is most of a movie.
void ReserveFor(SwfBitWriter& out, size_t bytes) {
  out.Reserve(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{out.GetByteCount()} + bytes, UINT32_MAX)));
}

}  // namespace

void SoundStreamHeadTag::SetStreamCompression(uint8_t code) { streamFormat = ReplaceBits(streamFormat, 0xF0, 4, code); }
void SoundStreamHeadTag::SetStreamRate(uint8_t code) { streamFormat = ReplaceBits(streamFormat, 0x0C, 2, code); }
void SoundStreamHeadTag::SetStreamSize(uint8_t bit) { streamFormat = ReplaceBits(streamFormat, 0x02, 1, bit); }
void SoundStreamHeadTag::SetStreamType(uint8_t bit) { streamFormat = ReplaceBits(streamFormat, 0x01, 0, bit); }

uint32_t SoundStreamHeadTag::Read(SwfReader& reader) {
  playbackFormat = reader.ReadU8();
  streamFormat = reader.ReadU8();
  sampleCount = reader.ReadU16();
  return 4;
}

uint32_t SoundStreamHeadTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU8(playbackFormat & 0x0F);
  body.WriteU8(streamFormat);
  body.WriteU16(sampleCount);
  return WriteTagWithBody(*this, out, body);
}

uint32_t SoundStreamBlockTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  data.clear();
  // At most the bytes that remain in the tag and in the input, whatever the header claims.
  reader.ReadBytes(data, std::min(reader.tagLength, reader.TagBytesLeft()));
  return reader.GetPosition() - start;
}

uint32_t SoundStreamBlockTag::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  ReserveFor(out, data.size() + 6);
  WriteTagHeader(*this, out, static_cast<uint32_t>(data.size()), false);
  out.WriteBytes(data);
  return out.GetByteCount() - before;
}

uint32_t SoundStreamBlockTag::GetSampleCount(const SoundStreamHeadTag* head) const {
  if (!head) return 0;
  const uint8_t compressionCode = head->streamFormat >> 4;
  if (compressionCode == 1) return 1000;
  if (compressionCode == 2 && data.size() >= 2) return data[0] + 256u * data[1];
  return 0;
}

void DefineSoundTag::SetFormat(uint8_t code) { soundFormat = ReplaceBits(soundFormat, 0xF0, 4, code); }
void DefineSoundTag::SetRate(uint8_t code) { soundFormat = ReplaceBits(soundFormat, 0x0C, 2, code); }
void DefineSoundTag::SetSize(uint8_t bit) { soundFormat = ReplaceBits(soundFormat, 0x02, 1, bit); }
void DefineSoundTag::SetType(uint8_t bit) { soundFormat = ReplaceBits(soundFormat, 0x01, 0, bit); }

uint32_t DefineSoundTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  characterId = reader.ReadU16();
  soundFormat = reader.ReadU8();
  sampleCount = reader.ReadU32();
  data.clear();
  if (reader.tagLength > 7) reader.ReadBytes(data, std::min(reader.tagLength - 7, reader.TagBytesLeft()));
  return reader.GetPosition() - start;
}

uint32_t DefineSoundTag::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  ReserveFor(out, data.size() + 12);
  WriteTagHeader(*this, out, static_cast<uint32_t>(data.size() + 7), false);
  out.WriteU16(characterId);
  out.WriteU8(soundFormat);
  out.WriteU32(sampleCount);
  out.WriteBytes(data);
  return out.GetByteCount() - before;
}

void SwfSoundInfo::SetSyncNoMultiple(bool on) {
  flags = static_cast<uint8_t>(on ? flags | kSyncNoMultiple : flags & ~kSyncNoMultiple);
}

void SwfSoundInfo::SetHasLoops(bool on) { flags = static_cast<uint8_t>(on ? flags | kHasLoops : flags & ~kHasLoops); }

uint32_t SwfSoundInfo::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  flags = reader.ReadU8();
  if (flags & kHasInPoint) inPoint = reader.ReadU32();
  if (flags & kHasOutPoint) outPoint = reader.ReadU32();
  if (flags & kHasLoops) loopCount = reader.ReadU16();
  if (flags & kHasEnvelope) {
    envelopeCount = reader.ReadU8();
    for (uint32_t i = 0; i < envelopeCount; ++i) {
      SwfSoundEnvelopePoint p;
      p.position = reader.ReadU32();
      p.leftLevel = reader.ReadU16();
      p.rightLevel = reader.ReadU16();
      envelope.push_back(p);
    }
  }
  return reader.GetPosition() - start;
}

uint32_t SwfSoundInfo::Write(SwfBitWriter& out) const {
  const uint32_t before = out.GetByteCount();
  out.WriteU8(flags);
  if (flags & kHasInPoint) out.WriteU32(inPoint);
  if (flags & kHasOutPoint) out.WriteU32(outPoint);
  if (flags & kHasLoops) out.WriteU16(loopCount);
  if (flags & kHasEnvelope) {
    // The count is one byte: write no more points than it can announce.
    const size_t n = std::min(envelope.size(), kMaxEnvelopePoints);
    out.WriteU8(static_cast<uint8_t>(n));
    for (size_t i = 0; i < n; ++i) {
      out.WriteU32(envelope[i].position);
      out.WriteU16(envelope[i].leftLevel);
      out.WriteU16(envelope[i].rightLevel);
    }
  }
  return out.GetByteCount() - before;
}

uint32_t StartSoundTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  soundId = reader.ReadU16();
  soundInfo.Read(reader);
  return reader.GetPosition() - start;
}

uint32_t StartSoundTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(4);
  body.WriteU16(soundId);
  soundInfo.Write(body);
  return WriteTagWithBody(*this, out, body);
}

void StartSoundTag::VisitIds(SwfIdVisitor& visitor) { visitor.Visit(soundId, SwfIdRole::kRefers); }
