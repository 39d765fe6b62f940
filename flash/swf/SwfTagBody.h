#pragma once
// The helpers every tag family shares for its body: writing a body behind the tag's header,
// taking the rest of a body as read, and reading records over a body of their own.
//
// Tags whose records are read one after another (glyph shapes, text records) read them from
// a reader over the rest of their own body, so that a record that runs long or a missing end
// marker can never reach into the next tag's bytes.
#include <cstdint>
#include <vector>

#include "flash/swf/SwfReader.h"

class SwfBitWriter;
class SwfTag;

// Moves `outer` to the end of the tag being read and loads the bytes passed over into `body`,
// read as a movie of the outer reader's version.
void LoadTagBody(SwfReader& outer, SwfReader& body);

// Writes `body` as the body of `tag` behind its header (the short form when it fits) and
// returns the bytes `out` grew by.
uint32_t WriteTagWithBody(SwfTag& tag, SwfBitWriter& out, SwfBitWriter& body, bool forceLong = false);

// Reads the rest of the tag being read into `bytes`, starting at `from` (for tags kept as
// read); the reads of its fields past its end no longer count (SwfReader::overran).
void ReadTagBodyFrom(SwfReader& reader, uint32_t from, std::vector<uint8_t>& bytes);
