#pragma once
// Writes a SWF movie to a file as a stream of tags: the header with placeholders at Open,
// each tag as it is handed over, and the file length and frame count at Close. The movie is
// written into a temporary file beside the target, every write is checked, and only a
// successful Close puts it in the target's place; a failed or abandoned movie leaves the
// target as it was.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/SwfHeaderRecord.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/PathString.h"
#include "framework/platform/Signal.h"

class SwfBitWriter;
class SwfTag;

// The most frames the header can count.
inline constexpr uint32_t kMaxSwfFrameCount = 65535;

class SwfMovieWriter {
 public:
  SwfMovieWriter();
  // A movie not closed is abandoned: its temporary file goes, the target stays as it was.
  ~SwfMovieWriter();
  SwfMovieWriter(const SwfMovieWriter&) = delete;
  SwfMovieWriter& operator=(const SwfMovieWriter&) = delete;

  // Stage 0..width by 0..height in twips.
  void SetMovieProperties(uint32_t width, uint32_t height, float rate, uint8_t swfVersion);
  void SetHeaderFrom(const SwfHeaderRecord& header);
  void GetFrameSize(uint32_t& width, uint32_t& height) const;
  uint8_t GetVersion() const { return version; }

  // False when the file cannot be made, when the target exists and `replace` is false, or
  // when the target is not a regular file.
  bool Open(const PathString& path, bool replace);
  // Appends the tag; returns the bytes appended, 0 for a null tag, a dropped FrameLabel (one
  // with the text of a label already written) or a failed write. Deletes the tag unless
  // `keep`.
  uint32_t WriteTag(SwfTag* tag, bool keep);
  // Completes the header and puts the movie in place. Returns the file length, or 0 when
  // anything failed: a write, more frames than the header can count, a file too long for its
  // length field, or the final rename.
  uint32_t Close();
  // Why the last movie failed (empty while nothing has): a tag that cannot be written as it
  // is, such as an action record longer than its length field counts, fails the movie.
  const std::string& GetFailureReason() const { return failureReason; }

  // Emitted for every ShowFrame written, with the index of the frame that ends (0 first).
  Signal<uint32_t> frameWritten;

 private:
  // Hands the file the pending bytes: all of them, or only whole blocks.
  bool Flush(bool all);

  std::vector<std::string> labels;  // the labels written so far, as their bytes
  std::string failureReason;
  SafeFileWriter file;
  PathString path;
  int32_t stage[4];  // xmin, xmax, ymin, ymax (twips)
  float frameRate;
  uint32_t frameCount;
  uint32_t headerEnd;
  uint8_t version;
  std::unique_ptr<SwfBitWriter> scratch;  // a tag's bytes on their way to the file
  std::vector<uint8_t> pending;           // written bytes not yet handed to the file
  uint64_t fileLength;                    // bytes written since Open, the pending ones included
  bool open;
};

// True below 1280 by 960 pixels (25600 by 19200 twips).
bool IsBelowMinimumStage(int32_t width, int32_t height);
