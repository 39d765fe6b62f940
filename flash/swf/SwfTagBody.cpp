#include "flash/swf/SwfTagBody.h"

#include <algorithm>
#include <vector>

#include "flash/swf/SwfBitWriter.h"

void LoadTagBody(SwfReader& outer, SwfReader& body) {
  std::vector<uint8_t> bytes;
  outer.ReadBytes(bytes, outer.TagBytesLeft());
  SwfBitWriter w(outer.GetVersion());
  w.WriteBytes(bytes);
  body.LoadFromWriter(w);
  body.insideSprite = outer.insideSprite;
}

uint32_t WriteTagWithBody(SwfTag& tag, SwfBitWriter& out, SwfBitWriter& body, bool forceLong) {
  const uint32_t before = out.GetByteCount();
  body.Align();
  WriteTagHeader(tag, out, body.GetByteCount(), forceLong);
  out.AppendWriter(body);
  return out.GetByteCount() - before;
}

void ReadTagBodyFrom(SwfReader& reader, uint32_t from, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const uint32_t end = std::min(reader.tagEnd, reader.GetSize());
  reader.Seek(std::min(from, end));
  reader.ReadBytes(bytes, end - reader.GetPosition());
  // The tag keeps what it holds as read: whatever its fields read past its end is dropped.
  reader.overran = false;
}
