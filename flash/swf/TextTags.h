#pragma once
// Static text (DefineText, DefineText2) with its style and glyph records, and the edit text.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfText.h"

// A record of a static text: a style record (lead byte with bit 7 set: its flags) or a glyph
// record (bit 7 clear: its number of entries).
class SwfTextRecordBase : public SwfObject {
 public:
  SwfTextRecordBase(uint8_t leadByte, uint8_t rgb) : rgb(rgb), leadByte(leadByte) {}
  virtual void SetRgb(uint8_t value) { rgb = value; }
  virtual bool IsRgb() const { return rgb != 0; }
  virtual void Clear() {}

  uint8_t rgb;  // colours are three bytes (DefineText) rather than four (DefineText2)
  uint8_t leadByte;
};

// Style flags of a style record; 0x70 are reserved bits, carried unchanged.
inline constexpr uint8_t kTextStyleRecord = 0x80;
inline constexpr uint8_t kTextHasFont = 0x08;
inline constexpr uint8_t kTextHasColor = 0x04;
inline constexpr uint8_t kTextHasYOffset = 0x02;
inline constexpr uint8_t kTextHasXOffset = 0x01;

class SwfTextRecord : public SwfTextRecordBase {
 public:
  // A style record always carries bit 7.
  explicit SwfTextRecord(uint8_t flags = kTextStyleRecord, uint8_t rgb = 0)
      : SwfTextRecordBase(static_cast<uint8_t>(flags | kTextStyleRecord), rgb) {}
  // The fields the lead byte (already read) announces.
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() override { color.reset(); }
  void SetFontId(uint16_t id);
  void SetTextHeight(uint16_t twips);
  void SetColor(SwfRgb* newColor);
  void SetOffset(int16_t x, int16_t y);

  uint16_t fontId = 0;
  std::unique_ptr<SwfRgb> color;  // an SwfRgba in DefineText2
  int16_t xOffset = 0, yOffset = 0;
  uint16_t textHeight = 0;  // twips
};

struct SwfGlyphEntry {
  uint32_t index;
  int32_t advance;
};

class SwfGlyphRecord : public SwfTextRecordBase {
 public:
  // The count byte keeps bit 7 clear.
  static constexpr size_t kMaxEntries = 127;

  SwfGlyphRecord(uint8_t count = 0, uint8_t rgb = 0) : SwfTextRecordBase(count, rgb) {}
  // As many entries as the lead byte says, no more than the bytes that remain hold.
  uint32_t Read(SwfReader& reader) override;
  // The count byte and the entries; a record of more than 127 entries is written in runs of
  // 127, each further run behind a bare style record, so no glyph is lost.
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() override { entries.clear(); }

  std::vector<SwfGlyphEntry> entries;
  uint8_t glyphBits = 0, advanceBits = 0;
};

class DefineTextTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 11; }
  void VisitIds(SwfIdVisitor& visitor) override;
  virtual void Clear();
  virtual void Setup(uint16_t id, SwfRect* newBounds, SwfMatrix* newMatrix, uint8_t glyphBitCount,
                     uint8_t advanceBitCount);

  std::unique_ptr<SwfRect> bounds;
  std::unique_ptr<SwfMatrix> matrix;
  uint8_t glyphBits = 0, advanceBits = 0;
  std::vector<std::unique_ptr<SwfTextRecordBase>> records;
  // The bit counts last read from a file: Write never goes below them.
  uint8_t minGlyphBits = 0, minAdvanceBits = 0;
};

class DefineText2Tag : public DefineTextTag {
 public:
  uint16_t GetTagCode() const override { return 33; }
};

// DefineEditText flags (written high byte first); 0x00C6 are carried unchanged.
inline constexpr uint16_t kEditHasText = 0x8000;
inline constexpr uint16_t kEditWordWrap = 0x4000;
inline constexpr uint16_t kEditMultiline = 0x2000;
inline constexpr uint16_t kEditPassword = 0x1000;
inline constexpr uint16_t kEditReadOnly = 0x0800;
inline constexpr uint16_t kEditHasTextColor = 0x0400;
inline constexpr uint16_t kEditHasMaxLength = 0x0200;
inline constexpr uint16_t kEditHasFont = 0x0100;
// From version 9: a font class name stands between the font id and the height.
inline constexpr uint16_t kEditHasFontClass = 0x0080;
inline constexpr uint16_t kEditHasLayout = 0x0020;
inline constexpr uint16_t kEditNoSelect = 0x0010;
inline constexpr uint16_t kEditBorder = 0x0008;
inline constexpr uint16_t kEditUseOutlines = 0x0001;

class DefineEditTextTag : public SwfCharacterTag {
 public:
  DefineEditTextTag() { DefineEditTextTag::Reset(); }
  // Every optional block is read as the flags in the file say, whatever setting the font
  // height adds to the flags kept.
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 37; }
  void Reset() override;
  void VisitIds(SwfIdVisitor& visitor) override;
  virtual void Clear();
  virtual void Setup(uint16_t id, SwfRgba* textColor, const SwfString& variable);
  // Stores the height and sets "has layout" (not "has font").
  void SetFontHeight(uint16_t twips);

  std::unique_ptr<SwfRect> bounds;
  uint16_t flags = 0;
  uint16_t fontId = 0;
  uint16_t fontHeight = 100;  // twips
  std::unique_ptr<SwfRgba> color;
  uint16_t maxLength = 0;
  uint8_t align = 0;
  uint16_t leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
  SwfString variableName;
  SwfString initialText;
  // The font class name (kEditHasFontClass, from version 9).
  SwfString fontClass;
};
