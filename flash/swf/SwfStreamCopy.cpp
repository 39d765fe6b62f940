#include "flash/swf/SwfStreamCopy.h"

#include <algorithm>

#include "flash/swf/ControlTags.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfReader.h"

bool ForEachSwfTag(SwfReader& reader, const std::function<void(SwfTag*)>& take) {
  // The same tags, in the same order, as ReadTagsUntil gathers.
  const uint32_t limit = std::min(reader.tagEnd, reader.GetSize());
  bool ended = false;
  while (!ended && !reader.truncated && reader.GetPosition() < limit) {
    SwfTag* tag = reader.ReadNextTag();
    ended = tag->GetTagCode() == 0;
    take(tag);
  }
  if (reader.truncated) {
    // A cut movie, as the loading operations call it.
    reader.errorCode = kSwfErrorNotSwf;
    return false;
  }
  if (!ended) take(new EndTag());
  return true;
}

bool StreamSwfTags(SwfReader& reader, SwfMovieWriter& writer) {
  return ForEachSwfTag(reader, [&writer](SwfTag* tag) { writer.WriteTag(tag, false); });
}
