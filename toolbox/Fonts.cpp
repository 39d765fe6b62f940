#include "toolbox/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "toolbox/Controls.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

struct Face {
  std::string file;
  int index = 0;
  std::uint16_t style = 0;
};

struct FontCatalog {
  std::vector<std::wstring> names;             // sorted English names
  std::vector<std::vector<Face>> faces;        // per family, by ascending style
  FontFamilyID system = 0;
};

// The English name of a font pattern's family: the one whose language is "en", else the
// first given.
std::string EnglishFamily(FcPattern* p) {
  FcChar8* first = nullptr;
  for (int i = 0;; ++i) {
    FcChar8* name = nullptr;
    if (FcPatternGetString(p, FC_FAMILY, i, &name) != FcResultMatch) break;
    if (!first) first = name;
    FcChar8* lang = nullptr;
    if (FcPatternGetString(p, FC_FAMILYLANG, i, &lang) == FcResultMatch && lang &&
        std::string(reinterpret_cast<char*>(lang)) == "en")
      return reinterpret_cast<char*>(name);
  }
  return first ? reinterpret_cast<char*>(first) : std::string();
}

// The style bits naming a face; false for faces style bits cannot name.
bool StyleOf(FcPattern* p, std::uint16_t* style) {
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL;
  FcPatternGetInteger(p, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(p, FC_SLANT, 0, &slant);
  FcPatternGetInteger(p, FC_WIDTH, 0, &width);
  std::uint16_t s = 0;
  if (weight == FC_WEIGHT_BOLD) s |= kStyleBold;
  else if (weight != FC_WEIGHT_REGULAR) return false;
  if (slant != FC_SLANT_ROMAN) s |= kStyleItalic;
  if (width < FC_WIDTH_NORMAL) s |= kStyleCondense;
  if (width > FC_WIDTH_NORMAL) s |= kStyleExtend;
  *style = s;
  return true;
}

FontCatalog Load() {
  FontCatalog c;
  // A private configuration, released once the list is read: the catalog keeps only names
  // and files, and whatever else in the process uses fontconfig keeps its own.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return c;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_WEIGHT, FC_SLANT, FC_WIDTH,
                                          FC_FILE, FC_INDEX, nullptr);
  FcFontSet* set = FcFontList(config, pattern, objects);
  std::map<std::string, std::map<std::uint16_t, Face>> families;
  // Per family, the face nearest to a regular one among those style bits cannot name.
  std::map<std::string, std::pair<int, Face>> nearest;
  for (int i = 0; set && i < set->nfont; ++i) {
    FcPattern* p = set->fonts[i];
    const std::string family = EnglishFamily(p);
    if (family.empty()) continue;
    auto& faces = families[family];
    std::uint16_t style = 0;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) continue;
    FcPatternGetInteger(p, FC_INDEX, 0, &index);
    Face face{reinterpret_cast<char*>(file), index, 0};
    if (!StyleOf(p, &style)) {
      int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL;
      FcPatternGetInteger(p, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(p, FC_SLANT, 0, &slant);
      FcPatternGetInteger(p, FC_WIDTH, 0, &width);
      const int distance = std::abs(weight - FC_WEIGHT_REGULAR) * 4 + std::abs(width - FC_WIDTH_NORMAL) +
                           (slant != FC_SLANT_ROMAN ? 10000 : 0);
      auto found = nearest.find(family);
      if (found == nearest.end() || distance < found->second.first ||
          (distance == found->second.first && face.file < found->second.second.file))
        nearest[family] = {distance, face};
      continue;
    }
    face.style = style;
    auto found = faces.find(style);
    // Several files for one face: keep one, the same on every run.
    if (found == faces.end() || face.file < found->second.file) faces[style] = face;
  }
  if (set) FcFontSetDestroy(set);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  // A family whose every face is one style bits cannot name (only Medium or Light faces,
  // say) is offered with its nearest face as the regular one, so that it measures and
  // draws like every family listed; a family left without any face is not listed.
  for (auto it = families.begin(); it != families.end();) {
    if (it->second.empty()) {
      if (auto found = nearest.find(it->first); found != nearest.end()) it->second[0] = found->second.second;
    }
    it = it->second.empty() ? families.erase(it) : std::next(it);
  }
  for (auto& [name, faces] : families) {
    c.names.push_back(Utf8ToWide(name));
    std::vector<Face> list;
    for (auto& [style, face] : faces) list.push_back(face);
    c.faces.push_back(std::move(list));
  }
  // The interface family: what fontconfig makes of "sans-serif", when it is listed.
  FcPattern* want = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(config, want, FcMatchPattern);
  FcDefaultSubstitute(want);
  FcResult result;
  if (FcPattern* match = FcFontMatch(config, want, &result)) {
    const std::wstring name = Utf8ToWide(EnglishFamily(match));
    auto it = std::find(c.names.begin(), c.names.end(), name);
    if (it != c.names.end()) c.system = static_cast<FontFamilyID>(it - c.names.begin() + 1);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(want);
  FcConfigDestroy(config);
  if (!c.system && !c.names.empty()) c.system = 1;
  return c;
}

const FontCatalog& Catalog() {
  static const FontCatalog catalog = Load();
  return catalog;
}

bool Valid(FontFamilyID id) {
  return id >= 1 && static_cast<std::size_t>(id) <= Catalog().names.size();
}

// The face for the style: the exact one, else the one sharing most of its bits (regular
// before others).
const Face* FaceFor(FontFamilyID id, std::uint16_t style) {
  if (!Valid(id)) return nullptr;
  const std::vector<Face>& faces = Catalog().faces[static_cast<std::size_t>(id - 1)];
  const Face* best = nullptr;
  int bestScore = -1;
  for (const Face& f : faces) {
    const int score = f.style == style ? 100 : __builtin_popcount(f.style & style) * 2 - __builtin_popcount(f.style & ~style);
    if (score > bestScore) {
      best = &f;
      bestScore = score;
    }
  }
  return best;
}

struct FreeType {
  FT_Library library = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> faces;
  FreeType() {
    if (FT_Init_FreeType(&library)) library = nullptr;
  }
  ~FreeType() {
    for (auto& [key, face] : faces) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  FT_Face Open(const Face& f) {
    auto key = std::make_pair(f.file, f.index);
    if (auto it = faces.find(key); it != faces.end()) return it->second;
    FT_Face face = nullptr;
    if (!library || FT_New_Face(library, f.file.c_str(), f.index, &face)) face = nullptr;
    faces[key] = face;
    return face;
  }
};

FT_Face OpenFace(FontFamilyID id, std::uint16_t style) {
  static FreeType freetype;
  const Face* f = FaceFor(id, style);
  return f ? freetype.Open(*f) : nullptr;
}

struct MenuKey {
  std::uint64_t menu;
  std::uint16_t item;
  bool operator<(const MenuKey& o) const { return menu != o.menu ? menu < o.menu : item < o.item; }
};

std::map<MenuKey, std::pair<FontFamilyID, std::uint16_t>>& MenuSelections() {
  static std::map<MenuKey, std::pair<FontFamilyID, std::uint16_t>> selections;
  return selections;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

const std::vector<std::wstring>& ListFontFamilies() { return Catalog().names; }

FontFamilyID GetSysFont() { return Catalog().system; }

FontFamilyID FindFontFamily(const std::wstring& name) {
  const auto& names = Catalog().names;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (EqualNoCase(names[i], name)) return static_cast<FontFamilyID>(i + 1);
  return 0;
}

OSStatus GetFontFamilyName(FontFamilyID family, std::wstring* name) {
  if (!Valid(family)) return kParamErr;
  if (name) *name = Catalog().names[static_cast<std::size_t>(family - 1)];
  return kNoErr;
}

std::vector<std::uint16_t> GetFontFamilyStyles(FontFamilyID family) {
  std::vector<std::uint16_t> styles;
  if (!Valid(family)) return styles;
  for (const Face& f : Catalog().faces[static_cast<std::size_t>(family - 1)]) styles.push_back(f.style);
  return styles;
}

bool FontFamilyHasStyle(FontFamilyID family, std::uint16_t style) {
  const std::vector<std::uint16_t> styles = GetFontFamilyStyles(family);
  return std::find(styles.begin(), styles.end(), style) != styles.end();
}

bool GetFontMetrics(FontFamilyID family, std::uint16_t style, double size, FontMetricsInfo* out) {
  FT_Face face = OpenFace(family, style);
  if (!face || face->units_per_EM == 0 || !out) return false;
  const double scale = size / face->units_per_EM;
  out->ascent = face->ascender * scale;
  out->descent = -face->descender * scale;
  out->leading = (face->height - (face->ascender - face->descender)) * scale;
  return true;
}

bool GetGlyphMetrics(FontFamilyID family, std::uint16_t style, double size, char32_t code,
                     GlyphMetricsInfo* out) {
  FT_Face face = OpenFace(family, style);
  if (!face || face->units_per_EM == 0 || !out) return false;
  const FT_UInt glyph = FT_Get_Char_Index(face, code);
  if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE)) return false;
  const double scale = size / face->units_per_EM;
  out->leftBearing = face->glyph->metrics.horiBearingX * scale;
  out->boundsWidth = face->glyph->metrics.width * scale;
  out->advance = face->glyph->metrics.horiAdvance * scale;
  return true;
}

std::string GetFontFile(FontFamilyID family, std::uint16_t style) {
  const Face* f = FaceFor(family, style);
  return f ? f->file : std::string();
}

OSStatus CreateStandardFontMenu(MenuRef menu, std::uint16_t afterItem, std::int16_t firstSubmenuId,
                                bool hierarchical, std::uint16_t* outSubmenuCount) {
  if (!IsValidMenu(menu)) return kInvalidMenuErr;
  if (afterItem > CountMenuItems(menu)) return kParamErr;
  std::uint16_t submenus = 0;
  const auto& names = Catalog().names;
  // Items are appended; those after `afterItem` would move, so the model only appends.
  for (std::size_t i = 0; i < names.size(); ++i) {
    const FontFamilyID family = static_cast<FontFamilyID>(i + 1);
    const std::vector<std::uint16_t> styles = GetFontFamilyStyles(family);
    if (styles.empty()) continue;
    MenuItemInfo item;
    item.text = names[i];
    std::uint16_t index = 0;
    if (OSStatus s = AppendMenuItem(menu, item, &index)) return s;
    SetFontMenuItemSelection(menu, index, family, styles.front());
    if (!hierarchical || styles.size() < 2) continue;
    MenuRef sub;
    if (OSStatus s = CreateNewMenu(static_cast<std::int16_t>(firstSubmenuId + submenus), names[i], &sub)) return s;
    for (std::uint16_t style : styles) {
      std::uint16_t at = 0;
      AppendMenuItem(sub, MenuItemInfo{StyleName(style)}, &at);
      SetFontMenuItemSelection(sub, at, family, style);
    }
    SetMenuItemHierarchicalMenu(menu, index, sub);
    ++submenus;
  }
  if (outSubmenuCount) *outSubmenuCount = submenus;
  return kNoErr;
}

OSStatus SetFontMenuItemSelection(MenuRef menu, std::uint16_t item, FontFamilyID family,
                                  std::uint16_t style) {
  if (!IsValidMenu(menu)) return kInvalidMenuErr;
  if (item == 0 || item > CountMenuItems(menu)) return kParamErr;
  MenuSelections()[MenuKey{menu.id, item}] = {family, style};
  return kNoErr;
}

OSStatus GetFontFamilyFromMenuSelection(MenuRef menu, std::uint16_t item, FontFamilyID* family,
                                        std::uint16_t* style) {
  if (!IsValidMenu(menu)) return kInvalidMenuErr;
  if (item == 0 || item > CountMenuItems(menu)) return kParamErr;
  auto it = MenuSelections().find(MenuKey{menu.id, item});
  if (it == MenuSelections().end()) return kNotFoundErr;
  if (family) *family = it->second.first;
  if (style) *style = it->second.second;
  return kNoErr;
}

std::wstring StyleName(std::uint16_t style) {
  static const wchar_t* const kNames[] = {L"Bold", L"Italic", L"Underline", L"Outline",
                                          L"Shadow", L"Condense", L"Extend"};
  std::wstring out;
  for (int bit = 0; bit < 7; ++bit) {
    if (!(style & (1u << bit))) continue;
    if (!out.empty()) out += L' ';
    out += kNames[bit];
  }
  return out.empty() ? L"Regular" : out;
}

}  // namespace toolbox
