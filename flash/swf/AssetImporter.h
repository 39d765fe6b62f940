#pragma once
// Gathers, from the tag list of a template movie, a sprite, a button or a shape together with
// every tag it needs (placed characters, bitmaps and their JPEG tables, fonts, nested buttons
// and sprites), in an order in which each tag comes after what it uses. Only pointers into the
// template's list are gathered: nothing is copied and no id is changed here.
#include <cstdint>
#include <unordered_set>
#include <string>
#include <vector>

class DefineButtonTag;
class DefineMorphShapeTag;
class DefineShapeTag;
class DefineSpriteTag;
class SwfTag;
class SwfTagIndex;

// A list of tags each held once.
class SwfTagSet {
 public:
  bool Add(SwfTag* tag);
  bool Contains(const SwfTag* tag) const { return seen_.count(tag) != 0; }
  void Clear();
  const std::vector<SwfTag*>& Tags() const { return tags_; }

 private:
  std::vector<SwfTag*> tags_;
  std::unordered_set<const SwfTag*> seen_;
};

// What one gathering has already followed: each nested button and sprite is followed once, so
// that buttons and sprites that show each other cost no more than their number.
struct AssetWalk {
  std::unordered_set<const SwfTag*> followed;
  // Buttons and sprites met deeper than kMaxAssetNesting: brought without what they show or
  // place, unless another path brings it.
  std::unordered_set<const SwfTag*> tooDeep;
};

class ShapeAssetCollector {
 public:
  // The bitmaps of every bitmap fill of the shape and of its new styles. False for a null shape.
  bool Collect(DefineShapeTag* shapeTag, const std::vector<SwfTag*>& tags);
  bool Collect(DefineMorphShapeTag* morphTag, const std::vector<SwfTag*>& tags);
  // The same with an index of the list already built.
  bool Collect(SwfTag* shapeOrMorph, const SwfTagIndex& index);

  SwfTag* shape = nullptr;
  std::vector<uint16_t> bitmapIds;
  std::vector<SwfTag*> gathered;
  SwfTag* backgroundColor = nullptr;
};

class ButtonAssetCollector {
 public:
  bool Collect(DefineButtonTag* buttonTag, const std::vector<SwfTag*>& tags);
  bool Collect(DefineButtonTag* buttonTag, const SwfTagIndex& index, AssetWalk* walk = nullptr, int depth = 0);

  DefineButtonTag* button = nullptr;
  std::vector<uint16_t> characterIds;
  std::vector<SwfTag*> gathered;
  std::vector<uint16_t> fontIds;
  SwfTag* placement = nullptr;
  SwfTag* backgroundColor = nullptr;
  // Why Collect failed: a button or sprite it shows cannot be brought whole. Nothing is
  // gathered then.
  std::wstring error;
};

class AssetImporter {
 public:
  bool Import(DefineSpriteTag* spriteTag, const std::vector<SwfTag*>& tags);
  bool Import(DefineSpriteTag* spriteTag, const SwfTagIndex& index, AssetWalk* walk = nullptr, int depth = 0);
  // Appends the fonts, the definitions and the sprites, each once and none that `target`
  // already holds; with `withSprite` the imported sprite, then what annotates the characters.
  bool AppendTo(std::vector<SwfTag*>& target, bool withSprite) const;

  std::vector<SwfTag*> fonts;
  std::vector<SwfTag*> definitions;
  std::vector<SwfTag*> sprites;
  std::vector<uint16_t> usedIds;
  std::vector<uint16_t> fontIds;
  // The tags that annotate a gathered character (text settings, scaling grids): after it.
  std::vector<SwfTag*> annotations;
  // Why Import failed: a tag it would bring holds ids that cannot be found.
  std::wstring error;
  DefineSpriteTag* sprite = nullptr;
  SwfTag* placement = nullptr;
  SwfTag* backgroundColor = nullptr;
};

// Whether the tags `brought` out of the indexed list can go into another movie: the ids of
// each can be found and moved, and none places, shows or writes with a character that another
// movie lends through ImportAssets. With `beside` (what the receiving list already holds),
// also whether every character they refer to is defined among them or by a tag of the indexed
// list that `beside` holds (never by the receiving movie's own characters); `walk` tells which
// buttons and sprites were brought without being followed. Otherwise false, with the reason
// in `error`.
bool CanBring(const SwfTagIndex& index, const std::vector<SwfTag*>& brought, std::wstring& error,
              const std::vector<SwfTag*>* beside = nullptr, const AssetWalk* walk = nullptr);

// The bitmaps the fills of a shape or morph shape name, 0xFFFF ("no bitmap") aside, each
// once: those the id shift moves. None for a shape kept as read or for any other tag.
std::vector<uint16_t> ShapeBitmapIds(const SwfTag* shapeOrMorph);

// Nested buttons and sprites are followed this deep at most (each level is a call); an import
// that needs what a deeper one shows is refused.
inline constexpr int kMaxAssetNesting = 8;
