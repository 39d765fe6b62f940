#include "flash/swf/SwfTagIndex.h"

#include <algorithm>

#include "flash/swf/AssetImporter.h"
#include "flash/swf/ButtonTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SwfRawIds.h"
#include "flash/swf/TextTags.h"

namespace {

bool IsFrameTagCode(uint16_t code) {
  switch (code) {
    case 0: case 1: case 3: case 4: case 5: case 8: case 9: case 12: case 13: case 19: case 24: case 26: case 28:
    case 43: case 61: case 62:
      return true;
    default:
      return false;
  }
}

// The tags the index files as definitions, DefineText2 and DefineMorphShape among them, and
// the sound stream heads by their in-memory id.
bool IsIndexDefinitionCode(uint16_t code) { return IsCharacterDefinitionCode(code) || code == 18 || code == 45; }

// The tags that annotate a character or a font defined elsewhere, by its id in their first
// two bytes: font alignment zones, text settings, scaling grids, font names.
bool IsAnnotationCode(uint16_t code) { return code == 73 || code == 74 || code == 78 || code == 88; }

// The tags the list searches take as defining a character: the same codes.
bool IsSearchDefinitionCode(uint16_t code) { return IsIndexDefinitionCode(code); }

uint16_t DepthOf(const SwfTag* tag) {
  if (auto* p = dynamic_cast<const PlaceObjectTag*>(tag)) return p->depth;
  if (auto* r = dynamic_cast<const RemoveObjectTag*>(tag)) return r->depth;
  return 0;
}

void AddOnce(std::vector<SwfTag*>& target, SwfTag* tag) {
  if (tag && std::find(target.begin(), target.end(), tag) == target.end()) target.push_back(tag);
}

template <class List>
SwfTag* FindCharacterIn(uint16_t id, const List& tags, bool nested) {
  for (auto& item : tags) {
    SwfTag* t = &*item;
    const uint16_t code = t->GetTagCode();
    if (!IsSearchDefinitionCode(code) || DefinedCharacterId(t) < 0) continue;
    if (DefinedCharacterId(t) == id) return t;
    if (auto* sprite = dynamic_cast<DefineSpriteTag*>(t); sprite && !nested)
      if (SwfTag* hit = FindCharacterIn(id, sprite->tags, true)) return hit;
  }
  return nullptr;
}

template <class List>
PlaceObject2Tag* FindInstanceIn(const wchar_t* name, const List& tags, bool nested) {
  for (auto& item : tags) {
    SwfTag* t = &*item;
    if (t->GetTagCode() == 26) {
      auto* p = dynamic_cast<PlaceObject2Tag*>(t);
      if (p && p->hasName && p->name.Text() == name) return p;
    } else if (t->GetTagCode() == 39 && !nested) {
      if (auto* s = dynamic_cast<DefineSpriteTag*>(t))
        if (PlaceObject2Tag* hit = FindInstanceIn(name, s->tags, true)) return hit;
    }
  }
  return nullptr;
}

std::wstring UnfoundIdsError(const SwfTag& unfound) {
  return L"The ids of a tag of code " + std::to_wstring(unfound.GetTagCode()) + L" kept as read cannot be found";
}

}  // namespace

bool CanShiftIds(const SwfTag* tag, std::wstring* error) {
  const SwfTag* unfound = tag ? IdsOf(*tag).unfound : nullptr;
  if (unfound && error) *error = UnfoundIdsError(*unfound);
  return !unfound;
}

int32_t DefinedCharacterId(const SwfTag* tag) {
  if (auto* raw = dynamic_cast<const RawTag*>(tag)) {
    // A definition without a class of its own (or kept as read) defines its first two bytes
    // (told without reading the rest: searches ask this of every tag).
    return IsCharacterDefinitionCode(raw->code) && raw->body.size() >= 2 ? RawU16(*raw, 0) : -1;
  }
  auto* c = dynamic_cast<const SwfCharacterTag*>(tag);
  return c ? c->GetCharacterId() : -1;
}

uint16_t AnnotatedId(const SwfTag* tag) {
  auto* raw = dynamic_cast<const RawTag*>(tag);
  return raw && IsAnnotationCode(raw->code) ? RawU16(*raw, 0) : 0;
}

void AppendAnnotations(uint16_t id, const std::vector<SwfTag*>& tags, std::vector<SwfTag*>& target,
                       const std::vector<uint16_t>& codes) {
  for (SwfTag* t : tags)
    if (t && std::find(codes.begin(), codes.end(), t->GetTagCode()) != codes.end() && AnnotatedId(t) == id &&
        std::find(target.begin(), target.end(), t) == target.end())
      target.push_back(t);
}

