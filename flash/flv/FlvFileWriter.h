#pragma once
// Writes an FLV file: the file header, then tags in call order, each followed by its size.
// The file is written as a temporary sibling of the target, every write checked, and moved
// over the target only by a successful Close; a failed run leaves the target as it was.
#include <cstdint>
#include <memory>

#include "framework/platform/PathString.h"

class FlvTag;
class SafeFileWriter;

class FlvFileWriter {
 public:
  FlvFileWriter();
  ~FlvFileWriter();
  FlvFileWriter(const FlvFileWriter&) = delete;
  FlvFileWriter& operator=(const FlvFileWriter&) = delete;

  void SetHeader(bool hasVideo, bool hasAudio, uint8_t version);

  // Starts a new file of type 'MFL2' and creator 'FLV2' for `path`. With replaceExisting
  // false an existing file is refused. Writes the header and the first previous-tag size.
  bool Open(const PathString& path, bool replaceExisting);

  // Writes the tag with its size behind it and deletes the tag unless keep is true. A null
  // tag does nothing. A tag that cannot be framed (no body, body too large) or a failed
  // write makes the file fail at Close.
  void WriteTag(FlvTag* tag, bool keep);

  // Completes the file: returns its length, or 0 when nothing was open or any step failed
  // (then the target is left as it was and no temporary file remains).
  uint32_t Close();

 private:
  struct Header {
    char signature[3] = {'F', 'L', 'V'};
    uint8_t version = 1;
    uint8_t flags = 0;
    uint32_t headerSize = 9;
  };

  Header header_;
  std::unique_ptr<SafeFileWriter> stream_;
  uint64_t position_ = 0;
  bool failed_ = false;
};
