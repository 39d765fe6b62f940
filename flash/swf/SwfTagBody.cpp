#include "flash/swf/SwfTagBody.h"

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
