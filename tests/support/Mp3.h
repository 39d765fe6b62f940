#pragma once
// MP3 input for the sound tests: a tone made by sox and encoded by lame, split into its
// MPEG audio layer III frames.
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

struct Mp3Frame {
  std::string bytes;
  uint32_t sampleRate = 0;
  uint32_t channels = 0;
  uint32_t samples = 0;  // per frame: 1152 for MPEG-1, 576 for MPEG-2 and 2.5
};

// Reads one frame header; false when the bytes are not a layer III frame header.
inline bool ParseMp3Header(const unsigned char* h, Mp3Frame& f, size_t& length) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  const int layer = (h[1] >> 1) & 3;    // 1 layer III
  const int bitrateIndex = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static const int kBitrates1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kBitrates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int bitrate = (mpeg1 ? kBitrates1 : kBitrates2)[bitrateIndex] * 1000;
  const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int padding = (h[2] >> 1) & 1;
  f.sampleRate = static_cast<uint32_t>(rate);
  f.channels = (h[3] >> 6) == 3 ? 1 : 2;
  f.samples = mpeg1 ? 1152 : 576;
  length = static_cast<size_t>((mpeg1 ? 144 : 72) * bitrate / rate + padding);
  return true;
}

// The audio frames of an MP3 file: an ID3v2 tag in front, the encoder's Xing/Info frame and
// anything after the last whole frame are left out.
inline std::vector<Mp3Frame> SplitMp3Frames(const std::string& file) {
  std::vector<Mp3Frame> frames;
  size_t pos = 0;
  if (file.size() >= 10 && file.compare(0, 3, "ID3") == 0) {
    const auto* b = reinterpret_cast<const unsigned char*>(file.data());
    pos = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
  }
  while (pos + 4 <= file.size()) {
    Mp3Frame f;
    size_t length = 0;
    if (!ParseMp3Header(reinterpret_cast<const unsigned char*>(file.data() + pos), f, length) ||
        pos + length > file.size())
      break;
    f.bytes = file.substr(pos, length);
    pos += length;
    // The encoder's information frame carries no sound.
    const std::string head = f.bytes.substr(0, 64);
    if (frames.empty() && (head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos))
      continue;
    frames.push_back(std::move(f));
  }
  return frames;
}

// `seconds` of a 440 Hz tone at `rate` with `channels`, encoded by lame at a constant bit
// rate; empty when sox or lame fails.
inline std::vector<Mp3Frame> EncodeToneMp3(const ScratchDir& dir, int rate, int channels, int kbps,
                                           double seconds) {
  const auto wav = dir / "tone.wav", mp3 = dir / "tone.mp3";
  int status = 0;
  Run("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 '" + wav.string() +
          "' synth " + std::to_string(seconds) + " sine 440 gain -6 2>&1",
      &status);
  if (status != 0) return {};
  Run("lame --silent --cbr -b " + std::to_string(kbps) + " '" + wav.string() + "' '" + mp3.string() + "' 2>&1",
      &status);
  if (status != 0) return {};
  return SplitMp3Frames(ReadFile(mp3));
}

inline std::string JoinFrames(const std::vector<Mp3Frame>& frames) {
  std::string all;
  for (const auto& f : frames) all += f.bytes;
  return all;
}

}  // namespace testsupport
