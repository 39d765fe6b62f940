#include "flash/swf/AssetImporter.h"

#include <algorithm>

#include "flash/swf/ButtonTags.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineMorphShapeTag.h"
#include "flash/swf/DefineShapeTag.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfInfo.h"
#include "flash/swf/SwfRawIds.h"
#include "flash/swf/SwfTagIndex.h"
#include "flash/swf/TextTags.h"
#include "flash/swf/VideoTags.h"
#include "toolbox/Utf8.h"

namespace {

void AddId(std::vector<uint16_t>& ids, uint16_t id) {
  if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
}

bool IsBitmapCode(uint16_t code) { return code == 6 || code == 20 || code == 21 || code == 35 || code == 36 || code == 90; }

bool IsShapeCode(uint16_t code) {
  return code == 2 || code == 22 || code == 32 || code == 46 || code == 83 || code == 84;
}

void AddTextFonts(const SwfTag* tag, std::vector<uint16_t>& fontIds) {
  if (auto* text = dynamic_cast<const DefineTextTag*>(tag)) {
    for (auto& r : text->records)
      if (auto* style = dynamic_cast<const SwfTextRecord*>(r.get())) AddId(fontIds, style->fontId);
  } else if (auto* edit = dynamic_cast<const DefineEditTextTag*>(tag)) {
    AddId(fontIds, edit->fontId);
  }
}

// The characters a timeline places, starts or streams, each once (placements kept as read,
// PlaceObject3 among them, by the ids their layout holds).
template <class List>
void AddUsedIds(const List& tags, std::vector<uint16_t>& ids) {
  for (auto& item : tags) {
    const SwfTag* t = &*item;
    switch (t->GetTagCode()) {
      case 4: case 15: case 26: case 61: case 70:
        for (uint16_t id : IdsOf(*t).referred) AddId(ids, id);
        break;
      default: break;
    }
  }
}

// The characters a button's records show, each once.
void AddShownIds(const DefineButtonTag& button, std::vector<uint16_t>& ids) {
  for (uint16_t id : IdsOf(button).referred) AddId(ids, id);
}

// The sprites (and the buttons that show sprites), each after the sprites and buttons it
// places or shows (where they do not use each other in a ring), otherwise in the order given.
std::vector<SwfTag*> OrderedByUse(const std::vector<SwfTag*>& sprites) {
  std::vector<SwfTag*> ordered;
  std::unordered_set<const SwfTag*> visited;
  auto visit = [&](auto& self, SwfTag* s, int depth) -> void {
    if (!visited.insert(s).second) return;
    auto* sprite = dynamic_cast<DefineSpriteTag*>(s);
    auto* button = dynamic_cast<DefineButtonTag*>(s);
    if ((sprite || button) && depth < 64) {
      std::vector<uint16_t> ids;
      if (sprite) AddUsedIds(sprite->tags, ids);
      else AddShownIds(*button, ids);
      for (uint16_t id : ids)
        for (SwfTag* other : sprites)
          if (DefinedCharacterId(other) == id) self(self, other, depth + 1);
    }
    ordered.push_back(s);
  };
  for (SwfTag* s : sprites) visit(visit, s, 0);
  return ordered;
}

// Why a button or sprite kept as its bytes (damaged) cannot be followed: what it shows or
// places cannot be found.
std::wstring KeptAsReadError(const SwfTag& tag) {
  std::wstring why;
  CanShiftIds(&tag, &why);
  return why;
}

// Whether a nested button or sprite is followed now: once per gathering, and no deeper than
// kMaxAssetNesting (one met deeper is noted, as it comes without what it shows).
bool Follow(AssetWalk& walk, const SwfTag* nested, int depth) {
  if (walk.followed.count(nested)) return false;
  if (depth < kMaxAssetNesting) return true;
  walk.tooDeep.insert(nested);
  return false;
}

// Whether a tag of `brought` places, shows or writes with a character that the indexed list
// does not define but takes from another movie through ImportAssets; then `error` says which
// and from where.
bool RefersToImportedAsset(const SwfTagIndex& index, const std::vector<SwfTag*>& brought, std::wstring& error) {
  if (!index.tags) return false;
  // What the timelines and buttons place, the texts write with and the shapes fill with.
  std::vector<uint16_t> ids;
  for (SwfTag* t : brought) {
    if (auto* sprite = dynamic_cast<const DefineSpriteTag*>(t)) AddUsedIds(sprite->tags, ids);
    if (auto* button = dynamic_cast<const DefineButtonTag*>(t)) AddShownIds(*button, ids);
    AddTextFonts(t, ids);
    switch (t->GetTagCode()) {
      case 2: case 22: case 32: case 46: case 83: case 84: {
        ShapeAssetCollector shape;
        shape.Collect(t, index);
        for (uint16_t id : shape.bitmapIds) AddId(ids, id);
        break;
      }
      default: break;
    }
  }
  for (uint16_t id : ids) {
    if (index.FindDefinition(id)) continue;
    for (SwfTag* t : *index.tags) {
      std::wstring url;
      bool imports = false;
      if (auto* import = dynamic_cast<const ImportAssetsTag*>(t)) {
        for (auto& a : import->assets) imports = imports || a->characterId == id;
        url = import->url.Text();
      } else if (auto* raw = dynamic_cast<const RawTag*>(t); raw && raw->code == 71) {
        for (uint32_t at : FindRawIds(*raw).usedAt) imports = imports || RawU16(*raw, at) == id;
        const auto end = std::find(raw->body.begin(), raw->body.end(), uint8_t{0});
        url = toolbox::Utf8ToWide(std::string(raw->body.begin(), end));
      }
      if (imports) {
        error = L"Character " + std::to_wstring(id) + L" comes from another movie (\"" + url +
                L"\") and cannot be brought along";
        return true;
      }
    }
  }
  return false;
}

// Whether a tag of the indexed list (a sprite's nested tags among them) defines `id`.
bool MovieDefines(const SwfTagIndex& index, uint16_t id) {
  if (!index.tags) return false;
  for (SwfTag* t : *index.tags) {
    if (!t) continue;
    const std::vector<uint16_t> defined = IdsOf(*t).defined;
    if (std::find(defined.begin(), defined.end(), id) != defined.end()) return true;
  }
  return false;
}

}  // namespace

