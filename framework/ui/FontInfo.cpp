#include "framework/ui/FontInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace toolbox;

int FixedToNearest(double points) {
  const double fixed = std::floor(points * 65536.0);
  const double clamped = std::clamp(fixed, -2147483648.0, 2147483647.0);
  return static_cast<int>((static_cast<std::int64_t>(clamped) + 0x8000) >> 16);
}

std::wstring TransliterateFontName(const std::wstring& name) {
  // Latin-1 Supplement and Latin Extended-A letters to their ASCII spelling.
  static const char* const kLatin1[] = {
      "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",  // C0
      "D", "N", "O", "O", "O", "O", "O", nullptr, "O", "U", "U", "U", "U", "Y", "Th", "ss",
      "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",  // E0
      "d", "n", "o", "o", "o", "o", "o", nullptr, "o", "u", "u", "u", "u", "y", "th", "y"};
  static const char kExtendedA[] =  // U+0100..U+017F, one letter each ('?' none)
      "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLlLlLlNnNnNn???OoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
  std::wstring out;
  for (wchar_t c : name) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(c);
    } else if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0]) {
      for (const char* p = kLatin1[c - 0xC0]; *p; ++p) out.push_back(static_cast<wchar_t>(*p));
    } else if (c == 0x152 || c == 0x153) {
      out += c == 0x152 ? L"OE" : L"oe";
    } else if (c >= 0x100 && c <= 0x17F && kExtendedA[c - 0x100] != '?') {
      out.push_back(static_cast<wchar_t>(kExtendedA[c - 0x100]));
    } else {
      return name;
    }
  }
  return out.empty() || out.size() > 254 ? name : out;
}

bool IsFontPanelEnabled() { return false; }

FontInfo::FontInfo() {
  familyId = GetSysFont();
  std::wstring name;
  if (GetFontFamilyName(static_cast<FontFamilyID>(familyId), &name) == kNoErr)
    familyName = TransliterateFontName(name);
  NewGWorld(&port, 32, Rect{0, 0, 1, 1});
  ApplyAll();
}

FontInfo::~FontInfo() {
  if (port) DisposeGWorld(port);
}

FontInfo::FontInfo(const FontInfo& other) : FontInfo() { Assign(other); }

FontInfo& FontInfo::Assign(const FontInfo& other) {
  familyId = other.familyId;
  size = other.size;
  style = other.style;
  familyName = other.familyName;
  ApplyAll();
  return *this;
}

bool FontInfo::SetFamily(const FontInfo& other) {
  bool changed = false;
  if (familyId != other.familyId) {
    familyId = other.familyId;
    familyName = other.familyName;
    changed = true;
  }
  if (size != other.size) {
    size = other.size;
    changed = true;
  }
  if (style != other.style) {
    style = other.style;
    changed = true;
  }
  ApplyAll();
  return changed;
}

bool FontInfo::EqualsFamilyAndStyle(const FontInfo& other) const {
  return familyId == other.familyId && style == other.style;
}

bool FontInfo::ApplyAll() {
  if (!port) return true;
  GrafPtr previous = nullptr;
  GetGWorld(&previous);
  SetGWorld(port);
  ApplyToPort(kApplyFont | kApplySize | kApplyFace);
  SetGWorld(previous);
  return true;
}

void FontInfo::ApplyToPort(std::uint32_t flags) const {
  if (flags & kApplySize) TextSize(static_cast<short>(std::clamp(size, 0, 32767)));
  if (flags & kApplyFace) TextFace(style);
  if (flags & kApplyFont) TextFont(static_cast<short>(familyId));
}

void FontInfo::SetFamilyById(std::int32_t id) {
  std::wstring name;
  if (id < INT16_MIN || id > INT16_MAX || GetFontFamilyName(static_cast<FontFamilyID>(id), &name) != kNoErr)
    return;
  familyId = id;
  familyName = TransliterateFontName(name);
  ApplyAll();
}

