#pragma once
// Movies that outside programs judge: a sound stream and an event sound made from MP3 frames
// (checked by ffprobe and ffmpeg), and a scripted movie (checked by the browser player).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"

namespace swftest {

struct Mp3Frame {
  std::string bytes;
  uint32_t sampleRate = 0;
  uint32_t channels = 0;
  uint32_t samples = 0;  // per frame: 1152 for MPEG-1, 576 for MPEG-2 and 2.5
};

// The audio frames of an MP3 file: an ID3v2 tag in front, the encoder's Xing/Info frame and
// anything after the last whole frame are left out.
std::vector<Mp3Frame> SplitMp3Frames(const std::string& file);

// A movie with a SoundStreamHead and one SoundStreamBlock per frame. Returns the file length
// (0 on failure).
uint32_t WriteStreamMovie(const PathString& path, const std::vector<Mp3Frame>& frames, float fps,
                          uint8_t version);
// A movie with a DefineSound holding every frame and a StartSound that plays it.
uint32_t WriteEventSoundMovie(const PathString& path, const std::vector<Mp3Frame>& frames, uint8_t version);

struct ScriptMovie {
  uint32_t width = 550, height = 400;  // pixels
  float fps = 12;
  uint32_t frames = 0;
  std::vector<std::string> traces;  // what the player must print, in order
};
// A version 6 movie with a background colour, frame labels and frame scripts assembled from
// action records: a constant pool, every Push value type, if/else and a loop with automatic
// branch offsets, string concatenation, variables set and read back, and text outside ASCII.
uint32_t WriteScriptMovie(const PathString& path, ScriptMovie& movie);

}  // namespace swftest
