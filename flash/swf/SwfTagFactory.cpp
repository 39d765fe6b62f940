// The map from tag code to the class that reads tags of that code. A code without a class of
// its own becomes a RawTag and is written back byte for byte.
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"

SwfTag* CreateTagForCode(SwfReader& reader, uint16_t code, uint32_t length) {
  switch (code) {
    case 1:
      ++reader.frameCount;
      break;
    default:
      break;
  }
  return new RawTag(code, length);
}
