#pragma once
// The drawing characters of a movie: shapes, morph shapes, bitmaps and buttons.
#include <cstdint>

#include "flash/swf/BitmapTags.h"
#include "flash/swf/ButtonTags.h"
#include "flash/swf/DefineMorphShapeTag.h"
#include "flash/swf/DefineShapeTag.h"
#include "flash/swf/SwfObject.h"

// A new, default tag of the drawing class that reads tags of `code` with a body of `length`
// bytes; null for any other code.
SwfTag* CreateDrawingTag(uint16_t code, uint32_t length);