bool SwfTagIndex::Build(const std::vector<SwfTag*>& list) {
  tags = &list;
  showFrameCount = 0;
  timeline.clear();
  for (auto* v : {&frameTags, &definitions, &placements, &fontsAndTexts, &sounds, &bitmaps, &videoStreams, &shapes,
                  &buttons, &sprites})
    v->clear();
  depths.clear();
  for (SwfTag* t : list) {
    if (!t) continue;
    const uint16_t code = t->GetTagCode();
    if (code == 1) ++showFrameCount;
    if (IsFrameTagCode(code)) frameTags.push_back(t);
    if (code == 4 || code == 26) {
      placements.push_back(t);
      if (std::find(depths.begin(), depths.end(), DepthOf(t)) == depths.end()) depths.push_back(DepthOf(t));
    }
    if (!IsIndexDefinitionCode(code) || DefinedCharacterId(t) < 0) continue;
    definitions.push_back(t);
    switch (code) {
      case 10: case 11: case 33: case 37: case 48: case 75: case 91: fontsAndTexts.push_back(t); break;
      case 14: case 18: case 45: sounds.push_back(t); break;
      case 6: case 20: case 21: case 35: case 36: case 90: bitmaps.push_back(t); break;
      case 60: videoStreams.push_back(t); break;
      case 2: case 22: case 32: case 46: case 83: case 84: shapes.push_back(t); break;
      case 7: case 34: buttons.push_back(t); break;
      case 39: sprites.push_back(t); break;
      default: break;
    }
  }
  for (uint16_t depth : depths) timeline.push_back({depth, std::vector<std::vector<SwfTag*>>(showFrameCount)});
  uint32_t frame = 0;
  for (SwfTag* t : list) {
    if (!t || frame >= showFrameCount) break;
    const uint16_t code = t->GetTagCode();
    if (code == 1) {
      ++frame;
    } else if (code == 4 || code == 5 || code == 26 || code == 28) {
      for (auto& d : timeline)
        if (d.depth == DepthOf(t)) d.frames[frame].push_back(t);
    }
  }
  return true;
}

SwfTag* SwfTagIndex::FindDefinition(uint16_t id) const {
  for (SwfTag* t : definitions)
    if (DefinedCharacterId(t) == id) return t;
  return nullptr;
}

SwfTag* SwfTagIndex::FindJpegTables() const {
  for (SwfTag* t : frameTags)
    if (t->GetTagCode() == 8) return t;
  return nullptr;
}

SwfTag* SwfTagIndex::FindFontInfo(uint16_t fontId) const {
  for (SwfTag* t : frameTags)
    if (auto* info = dynamic_cast<DefineFontInfoTag*>(t); info && info->fontId == fontId) return t;
  return nullptr;
}

SwfTag* SwfTagIndex::FindFont2(uint16_t fontId) const {
  for (SwfTag* t : definitions)
    if (t->GetTagCode() == 48 && DefinedCharacterId(t) == fontId) return t;
  return nullptr;
}

SwfTag* SwfTagIndex::FindFont(uint16_t fontId) const {
  for (SwfTag* t : definitions) {
    const uint16_t code = t->GetTagCode();
    if ((code == 10 || code == 48 || code == 75) && DefinedCharacterId(t) == fontId) return t;
  }
  return nullptr;
}

void SwfTagIndex::ImportFont(uint16_t fontId, std::vector<SwfTag*>& target) const {
  AddOnce(target, FindFont(fontId));
  AddOnce(target, FindFontInfo(fontId));
  if (tags) AppendAnnotations(fontId, *tags, target, {73, 88});
}