bool CanBring(const SwfTagIndex& index, const std::vector<SwfTag*>& brought, std::wstring& error,
              const std::vector<SwfTag*>* beside, const AssetWalk* walk) {
  for (SwfTag* t : brought)
    if (!CanShiftIds(t, &error)) return false;
  if (RefersToImportedAsset(index, brought, error)) return false;
  if (!beside) return true;
  // Once shifted, a reference to a character that nothing brought defines would name
  // nothing, or whatever the receiving movie holds under that id. The receiving list supplies
  // only the tags of this movie it already holds (gathered before, shifted with the rest): a
  // character of its own under the same number is another character.
  std::vector<SwfTagIds> ids;
  std::unordered_set<uint16_t> defined;
  if (!beside->empty() && index.tags) {
    const std::unordered_set<const SwfTag*> ours(index.tags->begin(), index.tags->end());
    for (SwfTag* t : *beside)
      if (t && ours.count(t))
        for (uint16_t id : IdsOf(*t).defined) defined.insert(id);
  }
  for (SwfTag* t : brought) {
    ids.push_back(t ? IdsOf(*t) : SwfTagIds{});
    defined.insert(ids.back().defined.begin(), ids.back().defined.end());
  }
  // The characters are named first: a font's info or alignment zones refer to what the text
  // that needs the font refers to.
  for (const bool characters : {true, false}) {
    for (size_t i = 0; i < brought.size(); ++i) {
      const SwfTag* t = brought[i];
      const int32_t own = DefinedCharacterId(t);
      if ((own >= 0) != characters) continue;
      for (uint16_t id : ids[i].referred) {
        if (defined.count(id)) continue;
        const std::wstring who =
            own >= 0 ? L"Character " + std::to_wstring(own) : L"A tag of code " + std::to_wstring(t->GetTagCode());
        if (!MovieDefines(index, id))
          error = who + L" refers to character " + std::to_wstring(id) + L", which the movie does not define";
        else if (walk && walk->tooDeep.count(t) && !walk->followed.count(t))
          error = who + L" is nested too deeply (more than " + std::to_wstring(kMaxAssetNesting) +
                  L" buttons and sprites) to be brought with what it shows";
        else
          error = who + L" refers to character " + std::to_wstring(id) + L", which is not brought along";
        return false;
      }
    }
  }
  return true;
}