namespace {

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + 32 : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                             [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

// The listed family whose name, spelt in ASCII as family names are stored, is the name.
FontFamilyID FindFamilyBySpelling(const std::wstring& name) {
  const std::vector<std::wstring>& families = ListFontFamilies();
  for (std::size_t i = 0; i < families.size(); ++i)
    if (EqualIgnoringAsciiCase(TransliterateFontName(families[i]), name)) return static_cast<FontFamilyID>(i + 1);
  return 0;
}

}  // namespace

bool FontInfo::SetFamilyByName(const std::wstring& name) {
  FontFamilyID id = FindFontFamily(name);
  // A family with letters outside ASCII is stored under its transliterated name, which
  // has to find it again in the next run.
  if (id == 0 && !name.empty()) id = FindFamilyBySpelling(name);
  if (id == 0) return false;
  // The family's own spelling, whatever the case of the name asked for.
  std::wstring listed;
  familyName = GetFontFamilyName(id, &listed) == kNoErr ? listed : name;
  familyId = id;
  ApplyAll();
  return true;
}

bool FontInfo::SetSize(std::int32_t points) {
  size = points;
  ApplyAll();
  return true;
}

void FontInfo::SetStyle(std::uint16_t bits) {
  style = bits;
  ApplyAll();
}

void FontInfo::SetBold(bool on) { SetStyle(on ? style | kBold : style & ~kBold); }
void FontInfo::SetItalic(bool on) { SetStyle(on ? style | kItalic : style & ~kItalic); }
std::wstring FontInfo::GetStyleName() const { return StyleName(style); }

void FontInfo::ToRecord(FontRecord* record) const {
  if (!record) return;
  record->words.fill(0);
  record->words[0] = size;
  record->words[4] = style;
}

bool FontInfo::FromRecord(const std::wstring& name, const FontRecord& record) {
  if (record.words[0] >= 1 && record.words[0] <= 32767) size = record.words[0];
  style = static_cast<std::uint16_t>(record.words[4]);
  ApplyAll();
  SetFamilyByName(name);
  return true;
}

namespace {
FontMetricsInfo Metrics(std::int32_t family, std::uint16_t style, std::int32_t size) {
  FontMetricsInfo m;
  GetFontMetrics(static_cast<FontFamilyID>(family), style, size, &m);
  return m;
}
int Em(std::int64_t value, std::int64_t divisor) {
  return divisor > 0 ? static_cast<int>(value * 1024 / divisor) : 0;
}
}  // namespace

int FontInfo::GetAscent() const { return FixedToNearest(Metrics(familyId, style, size).ascent); }
int FontInfo::GetDescent() const { return FixedToNearest(Metrics(familyId, style, size).descent); }
int FontInfo::GetLeading() const { return FixedToNearest(Metrics(familyId, style, size).leading); }
int FontInfo::GetAscentPlusDescent() const {
  const FontMetricsInfo m = Metrics(familyId, style, size);
  return FixedToNearest(m.ascent + m.descent);
}

int FontInfo::GetAscentEm() const { return Em(GetAscent(), GetAscentPlusDescent()); }
int FontInfo::GetDescentEm() const { return Em(GetDescent(), GetAscentPlusDescent()); }
int FontInfo::GetLeadingEm() const { return Em(GetLeading(), GetAscentPlusDescent()); }
int FontInfo::GetHeightEm() const {
  return Em(std::int64_t(GetAscent()) + GetDescent(), GetAscentPlusDescent());
}
int FontInfo::MeasureGlyphAdvanceEm(char32_t c) const { return Em(GetGlyphAdvanceSum(c), size); }
int FontInfo::MeasureTextWidthAtsui(char32_t c) const { return Em(MeasureTextWidth(c), size); }

namespace {
bool Glyph(std::int32_t family, std::uint16_t style, std::int32_t size, char32_t c, GlyphMetricsInfo* g) {
  return GetGlyphMetrics(static_cast<FontFamilyID>(family), style, size, c, g);
}
}  // namespace

int FontInfo::GetGlyphLeftBearing(char32_t c) const {
  GlyphMetricsInfo g;
  return Glyph(familyId, style, size, c, &g) ? FixedToNearest(g.leftBearing) : 0;
}

int FontInfo::GetGlyphExtent(char32_t c) const {
  GlyphMetricsInfo g;
  return Glyph(familyId, style, size, c, &g) ? FixedToNearest(g.advance - g.leftBearing - g.boundsWidth) : 0;
}

int FontInfo::GetGlyphBoundsSize(char32_t c) const {
  GlyphMetricsInfo g;
  return Glyph(familyId, style, size, c, &g) ? FixedToNearest(g.boundsWidth) : -1;
}

int FontInfo::GetGlyphAdvanceSum(char32_t c) const {
  const int bounds = GetGlyphBoundsSize(c);
  if (bounds < 0) return 0;
  return bounds + GetGlyphLeftBearing(c) + GetGlyphExtent(c);
}

int FontInfo::MeasureTextWidth(char32_t c) const {
  if (GetGlyphBoundsSize(c) >= 0) return GetGlyphAdvanceSum(c);
  GlyphMetricsInfo g;
  return Glyph(familyId, style, size, c, &g) ? static_cast<int>(g.advance) : 0;
}
