// fuzz-links: flash_swf
// fuzz-corpus-seeds: swf
// Fuzz target: any bytes as a movie file, read two ways: loaded whole, and opened as a stream
// whose window (a few bytes up to a few pages, chosen by the input's last byte) moves with the
// reads. Both must give the same tags, written back to the same bytes, or both refuse the
// movie: a window edge inside a record header, a bit field, a string or a nested sprite must
// never change what is read. Seeded with the corpus movies and seeds/swf_stream/.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"
#include "flash/swf/SwfObject.h"
#include "framework/platform/WideText.h"

namespace {

// The tags' bytes as one run.
std::vector<uint8_t> Bytes(const std::vector<SwfTag*>& tags, uint8_t version) {
  SwfBitWriter out(version);
  for (SwfTag* tag : tags) tag->Write(out);
  return out.GetBuffer();
}

void Differ(const char* what) {
  fprintf(stderr, "a movie read through a window differs from the same movie loaded whole: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const PathString path = FromNativeString(FuzzScratchWrite("fuzz-swf-stream", data, size).c_str());

  SwfReader whole;
  const bool loaded = whole.ReadAllTagsFromMemory(path, true, 0, true);

  static const uint32_t kWindows[] = {1, 2, 7, 64, 4099, 16384};
  SwfReader stream;
  std::vector<SwfTag*> streamed;
  bool streamLoaded = false;
  if (stream.OpenStream(path, kWindows[data[size - 1] % 6]))
    streamLoaded = ForEachSwfTag(stream, [&streamed](SwfTag* tag) { streamed.push_back(tag); });
  if (loaded != streamLoaded) Differ(loaded ? "only the stream refuses it" : "only the stream takes it");
  if (loaded) {
    if (whole.GetVersion() != stream.GetVersion()) Differ("the version");
    if (Bytes(whole.tags, whole.GetVersion()) != Bytes(streamed, stream.GetVersion()))
      Differ("the tags");
  }
  for (SwfTag* tag : streamed) delete tag;
  whole.ClearTags(true);
  return 0;
}