std::vector<uint16_t> ShapeBitmapIds(const SwfTag* shapeOrMorph) {
  std::vector<uint16_t> ids;
  if (!shapeOrMorph || !IsShapeCode(shapeOrMorph->GetTagCode())) return ids;
  // What a shape refers to is the bitmaps of its fills.
  for (uint16_t id : IdsOf(*shapeOrMorph).referred) AddId(ids, id);
  return ids;
}

bool SwfTagSet::Add(SwfTag* tag) {
  if (!tag || !seen_.insert(tag).second) return false;
  tags_.push_back(tag);
  return true;
}

void SwfTagSet::Clear() {
  tags_.clear();
  seen_.clear();
}

// ---- shapes and morph shapes

bool ShapeAssetCollector::Collect(DefineShapeTag* shapeTag, const std::vector<SwfTag*>& tags) {
  SwfTagIndex index;
  index.Build(tags);
  return Collect(shapeTag, index);
}

bool ShapeAssetCollector::Collect(DefineMorphShapeTag* morphTag, const std::vector<SwfTag*>& tags) {
  SwfTagIndex index;
  index.Build(tags);
  return Collect(morphTag, index);
}

bool ShapeAssetCollector::Collect(SwfTag* shapeOrMorph, const SwfTagIndex& index) {
  shape = shapeOrMorph;
  bitmapIds.clear();
  gathered.clear();
  backgroundColor = index.tags ? FindBackgroundColorTag(*index.tags) : nullptr;
  if (!shapeOrMorph) return false;
  bitmapIds = ShapeBitmapIds(shapeOrMorph);
  SwfTagSet set;
  for (uint16_t id : bitmapIds) {
    SwfTag* bitmap = index.FindDefinition(id);
    if (!bitmap || !IsBitmapCode(bitmap->GetTagCode())) continue;
    if (bitmap->GetTagCode() == 6) set.Add(index.FindJpegTables());
    set.Add(bitmap);
  }
  gathered = set.Tags();
  return true;
}

// ---- buttons

bool ButtonAssetCollector::Collect(DefineButtonTag* buttonTag, const std::vector<SwfTag*>& tags) {
  SwfTagIndex index;
  index.Build(tags);
  return Collect(buttonTag, index);
}

