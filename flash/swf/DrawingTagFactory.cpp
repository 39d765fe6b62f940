#include "flash/swf/DrawingTags.h"

SwfTag* CreateDrawingTag(uint16_t code, uint32_t) {
  switch (code) {
    case 2: return new DefineShapeTag();
    case 22: return new DefineShape2Tag();
    case 32: return new DefineShape3Tag();
    case 46: return new DefineMorphShapeTag();
    default: return nullptr;
  }
}
