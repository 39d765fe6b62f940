#pragma once
// Questions about a movie's tag list: which tag defines a character, which PlaceObject2
// carries an instance name, which ids and depths are in use, and shifting every id and depth
// of a list to merge it into another movie. The index holds pointers into one list, which
// must outlive it; it never owns or changes a tag.
#include <cstdint>
#include <string>
#include <vector>

class PlaceObject2Tag;
class SwfTag;

// One depth's placement and removal tags, frame by frame.
struct SwfTimelineDepth {
  uint16_t depth = 0;
  std::vector<std::vector<SwfTag*>> frames;
};

class SwfTagIndex {
 public:
  SwfTagIndex() = default;
  SwfTagIndex(const SwfTagIndex&) = delete;
  SwfTagIndex& operator=(const SwfTagIndex&) = delete;

  bool Build(const std::vector<SwfTag*>& tags);
  // The first definition of `id`, or null.
  SwfTag* FindDefinition(uint16_t id) const;
  SwfTag* FindJpegTables() const;
  // The first DefineFontInfo or DefineFontInfo2 of the font, or null.
  SwfTag* FindFontInfo(uint16_t fontId) const;
  // The first DefineFont2 of the font, or null.
  SwfTag* FindFont2(uint16_t fontId) const;
  // The first DefineFont or DefineFont2 of the font, or null.
  SwfTag* FindFont(uint16_t fontId) const;
  // Appends to `target` what the definition of `id` needs, then the definition itself, each
  // only when not there yet. Returns the definition, or null when `id` has none.
  SwfTag* ImportDefinition(uint16_t id, std::vector<SwfTag*>& target) const;
  // The font tags of `fontId` not yet in `target`: its DefineFont, DefineFont2 or DefineFont3,
  // then its font info, alignment zones and name.
  void ImportFont(uint16_t fontId, std::vector<SwfTag*>& target) const;
  // Why the last ImportDefinition found nothing to import, when `id` had a definition.
  mutable std::wstring error;

  std::vector<SwfTimelineDepth> timeline;
  const std::vector<SwfTag*>* tags = nullptr;
  std::vector<SwfTag*> frameTags;
  std::vector<SwfTag*> definitions;
  uint32_t showFrameCount = 0;
  std::vector<SwfTag*> placements;
  std::vector<uint16_t> depths;
  std::vector<SwfTag*> fontsAndTexts, sounds, bitmaps, videoStreams, shapes, buttons, sprites;
};

// The character id `tag` defines, or -1 when it defines none.
int32_t DefinedCharacterId(const SwfTag* tag);

// The font or character that a tag annotating one refers to (font alignment zones, text
// settings, scaling grid, font name: all kept as read); 0 for other tags.
uint16_t AnnotatedId(const SwfTag* tag);
// Appends to `target` each tag of `tags` of one of `codes` that annotates `id`, once.
void AppendAnnotations(uint16_t id, const std::vector<SwfTag*>& tags, std::vector<SwfTag*>& target,
                       const std::vector<uint16_t>& codes);

// The tag that defines `id`, nested sprites searched where they stand.
SwfTag* FindCharacterById(uint16_t id, const std::vector<SwfTag*>& tags);
// The first PlaceObject2 whose instance name is `name` (case-sensitive), nested sprites
// searched where they stand.
PlaceObject2Tag* FindInstanceByName(const wchar_t* name, const std::vector<SwfTag*>& tags);
// The highest character id and depth the top level of the list uses (0 when none).
void GetMaxIdAndDepth(const std::vector<SwfTag*>& tags, uint16_t& maxId, uint16_t& maxDepth);
// Whether shifting the ids of `tag` (and of a sprite's nested tags) moves every id it holds;
// false, with the reason in `error` when given, for a tag kept as read whose ids cannot be
// found (a raw tag whose layout cannot be followed, a shape, morph shape or button whose
// records failed).
bool CanShiftIds(const SwfTag* tag, std::wstring* error = nullptr);
// The highest id a character can take: 65535 stands for "no bitmap" in fills.
inline constexpr int32_t kHighestCharacterId = 65534;
// Shifts the ids and depths of every tag of the list. False, with nothing changed and the
// reason in `error` when given, when a tag kept as read holds ids that cannot be found, or
// when an id would pass kHighestCharacterId.
bool ShiftTagIdsAndDepths(const std::vector<SwfTag*>& tags, uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta,
                          std::wstring* error = nullptr);