bool ButtonAssetCollector::Collect(DefineButtonTag* buttonTag, const SwfTagIndex& index, AssetWalk* walk, int depth) {
  AssetWalk own;
  if (!walk) walk = &own;
  button = buttonTag;
  characterIds.clear();
  gathered.clear();
  fontIds.clear();
  placement = nullptr;
  backgroundColor = nullptr;
  error.clear();
  if (!buttonTag || !index.tags) {
    error = L"There is no button to gather";
    return false;
  }
  walk->followed.insert(buttonTag);
  AddShownIds(*buttonTag, characterIds);
  SwfTagSet set;
  // A nested button or sprite that cannot be brought whole refuses the button: without what
  // it needs it would show or place ids that nothing defines.
  auto refuse = [this](const std::wstring& why) {
    error = why;
    characterIds.clear();
    gathered.clear();
    fontIds.clear();
    return false;
  };
  for (uint16_t id : characterIds) {
    SwfTag* definition = index.FindDefinition(id);
    if (!definition || definition == buttonTag) continue;
    const uint16_t code = definition->GetTagCode();
    if ((code == 7 || code == 34 || code == 39) && dynamic_cast<const RawTag*>(definition))
      return refuse(KeptAsReadError(*definition));
    switch (code) {
      case 7: case 34:
        if (Follow(*walk, definition, depth)) {
          ButtonAssetCollector nested;
          if (!nested.Collect(dynamic_cast<DefineButtonTag*>(definition), index, walk, depth + 1))
            return refuse(nested.error);
          for (SwfTag* t : nested.gathered) set.Add(t);
          for (uint16_t font : nested.fontIds) AddId(fontIds, font);
        }
        break;
      case 2: case 22: case 32: case 46: case 83: case 84: {
        ShapeAssetCollector shape;
        shape.Collect(definition, index);
        for (SwfTag* t : shape.gathered) set.Add(t);
        break;
      }
      case 11: case 33: case 37: AddTextFonts(definition, fontIds); break;
      case 39:
        // A sprite shown by the button brings what its own frames place.
        if (Follow(*walk, definition, depth)) {
          AssetImporter nested;
          if (!nested.Import(dynamic_cast<DefineSpriteTag*>(definition), index, walk, depth + 1))
            return refuse(nested.error);
          for (uint16_t font : nested.fontIds) AddId(fontIds, font);
          // The button itself, met again by the sprite's import, comes after all of them.
          for (SwfTag* t : nested.definitions)
            if (t != buttonTag) set.Add(t);
          for (SwfTag* t : nested.sprites)
            if (t != definition && t != buttonTag) set.Add(t);
        }
        break;
      default: break;
    }
    set.Add(definition);
  }
  gathered = set.Tags();
  for (SwfTag* t : *index.tags) {
    if (!t || (t->GetTagCode() != 4 && t->GetTagCode() != 26)) continue;
    if (auto* p = dynamic_cast<PlaceObjectTag*>(t); p && p->characterId == buttonTag->characterId) {
      placement = t;
      break;
    }
  }
  backgroundColor = FindBackgroundColorTag(*index.tags);
  return true;
}

// ---- sprites

bool AssetImporter::Import(DefineSpriteTag* spriteTag, const std::vector<SwfTag*>& tags) {
  SwfTagIndex index;
  index.Build(tags);
  return Import(spriteTag, index);
}

