#pragma once
// The character ids a tag kept as its bytes (RawTag) holds, found where the tag's layout puts
// them: the first two body bytes of a definition, the character id of a placement when its
// flags say there is one, the font or character id of the tags that annotate another, the
// bitmaps of DefineShape4 and DefineMorphShape2 fills. The importer gathers by them and the
// id shift moves them; a tag whose ids cannot be told apart is reported as such, so that
// neither goes on with a reference it cannot see.
#include <cstdint>
#include <vector>

class RawTag;
class SwfTag;

struct SwfRawIds {
  // False when the tag may hold ids whose places cannot be found (a damaged definition of a
  // class that refers to others, a placement whose layout is in doubt).
  bool known = true;
  // Body offset of the id the tag defines, or -1.
  int32_t definedAt = -1;
  // Body offsets of the ids the tag refers to.
  std::vector<uint32_t> usedAt;
  // Body offsets of the depths it places at or removes from.
  std::vector<uint32_t> depthAt;
};

SwfRawIds FindRawIds(const RawTag& tag);

// The u16 at `at` of the raw tag's body (0 past its end).
uint16_t RawU16(const RawTag& tag, uint32_t at);

// Whether a tag code defines a character in its first two body bytes.
bool IsCharacterDefinitionCode(uint16_t code);
