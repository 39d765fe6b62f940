#include "flash/swf/DrawingTags.h"

namespace {

// Bitmap tags read their data to the end the tag's header gives.
template <class T, class... Args>
SwfTag* WithLength(uint32_t length, Args... args) {
  auto* tag = new T(args...);
  tag->SetBodyLength(length);
  return tag;
}

}  // namespace

SwfTag* CreateDrawingTag(uint16_t code, uint32_t length) {
  switch (code) {
    case 2: return new DefineShapeTag();
    case 6: return WithLength<DefineBitsTag>(length, length);
    case 7: return new DefineButtonTag();
    case 8: return new JpegTablesTag(length);
    case 17: return new DefineButtonSoundTag();
    case 20: return new DefineBitsLosslessTag(kBitmapDirect24);
    case 21: return WithLength<DefineBitsJpeg2Tag>(length);
    case 22: return new DefineShape2Tag();
    case 23: return new DefineButtonCxformTag();
    case 32: return new DefineShape3Tag();
    case 34: return new DefineButton2Tag();
    case 35: return WithLength<DefineBitsJpeg3Tag>(length);
    case 36: return new DefineBitsLossless2Tag(kBitmapDirect24);
    case 46: return new DefineMorphShapeTag();
    default: return nullptr;
  }
}
