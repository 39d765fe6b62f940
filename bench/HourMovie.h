#pragma once
// The one-hour stream movie the benchmarks measure (128 kbit/s MP3 at 12 fps: 43,200 frames,
// one sound block each), and the floor they compare with: copying a file's bytes.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfMovieWriter.h"
#include "toolbox/Utf8.h"

namespace hourmovie {

constexpr uint32_t kFrames = 43200;                   // one hour at 12 fps
constexpr uint32_t kBlockBytes = 128000 / 8 / 12 + 4;  // a frame's share of 128 kbit/s

inline std::filesystem::path Scratch(const char* name) { return std::filesystem::temp_directory_path() / name; }

inline PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

// Sound data that varies like real MP3 bytes do, so that compression has work to do.
inline std::vector<uint8_t> VariedBlock(uint32_t frame) {
  std::vector<uint8_t> data(kBlockBytes);
  uint32_t x = frame * 2654435761u + 1;
  for (auto& b : data) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<uint8_t>(x % 7 == 0 ? x >> 8 : 0x55);
  }
  return data;
}

// Writes the movie; `varied` gives every block its own bytes, otherwise all blocks are equal.
// Returns the file's length, 0 on failure.
inline uint32_t WriteHourMovie(const std::filesystem::path& path, bool varied) {
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, 12, 6);
  if (!w.Open(P(path), true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0, 0, 0), false);
  auto* head = new SoundStreamHeadTag();
  head->SetStreamCompression(2), head->SetStreamRate(3), head->SetStreamSize(1);
  head->sampleCount = 3675;
  w.WriteTag(head, false);
  const std::vector<uint8_t> same(kBlockBytes, 0x5A);
  for (uint32_t i = 0; i < kFrames; ++i) {
    auto* block = new SoundStreamBlockTag();
    block->data = varied ? VariedBlock(i) : same;
    w.WriteTag(block, false);
    w.WriteTag(new ShowFrameTag(), false);
  }
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

// Copies a file's bytes into a new file, flushed to disk; false when either cannot be opened.
inline bool CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to) {
  static std::vector<char> buffer(256 * 1024);
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = std::fopen(to.c_str(), "wb");
  if (!in || !out) {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    return false;
  }
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, n, out);
  std::fclose(in);
  std::fflush(out);
  fsync(fileno(out));
  std::fclose(out);
  return true;
}

}  // namespace hourmovie
