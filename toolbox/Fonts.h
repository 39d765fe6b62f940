#pragma once
// The system's fonts: families and faces from fontconfig, metrics and glyphs from FreeType.
//
// A family id is the family's 1-based position in the sorted, de-duplicated list of
// fontconfig's families, each under its English name; it is valid while the program runs
// (0 is no family). The faces of a family are those that style bits can name: regular or
// bold weight, upright or slanted, condensed, normal or expanded width. Other faces (light,
// black...) are not offered, since a style could not name them again; a family that has
// only such faces is offered with the one nearest to regular as its regular face.
#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/Types.h"

namespace toolbox {

using FontFamilyID = std::int16_t;

// Style bits.
inline constexpr std::uint16_t kStyleBold = 1;
inline constexpr std::uint16_t kStyleItalic = 2;
inline constexpr std::uint16_t kStyleCondense = 32;
inline constexpr std::uint16_t kStyleExtend = 64;

const std::vector<std::wstring>& ListFontFamilies();
// The family the system uses for its interface (fontconfig's "sans-serif").
FontFamilyID GetSysFont();
// The listed family of that name, compared without regard to ASCII case; 0 when none.
// Never a substitute: a name no font has gives 0.
FontFamilyID FindFontFamily(const std::wstring& name);
// kParamErr for an id outside the list.
OSStatus GetFontFamilyName(FontFamilyID family, std::wstring* name);
// The style bits of the family's faces, in ascending order; empty for an unknown family.
std::vector<std::uint16_t> GetFontFamilyStyles(FontFamilyID family);
bool FontFamilyHasStyle(FontFamilyID family, std::uint16_t style);

// Metrics in points at the size, from the face of the family nearest to the style.
struct FontMetricsInfo {
  double ascent = 0;
  double descent = 0;
  double leading = 0;
};
bool GetFontMetrics(FontFamilyID family, std::uint16_t style, double size, FontMetricsInfo* out);

// One glyph's outline metrics in points; false when the face has no glyph for the code
// point (or the family is unknown).
struct GlyphMetricsInfo {
  double leftBearing = 0;
  double boundsWidth = 0;
  double advance = 0;
};
bool GetGlyphMetrics(FontFamilyID family, std::uint16_t style, double size, char32_t code,
                     GlyphMetricsInfo* out);
// The file of the face used for (family, style); empty when none.
std::string GetFontFile(FontFamilyID family, std::uint16_t style);

// Font menus: one item per family; with hierarchical set, a family with several faces gets
// a submenu of its faces (ids from firstSubmenuId up), counted in outSubmenuCount.
OSStatus CreateStandardFontMenu(MenuRef menu, std::uint16_t afterItem, std::int16_t firstSubmenuId,
                                bool hierarchical, std::uint16_t* outSubmenuCount);
// What an item of a font menu stands for; items without it do not resolve.
OSStatus SetFontMenuItemSelection(MenuRef menu, std::uint16_t item, FontFamilyID family,
                                  std::uint16_t style);
OSStatus GetFontFamilyFromMenuSelection(MenuRef menu, std::uint16_t item, FontFamilyID* family,
                                        std::uint16_t* style);

// The names of the set style bits, joined by single spaces; "Regular" for none.
std::wstring StyleName(std::uint16_t style);

}  // namespace toolbox
