// The map from tag code to the class that reads tags of that code. A code without a class of
// its own becomes a RawTag and is written back byte for byte; a new tag class is added here
// with one case.
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/TextTags.h"
#include "flash/swf/VideoTags.h"

SwfTag* CreateTagForCode(SwfReader& reader, uint16_t code, uint32_t length) {
  switch (code) {
    case 0: return new EndTag();
    case 1: ++reader.frameCount; return new ShowFrameTag();
    case 3: return new FreeCharacterTag();
    case 4: return new PlaceObjectTag();
    case 5: return new RemoveObjectTag();
    case 9: return new SetBackgroundColorTag(0, 0, 0);
    case 10: return new DefineFontTag();
    case 11: return new DefineTextTag();
    case 12: return new DoActionTag(reader.GetVersion());
    case 13: return new DefineFontInfoTag();
    case 14: return new DefineSoundTag();
    case 15: return new StartSoundTag();
    case 18: return new SoundStreamHeadTag();
    case 19: return new SoundStreamBlockTag();
    case 24: return new ProtectTag();
    case 26: return new PlaceObject2Tag();
    case 28: return new RemoveObject2Tag();
    case 33: return new DefineText2Tag();
    case 37: return new DefineEditTextTag();
    // Sprites cannot nest in a valid movie: one met inside a sprite is kept as it is.
    case 39: if (reader.insideSprite) break; return new DefineSpriteTag(0, 0);
    case 43: return new FrameLabelTag(L"");
    case 45: return new SoundStreamHead2Tag();
    case 48: return new DefineFont2Tag();
    case 56: return new ExportAssetsTag();
    case 57: return new ImportAssetsTag();
    case 58: return new EnableDebuggerTag();
    case 59: return new DoInitActionTag();
    case 60: return new DefineVideoStreamTag();
    case 61: return new VideoFrameTag(length);
    case 62: return new DefineFontInfo2Tag();
    case 64: return new EnableDebugger2Tag();
    default:
      if (SwfTag* drawing = CreateDrawingTag(code, length)) return drawing;
      break;
  }
  return new RawTag(code, length);
}
