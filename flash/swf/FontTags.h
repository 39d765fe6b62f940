#pragma once
// The font tags: DefineFont (glyph outlines only), DefineFont2 (outlines, codes and layout)
// and the font-info tags that give a DefineFont its name and codes. Glyph outlines are SHAPE
// records in an em of 1024 units.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfShape.h"
#include "flash/swf/SwfText.h"

// The bytes of a font name field: the name (with the decimal font id behind it when
// `suffix`), at most 255 bytes, cut at a character boundary.
std::string FontNameBytes(const SwfString& name, bool suffix, uint16_t fontId, uint8_t version);

class DefineFontTag : public SwfCharacterTag {
 public:
  // Glyphs past the tag's end or whose outlines cannot be followed keep the body as read.
  uint32_t Read(SwfReader& reader) override;
  // A font without glyphs is its font id alone.
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 10; }
  virtual void Clear();
  // Takes the entries and the shapes; with `adjust` adds 2 x (number of entries) to each entry.
  virtual void Setup(const std::vector<uint16_t>& entries, std::vector<std::unique_ptr<SwfShape>> glyphs,
                     uint16_t fontId, bool adjust);
  virtual void SetFontId(uint16_t id) { characterId = id; }

  std::vector<uint16_t> offsets;
  std::vector<std::unique_ptr<SwfShape>> shapes;
  bool keptAsRead = false;
  std::vector<uint8_t> bodyAsRead;  // after the font id
};

// DefineFont2 flags.
inline constexpr uint8_t kFontHasLayout = 0x80;
inline constexpr uint8_t kFontShiftJis = 0x40;
inline constexpr uint8_t kFontSmallText = 0x20;
inline constexpr uint8_t kFontAnsi = 0x10;
inline constexpr uint8_t kFontWideOffsets = 0x08;
inline constexpr uint8_t kFontWideCodes = 0x04;
inline constexpr uint8_t kFontItalic = 0x02;
inline constexpr uint8_t kFontBold = 0x01;

struct SwfKerningRecord {
  uint16_t code1 = 0, code2 = 0;
  int16_t adjustment = 0;
};

class DefineFont2Tag : public SwfCharacterTag {
 public:
  DefineFont2Tag() { DefineFont2Tag::Reset(); }
  DefineFont2Tag(const SwfString& fontName, uint16_t fontId, uint8_t fontFlags);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 48; }
  void Reset() override;
  virtual void Clear();
  // One glyph: its code, outline, advance and bounds (the font takes the shape and the bounds).
  void AddGlyph(uint16_t code, SwfShape* shape, int16_t advance, SwfRect* glyphBounds);
  // Ascent, descent and leading; sets "has layout".
  void SetMetrics(int16_t fontAscent, int16_t fontDescent, int16_t fontLeading);

  uint8_t flags = kFontAnsi;
  uint8_t language = 0;
  SwfString name;
  std::vector<uint32_t> offsets;    // rebuilt by every Write
  std::vector<uint16_t> characters; // the codes as read
  std::vector<std::unique_ptr<SwfShape>> shapes;
  std::vector<std::unique_ptr<SwfRect>> bounds;
  std::vector<SwfKerningRecord> kerning;
  std::vector<int16_t> advances;
  std::vector<uint16_t> codes;
  int16_t ascent = 0, descent = 0, leading = 0;
  // Write appends the decimal font id to the name.
  bool nameSuffix = false;
  // Older movies end a font with layout after its advances: such a font is written back
  // without the bounds and the kerning it never had. A kerning table is always written with
  // bounds before it, whatever hasBounds says.
  bool hasBounds = true, hasKerning = true;
  bool keptAsRead = false;
  std::vector<uint8_t> bodyAsRead;  // after the font id
};

// DefineFontInfo flags.
inline constexpr uint8_t kFontInfoSmallText = 0x20;
inline constexpr uint8_t kFontInfoShiftJis = 0x10;
inline constexpr uint8_t kFontInfoAnsi = 0x08;
inline constexpr uint8_t kFontInfoItalic = 0x04;
inline constexpr uint8_t kFontInfoBold = 0x02;
inline constexpr uint8_t kFontInfoWideCodes = 0x01;

class DefineFontInfoTag : public SwfTag {
 public:
  DefineFontInfoTag(uint16_t fontId = 1, const SwfString& fontName = L"Times New Roman", const std::wstring& codeText = L"",
                    uint8_t fontFlags = 0);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 13; }
  void VisitIds(SwfIdVisitor& visitor) override;
  virtual void ClearName() { name.clear(); }
  // Id, name and flags; one code per character of `codeText` unless it is empty (the table
  // stays); the name suffix off.
  virtual void Setup(uint16_t id, const SwfString& fontName, const std::wstring& codeText, uint8_t fontFlags);

  uint16_t fontId = 1;
  SwfString name;
  uint8_t flags = 0;
  std::vector<uint16_t> codes;
  bool nameSuffix = false;

 protected:
  // With `language` the language byte follows the flags.
  uint32_t ReadInfo(SwfReader& reader, uint8_t* language);
  uint32_t WriteInfo(SwfBitWriter& out, const uint8_t* language);
};

class DefineFontInfo2Tag : public DefineFontInfoTag {
 public:
  using DefineFontInfoTag::DefineFontInfoTag;
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 62; }

  uint8_t language = 0;
};
