#pragma once
// Tags whose records are read one after another (glyph shapes, text records) read them from
// a reader over the rest of their own body, so that a record that runs long or a missing end
// marker can never reach into the next tag's bytes.
#include "flash/swf/SwfReader.h"

// Moves `outer` to the end of the tag being read and loads the bytes passed over into `body`,
// read as a movie of the outer reader's version.
void LoadTagBody(SwfReader& outer, SwfReader& body);
