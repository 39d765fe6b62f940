// A movie the importer or the id shift writes never refers to a character it lacks. A walker
// of its own reads every id each tag defines and every id it refers to from the bytes the tag
// writes, by the published tag layouts (it shares nothing with the tags' own visit of their
// ids, which the shift and the importer use); over the corpus and two movies made here,
// every sprite and every definition imported with what it needs (into an empty list, and into
// a movie with characters of its own, then moved past them), and every whole movie shifted,
// leave no reference dangling or pointing at another character.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "SwfTestSupport.h"
#include "flash/swf/AssetImporter.h"
#include "flash/swf/DefineShapeTag.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagIndex.h"
#include "support/TestSupport.h"

namespace {

struct Ids {
  std::map<uint16_t, const SwfTag*> defined;
  struct Use {
    const SwfTag* tag;
    uint16_t id;
  };
  std::vector<Use> used;
  // The codes of the tags whose bytes do not follow their layout.
  std::vector<uint16_t> unreadable;
};

// Reads bytes and bit fields; a read past the end gives 0 and spoils the walk.
class Bits {
 public:
  Bits(const uint8_t* b, size_t n) : b_(b), n_(n) {}
  bool ok = true;
  size_t Pos() const { return bit_ / 8; }
  size_t Left() const { return Pos() < n_ ? n_ - Pos() : 0; }
  void Align() { bit_ = (bit_ + 7) / 8 * 8; }
  uint32_t U(uint32_t count) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < count; ++i, ++bit_) {
      if (bit_ / 8 >= n_) return ok = false, 0;
      v = v << 1 | ((b_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
    }
    return v;
  }
  void Skip(size_t bytes) {
    Align();
    if (Left() < bytes) ok = false;
    bit_ += 8 * std::min(bytes, Left());
  }
  uint32_t U8() {
    Align();
    return U(8);
  }
  uint32_t U16() {
    const uint32_t lo = U8();
    return lo | U8() << 8;
  }
  void Rect() {
    Align();
    U(4 * U(5));
    Align();
  }
  void Matrix() {
    Align();
    for (int i = 0; i < 2; ++i)
      if (U(1)) U(2 * U(5));
    U(2 * U(5));
    Align();
  }
  void CxformWithAlpha() {
    Align();
    const uint32_t add = U(1), mult = U(1);
    U(U(4) * (add + mult) * 4);
    Align();
  }
  void String() {
    while (ok && U8() != 0) {
    }
  }

 private:
  const uint8_t* b_;
  size_t n_;
  size_t bit_ = 0;
};

// The shape layouts by tag code: 2, 22, 32 (DefineShape 1 to 3), 83 (DefineShape4), 46
// (DefineMorphShape), 84 (DefineMorphShape2).
struct Shape {
  uint16_t code;
  bool morph() const { return code == 46 || code == 84; }
  uint32_t Count(Bits& in) const {
    const uint32_t n = in.U8();
    return n == 0xFF && code != 2 ? in.U16() : n;
  }
  void Fill(Bits& in, std::vector<uint16_t>& bitmaps) const {
    const uint32_t type = in.U8();
    const size_t color = morph() ? 8 : code == 32 || code == 83 ? 4 : 3;
    if (type == 0x00) {
      in.Skip(color);
    } else if (type == 0x10 || type == 0x12 || type == 0x13) {
      in.Matrix();
      if (morph()) in.Matrix();
      // The count's top bits carry the spread and interpolation modes.
      const uint32_t stops = in.U8() & 0x0F;
      in.Skip(stops * (morph() ? 10 : 1 + color));
      if (type == 0x13) in.Skip(morph() ? 4 : 2);
    } else if (type >= 0x40 && type <= 0x43) {
      const uint32_t id = in.U16();
      if (id != 0xFFFF) bitmaps.push_back(static_cast<uint16_t>(id));
      in.Matrix();
      if (morph()) in.Matrix();
    } else {
      in.ok = false;
    }
  }
  void Styles(Bits& in, std::vector<uint16_t>& bitmaps) const {
    for (uint32_t i = 0, n = Count(in); i < n && in.ok; ++i) Fill(in, bitmaps);
    for (uint32_t i = 0, n = Count(in); i < n && in.ok; ++i) {
      in.Skip(morph() ? 4 : 2);  // width(s)
      if (code != 83 && code != 84) {
        in.Skip(morph() ? 8 : code == 32 ? 4 : 3);
        continue;
      }
      const uint32_t first = in.U8();
      in.U8();
      if (((first >> 4) & 3) == 2) in.Skip(2);  // miter limit
      if (first & 0x08) Fill(in, bitmaps);
      else in.Skip(morph() ? 8 : 4);
    }
  }
  std::vector<uint16_t> Bitmaps(Bits& in) const {
    std::vector<uint16_t> bitmaps;
    in.Rect();
    if (code == 83 || morph()) in.Rect();
    if (code == 84) in.Rect(), in.Rect();
    if (code == 83 || code == 84) in.U8();  // flags
    if (morph()) in.Skip(4);  // offset to the end edges
    Styles(in, bitmaps);
    if (morph()) return bitmaps;  // edges carry no styles of their own
    in.Align();
    uint32_t fillBits = in.U(4), lineBits = in.U(4);
    while (in.ok) {
      if (in.U(1)) {  // an edge: straight (general, or vertical or horizontal) or curved
        const uint32_t straight = in.U(1), n = in.U(4) + 2;
        if (straight) in.U(in.U(1) ? 2 * n : n + 1);
        else in.U(4 * n);
        continue;
      }
      const uint32_t flags = in.U(5);
      if (flags == 0) break;
      if (flags & 0x01) in.U(2 * in.U(5));
      if (flags & 0x02) in.U(fillBits);
      if (flags & 0x04) in.U(fillBits);
      if (flags & 0x08) in.U(lineBits);
      if (flags & 0x10) {
        Styles(in, bitmaps);
        in.Align();
        fillBits = in.U(4), lineBits = in.U(4);
      }
    }
    return bitmaps;
  }
};

bool DefinesAtStart(uint16_t code) {
  switch (code) {
    case 2: case 6: case 7: case 10: case 11: case 14: case 20: case 21: case 22: case 32: case 33: case 34: case 35:
    case 36: case 37: case 39: case 46: case 48: case 60: case 75: case 83: case 84: case 87: case 90: case 91:
      return true;
    default:
      return false;
  }
}

// The bytes of the filters of fixed size, by filter id (drop shadow, blur, glow, bevel, -, -,
// colour matrix).
constexpr size_t kFilterBytes[] = {23, 9, 15, 27, 0, 0, 80};

void SoundInfo(Bits& in) {
  const uint32_t flags = in.U8();
  if (flags & 0x01) in.Skip(4);
  if (flags & 0x02) in.Skip(4);
  if (flags & 0x04) in.Skip(2);
  if (flags & 0x08) in.Skip(8 * in.U8());
}

// The ids of one tag's body; `owner` is the top-level tag they are counted under.
void WalkBody(const SwfTag* owner, uint16_t code, const uint8_t* body, size_t size, Ids& ids);

// The tags of a list of bytes, each behind its record header.
void WalkTags(const SwfTag* owner, const uint8_t* bytes, size_t size, Ids& ids) {
  Bits in(bytes, size);
  while (in.Left() >= 2) {
    const uint32_t header = in.U16();
    size_t length = header & 0x3F;
    if (length == 0x3F) {
      length = in.U16();
      length |= static_cast<size_t>(in.U16()) << 16;
    }
    if (!in.ok || length > in.Left()) return ids.unreadable.push_back(static_cast<uint16_t>(header >> 6));
    WalkBody(owner, static_cast<uint16_t>(header >> 6), bytes + in.Pos(), length, ids);
    in.Skip(length);
    if (header >> 6 == 0) return;
  }
}

void WalkBody(const SwfTag* owner, uint16_t code, const uint8_t* body, size_t size, Ids& ids) {
  Bits in(body, size);
  // Only an id read whole counts.
  auto use = [&](uint32_t id) {
    if (in.ok) ids.used.push_back({owner, static_cast<uint16_t>(id)});
  };
  auto define = [&](uint32_t id) {
    if (in.ok) ids.defined.emplace(static_cast<uint16_t>(id), owner);
  };
  // A text's font id 0 names no font.
  auto useFont = [&](uint32_t id) {
    if (id != 0) use(id);
  };
  if (DefinesAtStart(code)) define(in.U16());
  switch (code) {
    case 2: case 22: case 32: case 46: case 83: case 84:
      for (uint16_t id : Shape{code}.Bitmaps(in)) use(id);
      break;
    case 7: case 34:  // button records until a 0 byte
      if (code == 34) in.Skip(3);
      for (uint32_t flags = in.U8(); in.ok && flags != 0; flags = in.U8()) {
        use(in.U16());
        in.Skip(2);
        in.Matrix();
        if (code == 7) continue;
        in.CxformWithAlpha();
        if (flags & 0x10) {
          for (uint32_t i = 0, n = in.U8(); i < n && in.ok; ++i) {
            const uint32_t filter = in.U8();
            if (filter == 4 || filter == 7) in.Skip(5 * in.U8() + 19);
            else if (filter == 5) in.Skip(8 + 4 * in.U8() * in.U8() + 5);
            else if (filter <= 6) in.Skip(kFilterBytes[filter]);
            else in.ok = false;
          }
        }
        if (flags & 0x20) in.U8();
      }
      break;
    case 11: case 33: {  // texts: the font of every style record that names one
      in.Rect();
      in.Matrix();
      const uint32_t g = in.U8(), a = in.U8();
      while (in.ok && in.Left() > 0) {
        const uint32_t lead = in.U8();
        if (lead == 0) break;
        uint32_t glyphs = lead;
        if (lead & 0x80) {
          if (lead & 0x08) useFont(in.U16());
          if (lead & 0x04) in.Skip(code == 11 ? 3 : 4);
          in.Skip(((lead & 0x01) ? 2 : 0) + ((lead & 0x02) ? 2 : 0) + ((lead & 0x08) ? 2 : 0));
          // A glyph count follows, unless the body's last byte, a 0, ends the records.
          if (in.Left() == 0 || (in.Left() == 1 && body[in.Pos()] == 0)) break;
          glyphs = in.U8();
        }
        if (g + a > 0) in.U(static_cast<uint32_t>(std::min<size_t>(glyphs, in.Left() * 8 / (g + a))) * (g + a));
        in.Align();
      }
      break;
    }
    case 37: {  // edit text: its font, when flagged
      in.Rect();
      const uint32_t high = in.U8();
      in.U8();
      if (high & 0x01) useFont(in.U16());
      break;
    }
    case 39:  // a sprite: its id, its frame count, its own tags
      in.Skip(2);
      if (in.ok) WalkTags(owner, body + 4, size - 4, ids);
      break;
    case 3: case 4: case 5: case 13: case 23: case 59: case 61: case 62: case 73: case 74: case 78: case 88:
      use(in.U16());
      break;
    case 15:  // StartSound
      use(in.U16());
      SoundInfo(in);
      break;
    case 17:  // DefineButtonSound: the button, then four sounds (0: none)
      use(in.U16());
      for (int i = 0; i < 4 && in.ok; ++i)
        if (const uint32_t sound = in.U16(); sound != 0) use(sound), SoundInfo(in);
      break;
    case 26: {  // PlaceObject2: flags, depth, the character when flagged
      const uint32_t flags = in.U8();
      in.Skip(2);
      if (flags & 0x02) use(in.U16());
      break;
    }
    case 70: {  // PlaceObject3: flags, flags, depth, the class name when flagged, the character
      const uint32_t flags = in.U8(), more = in.U8();
      in.Skip(2);
      if (more & 0x08) in.String();
      if (flags & 0x02) use(in.U16());
      break;
    }
    case 56: case 76:  // ExportAssets, SymbolClass: (id, name) pairs; 0 is the movie itself
      for (uint32_t i = 0, n = in.U16(); i < n && in.ok; ++i) {
        if (const uint32_t id = in.U16(); id != 0) use(id);
        in.String();
      }
      break;
    case 57: case 71:  // ImportAssets, ImportAssets2: the URL, then the (id, name) pairs taken
      in.String();
      if (code == 71) in.Skip(2);
      for (uint32_t i = 0, n = in.U16(); i < n && in.ok; ++i) {
        define(in.U16());
        in.String();
      }
      break;
    default: break;
  }
  if (!in.ok) ids.unreadable.push_back(code);
}

Ids WalkList(const std::vector<SwfTag*>& tags, uint8_t version) {
  Ids ids;
  for (SwfTag* t : tags) {
    const swftest::Bytes b = swftest::Written(*t, version);
    WalkTags(t, b.data(), b.size(), ids);
  }
  return ids;
}

std::string WrittenTags(const std::vector<SwfTag*>& tags) {
  std::string out;
  for (SwfTag* t : tags) {
    const swftest::Bytes b = swftest::Written(*t, 10);
    out.append(b.begin(), b.end());
  }
  return out;
}

std::vector<std::filesystem::path> CorpusMovies() {
  std::vector<std::filesystem::path> movies;
  for (const auto& e : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) movies.push_back(e.path());
  for (const auto& e : std::filesystem::directory_iterator(testsupport::CorpusDir() / "avm1"))
    if (std::filesystem::exists(e.path() / "test.swf")) movies.push_back(e.path() / "test.swf");
  std::sort(movies.begin(), movies.end());
  return movies;
}

// A movie to walk: a file of the corpus, or bytes made here.
struct Source {
  std::string name;
  std::filesystem::path path;
  std::string bytes;
  bool Read(SwfReader& r) const {
    if (!path.empty()) return r.ReadAllTagsFromMemory(swftest::PathOf(path), true, 0, true);
    return r.OpenMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true, 0, true);
  }
};