bool AssetImporter::Import(DefineSpriteTag* spriteTag, const SwfTagIndex& index, AssetWalk* walk, int depth) {
  AssetWalk own;
  if (!walk) walk = &own;
  // Nothing half gathered is left behind by a refusal, nor from an earlier import.
  auto refuse = [this] {
    fonts.clear();
    definitions.clear();
    sprites.clear();
    usedIds.clear();
    fontIds.clear();
    annotations.clear();
    return false;
  };
  refuse();
  error.clear();
  sprite = spriteTag;
  placement = nullptr;
  backgroundColor = nullptr;
  if (!spriteTag || !index.tags) {
    error = L"There is no sprite to import";
    return false;
  }
  walk->followed.insert(spriteTag);
  const std::vector<SwfTag*>& tags = *index.tags;
  // A sprite whose timeline holds ids that cannot be found cannot be brought whole.
  if (!CanShiftIds(spriteTag, &error)) return false;
  // The ids every sprite of the template uses, the imported one first.
  AddUsedIds(spriteTag->tags, usedIds);
  for (SwfTag* t : tags)
    if (auto* s = dynamic_cast<DefineSpriteTag*>(t)) AddUsedIds(s->tags, usedIds);

  SwfTagSet gatheredDefinitions, gatheredSprites;
  SwfTag* jpegTables = nullptr;
  for (SwfTag* t : tags)
    if (t && t->GetTagCode() == 8) {
      jpegTables = t;
      break;
    }
  for (uint16_t id : usedIds) {
    for (SwfTag* t : tags) {
      if (!t || DefinedCharacterId(t) != id) continue;
      const uint16_t code = t->GetTagCode();
      bool handled = true;
      switch (code) {
        case 2: case 22: case 32: case 46: case 83: case 84: {
          // Shapes and morph shapes bring the bitmaps of their fills.
          ShapeAssetCollector shape;
          shape.Collect(t, index);
          for (SwfTag* g : shape.gathered) gatheredDefinitions.Add(g);
          gatheredDefinitions.Add(t);
          break;
        }
        case 6:
          gatheredDefinitions.Add(jpegTables);
          gatheredDefinitions.Add(t);
          break;
        case 7: case 34:
          if (dynamic_cast<const RawTag*>(t)) {
            error = KeptAsReadError(*t);
            return refuse();
          }
          if (Follow(*walk, t, depth)) {
            ButtonAssetCollector button;
            if (!button.Collect(dynamic_cast<DefineButtonTag*>(t), index, walk, depth + 1)) {
              error = button.error;
              return refuse();
            }
            bool showsSprite = false;
            for (SwfTag* g : button.gathered) {
              if (g == t) continue;
              // A sprite the button shows also stands among the sprites.
              if (g->GetTagCode() == 39) gatheredSprites.Add(g), showsSprite = true;
              else gatheredDefinitions.Add(g);
            }
            for (uint16_t font : button.fontIds) AddId(fontIds, font);
            // Such a button comes after the sprites it shows: it stands among them.
            if (showsSprite) {
              gatheredSprites.Add(t);
              break;
            }
          }
          gatheredDefinitions.Add(t);
          break;
        case 11: case 33: case 37:
          AddTextFonts(t, fontIds);
          gatheredDefinitions.Add(t);
          break;
        case 14: case 20: case 21: case 35: case 36: case 60: case 87: case 90: gatheredDefinitions.Add(t); break;
        case 75: case 91: AddId(fontIds, id); break;
        case 39: gatheredSprites.Add(t); break;
        default: handled = false; break;
      }
      if (handled) break;
    }
  }
  definitions = gatheredDefinitions.Tags();
  sprites = OrderedByUse(gatheredSprites.Tags());

  // Each font id: its font and its font info, in list order, then its alignment zones and
  // its name.
  for (uint16_t fontId : fontIds) {
    int found = 0;
    for (SwfTag* t : tags) {
      if (!t) continue;
      const uint16_t code = t->GetTagCode();
      const bool font = (code == 10 || code == 48 || code == 75 || code == 91) && DefinedCharacterId(t) == fontId;
      auto* info = dynamic_cast<DefineFontInfoTag*>(t);
      if (font || (info && info->fontId == fontId)) {
        if (std::find(fonts.begin(), fonts.end(), t) == fonts.end()) fonts.push_back(t);
        if (++found == 2) break;
      }
    }
    AppendAnnotations(fontId, tags, fonts, {73, 88});
  }
  // Text settings and scaling grids of what is brought, the sprite's own among them.
  for (const std::vector<SwfTag*>* list : {&definitions, &sprites})
    for (SwfTag* t : *list)
      if (DefinedCharacterId(t) >= 0) AppendAnnotations(static_cast<uint16_t>(DefinedCharacterId(t)), tags, annotations, {74, 78});
  AppendAnnotations(spriteTag->characterId, tags, annotations, {74, 78});
  // What is brought goes along whole. A sprite followed for a button may lean on what the
  // outer gathering brings: that one judges whether every reference is defined.
  std::vector<SwfTag*> brought = definitions;
  brought.insert(brought.end(), sprites.begin(), sprites.end());
  brought.push_back(spriteTag);
  brought.insert(brought.end(), fonts.begin(), fonts.end());
  brought.insert(brought.end(), annotations.begin(), annotations.end());
  const std::vector<SwfTag*> nothingBeside;
  if (!CanBring(index, brought, error, depth == 0 ? &nothingBeside : nullptr, walk)) return refuse();
  placement = FindPlacementTag(spriteTag, tags);
  backgroundColor = FindBackgroundColorTag(tags);
  return true;
}

bool AssetImporter::AppendTo(std::vector<SwfTag*>& target, bool withSprite) const {
  std::unordered_set<const SwfTag*> present(target.begin(), target.end());
  auto add = [&](SwfTag* t) {
    if (t && present.insert(t).second) target.push_back(t);
  };
  for (SwfTag* t : fonts) add(t);
  for (SwfTag* t : definitions) add(t);
  // The imported sprite goes last, once, and only when asked for.
  for (SwfTag* t : sprites)
    if (t != sprite) add(t);
  if (withSprite) add(sprite);
  for (SwfTag* t : annotations)
    if (withSprite || AnnotatedId(t) != (sprite ? sprite->characterId : 0)) add(t);
  return true;
}
