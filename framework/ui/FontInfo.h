#pragma once
// One font choice (family, point size, style) and its metrics: in points at the size, and
// scaled to 1024 units, the unit of embedded movie fonts. Families come from the system's
// font list; a name no font has is refused, never replaced by a look-alike.
#include <array>
#include <cstdint>
#include <string>

#include "toolbox/Fonts.h"
#include "toolbox/QuickDraw.h"

// The stored record: seven 32-bit words in the machine's order, the size in the first and
// the style in the fifth.
struct FontRecord {
  std::array<std::int32_t, 7> words{};
};
static_assert(sizeof(FontRecord) == 28);

class FontInfo {
 public:
  // Style bits.
  static constexpr std::uint16_t kBold = 1;
  static constexpr std::uint16_t kItalic = 2;

  // Flags of ApplyToPort.
  static constexpr std::uint32_t kApplyFont = 1;
  static constexpr std::uint32_t kApplySize = 2;
  static constexpr std::uint32_t kApplyFace = 4;

  FontInfo();
  ~FontInfo();
  FontInfo(const FontInfo& other);
  FontInfo& operator=(const FontInfo& other) { return Assign(other); }

  FontInfo& Assign(const FontInfo& other);
  // Copies what differs (family, size, style); true when anything changed.
  bool SetFamily(const FontInfo& other);
  bool EqualsFamilyAndStyle(const FontInfo& other) const;
  bool ApplyAll();
  // Applies size (kApplySize), face (kApplyFace) and family (kApplyFont) to the current port.
  void ApplyToPort(std::uint32_t flags) const;

  // An id that names no listed family leaves the family unchanged.
  void SetFamilyById(std::int32_t id);
  // False, changing nothing, unless the whole name names a listed family, as listed or as
  // the ASCII spelling that the family's name is stored under (TransliterateFontName).
  bool SetFamilyByName(const std::wstring& name);
  const std::wstring& GetFamilyName() const { return familyName; }
  std::int32_t GetFamilyId() const { return familyId; }

  bool SetSize(std::int32_t points);
  std::int32_t GetSize() const { return size; }
  void SetStyle(std::uint16_t bits);
  std::uint16_t GetStyle() const { return style; }
  bool IsBold() const { return style & kBold; }
  void SetBold(bool on);
  bool IsItalic() const { return style & kItalic; }
  void SetItalic(bool on);
  std::wstring GetStyleName() const;

  void ToRecord(FontRecord* record) const;
  // Size and style from the record (a size outside 1..32767, as from a damaged file or one
  // of the other byte order, keeps the current size), then the family by name (an unknown
  // name keeps the family). True.
  bool FromRecord(const std::wstring& familyName, const FontRecord& record);

  int GetAscent() const;
  int GetDescent() const;
  int GetLeading() const;
  int GetAscentPlusDescent() const;
  // In units of 1024; 0 when the height or the size is 0 or less.
  int GetAscentEm() const;
  int GetDescentEm() const;
  int GetLeadingEm() const;
  int GetHeightEm() const;
  int MeasureGlyphAdvanceEm(char32_t c) const;
  int MeasureTextWidthAtsui(char32_t c) const;

  // Glyph metrics of one code point in points; a code point the face lacks fails.
  int GetGlyphLeftBearing(char32_t c) const;  // 0 on failure
  int GetGlyphExtent(char32_t c) const;       // 0 on failure
  int GetGlyphBoundsSize(char32_t c) const;   // -1 on failure
  int GetGlyphAdvanceSum(char32_t c) const;   // 0 when the bounds fail
  int MeasureTextWidth(char32_t c) const;

 private:
  toolbox::GWorldPtr port = nullptr;
  std::int32_t size = 12;
  std::int32_t familyId = 0;
  std::wstring familyName;
  std::uint16_t style = 0;
};

// Font names as plain ASCII by a fixed table (accents dropped, ligatures spelled out); a
// name with a character the table cannot make ASCII is returned as it was, so it still
// names its family. The result is used only when it has 1 to 254 characters.
std::wstring TransliterateFontName(const std::wstring& name);

// Whether the system font panel replaces the font dialog: never on this platform.
bool IsFontPanelEnabled();

// A Fixed (16.16) value of points taken to the nearest integer as the platform does.
int FixedToNearest(double points);