// Made here: font 1, shape 3, a DefineText or DefineEditText 2 whose font field names the
// shape, sprite 4 placing both. Imported into a movie with its own character 3, the text's font
// would land on that one.
const char* const kMadeMovies[][2] = {
    {"a DefineText whose font is a shape",
     "465753086300000078000fa000000bb800000c01000a0c010000010146000000008b000300000100ff0000001000d0020200000000"
     "008c0300000000f0000000d609040001008506020100020085060202000300400000008506020100040040000000"},
    {"a DefineEditText whose font is a shape",
     "465753085d00000078000fa000000bb800000c0100090c0100000101460000008b000300000100ff00000010004b0902000001"
     "000300f0007600d609040001008506020100020085060202000300400000008506020100040040000000"},
};

// Characters 1 to 3 of a movie of its own, which imports go into.
struct Receiving {
  std::vector<std::unique_ptr<SwfTag>> own;
  std::vector<SwfTag*> tags;
  Receiving() {
    for (uint16_t id = 1; id <= 3; ++id) {
      auto* shape = new DefineShapeTag();
      shape->characterId = id;
      shape->BuildRectangle(0, 0, 20, 20, nullptr, nullptr);
      own.emplace_back(shape);
      tags.push_back(shape);
    }
  }
};

TEST(IdWalk, ImportsAndShiftsLeaveNoReferenceDangling) {
  int refusedImports = 0;
  int movies = 0, imports = 0, danglingImports = 0, danglingRefs = 0, shifts = 0, brokenShifts = 0, brokenRefs = 0,
      refusedShifts = 0, lowMaxId = 0;
  size_t references = 0;
  std::vector<Source> sources;
  for (const auto& [made, hex] : kMadeMovies) {
    const swftest::Bytes bytes = swftest::Hex(hex);
    sources.push_back({made, {}, std::string(bytes.begin(), bytes.end())});
  }
  if (!testsupport::CorpusDir().empty())
    for (const auto& path : CorpusMovies())
      sources.push_back({path.parent_path().filename().string() + "/" + path.filename().string(), path, {}});
  for (const Source& source : sources) {
    SwfReader r;
    if (!source.Read(r)) continue;
    ++movies;
    const std::string& name = source.name;
    const uint8_t version = r.GetVersion();
    const Ids whole = WalkList(r.tags, version);
    EXPECT_EQ(whole.unreadable, std::vector<uint16_t>{}) << name << ": the codes of tags the walker cannot follow";
    references += whole.used.size();

    uint16_t maxId = 0, maxDepth = 0;
    GetMaxIdAndDepth(r.tags, maxId, maxDepth);
    if (!whole.defined.empty() && maxId < whole.defined.rbegin()->first) {
      ++lowMaxId;
      ADD_FAILURE() << name << ": highest id " << maxId << " below the defined " << whole.defined.rbegin()->first;
    }

    // Every sprite, and every definition through the index, imported with what it needs: each
    // reference of the imported tags is defined among them. A refusal gives its reason and
    // brings nothing.
    auto judge = [&](const char* what, int32_t id, bool brought, const std::wstring& error,
                     const std::vector<SwfTag*>& target) {
      ++imports;
      if (!brought) {
        ++refusedImports;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(target.empty());
        std::printf("%s: import of %s %d refused: %ls\n", name.c_str(), what, id, error.c_str());
        return;
      }
      const Ids got = WalkList(target, version);
      int missing = 0;
      for (const auto& u : got.used) missing += !got.defined.count(u.id);
      if (missing > 0) {
        ++danglingImports;
        danglingRefs += missing;
        ADD_FAILURE() << name << ": " << what << " " << id << " imported without " << missing
                      << " character(s) it refers to";
      }
    };
    // The same into a movie holding characters 1 to 3 of its own, what was brought then moved
    // past them (in a copy of the movie, so that the next import starts from its own ids):
    // every reference of the result names a character the result defines.
    auto judgeInto = [&](const DefineSpriteTag* sprite, int32_t id) {
      SwfReader copy;
      ASSERT_TRUE(source.Read(copy));
      Receiving receiving;
      std::vector<SwfTag*> into = receiving.tags;
      bool brought = false;
      std::wstring error;
      SwfTagIndex index;
      index.Build(copy.tags);
      if (sprite) {
        AssetImporter importer;
        const auto at = std::find(r.tags.begin(), r.tags.end(), sprite) - r.tags.begin();
        brought = importer.Import(dynamic_cast<DefineSpriteTag*>(copy.tags[static_cast<size_t>(at)]), index);
        if (brought) importer.AppendTo(into, true);
        error = importer.error;
      } else {
        brought = index.ImportDefinition(static_cast<uint16_t>(id), into) != nullptr;
        error = index.error;
      }
      const std::vector<SwfTag*> appended(into.begin() + 3, into.end());
      if (brought && !ShiftTagIdsAndDepths(appended, 4, 0, 0, &error)) brought = false;
      else EXPECT_TRUE(brought || appended.empty()) << name << ": a refusal appends nothing";
      judge(sprite ? "sprite (into characters 1 to 3)" : "definition (into characters 1 to 3)", id, brought, error,
            brought ? into : std::vector<SwfTag*>{});
      copy.ClearTags(true);
    };
    for (SwfTag* t : r.tags) {
      if (auto* sprite = dynamic_cast<DefineSpriteTag*>(t)) {
        AssetImporter importer;
        const bool brought = importer.Import(sprite, r.tags);
        std::vector<SwfTag*> target;
        if (brought) importer.AppendTo(target, true);
        judge("sprite", sprite->characterId, brought, importer.error, target);
        judgeInto(sprite, sprite->characterId);
      }
    }
    SwfTagIndex index;
    index.Build(r.tags);
    for (const auto& [id, definition] : whole.defined) {
      std::vector<SwfTag*> target;
      if (DefinedCharacterId(definition) == id) {
        judge("definition", id, index.ImportDefinition(id, target) != nullptr, index.error, target);
        judgeInto(nullptr, id);
      }
    }

    // The whole movie shifted: every reference still names the tag it named.
    ++shifts;
    std::vector<const SwfTag*> before;
    for (const auto& u : whole.used) {
      auto it = whole.defined.find(u.id);
      before.push_back(it == whole.defined.end() ? nullptr : it->second);
    }
    std::wstring error;
    const std::string bytesBefore = WrittenTags(r.tags);
    if (!ShiftTagIdsAndDepths(r.tags, 1000, 0, 0, &error)) {
      ++refusedShifts;
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(WrittenTags(r.tags), bytesBefore) << name << ": a refused shift changes nothing";
      std::printf("%s: shift refused: %ls\n", name.c_str(), error.c_str());
    }
    const Ids after = WalkList(r.tags, version);
    int broken = 0;
    for (size_t i = 0; i < after.used.size() && i < before.size(); ++i) {
      if (!before[i]) continue;
      auto it = after.defined.find(after.used[i].id);
      if (it == after.defined.end() || it->second != before[i]) ++broken;
    }
    if (broken > 0) {
      ++brokenShifts;
      brokenRefs += broken;
      ADD_FAILURE() << name << ": the shift broke " << broken << " reference(s)";
    }
    r.ClearTags(true);
  }
  std::printf("movies %d, references %zu; imports %d, refused %d, with dangling references %d (%d references); "
              "shifts %d, refused %d, broken %d (%d references); highest id below a defined one %d\n",
              movies, references, imports, refusedImports, danglingImports, danglingRefs, shifts, refusedShifts,
              brokenShifts, brokenRefs, lowMaxId);
  if (testsupport::CorpusDir().empty()) GTEST_SKIP() << "the corpus folder of real files is not present";
  EXPECT_GT(movies, 80);
  EXPECT_GT(references, 200u) << "the walker finds the references";
}

}  // namespace