SwfTag* SwfTagIndex::ImportDefinition(uint16_t id, std::vector<SwfTag*>& target) const {
  error.clear();
  SwfTag* definition = FindDefinition(id);
  if (!definition || !tags) return nullptr;
  // Nothing is appended for a definition whose references cannot be followed.
  if (!CanShiftIds(definition, &error)) return nullptr;
  std::vector<SwfTag*> added = target;
  AssetWalk walk;
  switch (definition->GetTagCode()) {
    case 2: case 22: case 32: case 46: case 83: case 84: {
      ShapeAssetCollector shape;
      shape.Collect(definition, *this);
      for (SwfTag* t : shape.gathered) AddOnce(added, t);
      break;
    }
    case 6: AddOnce(added, FindJpegTables()); break;
    case 7: case 34: {
      // The fonts of the button's texts first, so that every text follows its font.
      ButtonAssetCollector button;
      if (!button.Collect(dynamic_cast<DefineButtonTag*>(definition), *this, &walk)) {
        error = button.error;
        return nullptr;
      }
      for (uint16_t font : button.fontIds) ImportFont(font, added);
      for (SwfTag* t : button.gathered) AddOnce(added, t);
      break;
    }
    case 11: case 33:
      if (auto* text = dynamic_cast<DefineTextTag*>(definition))
        for (auto& r : text->records)
          if (auto* style = dynamic_cast<SwfTextRecord*>(r.get())) ImportFont(style->fontId, added);
      break;
    case 37:
      if (auto* edit = dynamic_cast<DefineEditTextTag*>(definition)) ImportFont(edit->fontId, added);
      break;
    case 39: {
      AssetImporter importer;
      if (!importer.Import(dynamic_cast<DefineSpriteTag*>(definition), *this)) {
        error = importer.error;
        return nullptr;
      }
      importer.AppendTo(added, false);
      break;
    }
    default: break;
  }
  AddOnce(added, definition);
  // Nothing is appended for a definition that cannot be brought whole beside what the target
  // holds (a sprite's import has already judged everything it brings).
  if (definition->GetTagCode() != 39) {
    const std::vector<SwfTag*> brought(added.begin() + static_cast<std::ptrdiff_t>(target.size()), added.end());
    if (!CanBring(*this, brought, error, &target, &walk)) return nullptr;
  }
  // What annotates the definition comes after it.
  AppendAnnotations(id, *tags, added, {74, 78});
  target = std::move(added);
  return definition;
}

SwfTag* FindCharacterById(uint16_t id, const std::vector<SwfTag*>& tags) { return FindCharacterIn(id, tags, false); }

PlaceObject2Tag* FindInstanceByName(const wchar_t* name, const std::vector<SwfTag*>& tags) {
  return name ? FindInstanceIn(name, tags, false) : nullptr;
}

void GetMaxIdAndDepth(const std::vector<SwfTag*>& tags, uint16_t& maxId, uint16_t& maxDepth) {
  maxId = maxDepth = 0;
  for (SwfTag* t : tags) {
    if (!t) continue;
    const uint16_t code = t->GetTagCode();
    if (IsSearchDefinitionCode(code) && DefinedCharacterId(t) >= 0) {
      maxId = std::max<uint16_t>(maxId, static_cast<uint16_t>(DefinedCharacterId(t)));
    } else if (auto* raw = dynamic_cast<RawTag*>(t); raw && (code == 26 || code == 70)) {
      // A placement kept as read: the id and depth where its layout puts them.
      const SwfRawIds ids = FindRawIds(*raw);
      for (uint32_t at : ids.usedAt) maxId = std::max(maxId, RawU16(*raw, at));
      // The first depth is the placement's own (a clip depth may follow).
      if (!ids.depthAt.empty() && RawU16(*raw, ids.depthAt[0]) != 65535)
        maxDepth = std::max(maxDepth, RawU16(*raw, ids.depthAt[0]));
    } else if (auto* p = dynamic_cast<PlaceObject2Tag*>(t); p && code == 26) {
      maxId = std::max(maxId, p->characterId);
      if (p->depth != 65535) maxDepth = std::max(maxDepth, p->depth);
    } else if (code == 59) {
      if (auto* init = dynamic_cast<DoInitActionTag*>(t)) maxId = std::max(maxId, init->spriteId);
    }
  }
}

bool ShiftTagIdsAndDepths(const std::vector<SwfTag*>& tags, uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta,
                          std::wstring* error) {
  // Every tag is looked at first: a list is shifted whole or not at all. An id that would
  // pass 65534 would wrap onto the receiving movie's own ids, or become 65535, which fills
  // take for "no bitmap".
  for (SwfTag* t : tags) {
    if (!t) continue;
    // The ids the shift moves, as the tag visits them.
    const SwfTagIds ids = IdsOf(*t);
    if (ids.unfound) {
      if (error) *error = UnfoundIdsError(*ids.unfound);
      return false;
    }
    int32_t highest = -1;
    for (const std::vector<uint16_t>* list : {&ids.defined, &ids.referred})
      for (uint16_t id : *list) highest = std::max<int32_t>(highest, id);
    if (idDelta != 0 && highest >= 0 && highest + idDelta > kHighestCharacterId) {
      if (error)
        *error = L"Character " + std::to_wstring(highest) + L" cannot move by " + std::to_wstring(idDelta) +
                 L": ids end at " + std::to_wstring(kHighestCharacterId);
      return false;
    }
  }
  for (SwfTag* t : tags)
    if (t) t->ShiftIdsAndDepths(idDelta, depthDelta, frameDelta);
  return true;
}
