#pragma once
// The styles of SWF shapes: gradient records and gradients, fill styles, line styles and the
// arrays that a shape and its style-change records carry. One set of classes serves RGB shapes
// (DefineShape, DefineShape2) and RGBA shapes (DefineShape3): the alpha flag handed down by the
// owner decides which colour record a read creates.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfRecords.h"

// The style arrays can announce up to 65535 styles, but a shape's index fields are at most 15
// bits wide: the builders never make an array this long.
inline constexpr size_t kMaxShapeStyles = 32767;

// A new colour of the kind the alpha flag asks for, holding `from`'s colour (black when null;
// alpha 255 when `from` has none).
std::unique_ptr<SwfRgb> CopySwfColor(const SwfRgb* from, bool alpha);

class SwfGradientRecord : public SwfObject {
 public:
  SwfGradientRecord() = default;
  SwfGradientRecord(const SwfGradientRecord& other);
  SwfGradientRecord& operator=(const SwfGradientRecord& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() { color.reset(); }

  std::unique_ptr<SwfRgb> color;
  uint8_t ratio = 0;
  uint8_t alpha = 0;
};

class SwfGradient : public SwfObject {
 public:
  // The count is one byte: a longer list writes its first 255 records.
  static constexpr size_t kMaxRecords = 255;

  SwfGradient() = default;
  SwfGradient(const SwfGradient& other);
  SwfGradient& operator=(const SwfGradient& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() { records.clear(); }

  uint8_t alpha = 0;
  std::vector<std::unique_ptr<SwfGradientRecord>> records;
};

inline constexpr uint8_t kFillSolid = 0x00;
inline constexpr uint8_t kFillLinearGradient = 0x10;
inline constexpr uint8_t kFillRadialGradient = 0x12;
inline constexpr uint8_t kFillRepeatingBitmap = 0x40;
inline constexpr uint8_t kFillClippedBitmap = 0x41;
inline constexpr uint8_t kFillRepeatingBitmapHard = 0x42;
inline constexpr uint8_t kFillClippedBitmapHard = 0x43;

inline bool IsBitmapFillType(uint8_t type) { return type >= kFillRepeatingBitmap && type <= kFillClippedBitmapHard; }
inline bool IsGradientFillType(uint8_t type) { return type == kFillLinearGradient || type == kFillRadialGradient; }
// The fill types whose data these classes know; the data of any other type cannot be sized.
inline bool IsKnownFillType(uint8_t type) {
  return type == kFillSolid || IsGradientFillType(type) || IsBitmapFillType(type);
}

class SwfFillStyle : public SwfObject {
 public:
  SwfFillStyle() = default;
  // A solid fill taking over `colour`.
  SwfFillStyle(SwfRgb* colour, bool alpha);
  SwfFillStyle(const SwfFillStyle& other);
  SwfFillStyle& operator=(const SwfFillStyle& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void InitSolid(SwfRgb* colour, bool alpha);
  void Clear();

  uint8_t alpha = 0;
  uint8_t fillType = kFillSolid;
  std::unique_ptr<SwfRgb> color;
  std::unique_ptr<SwfGradient> gradient;
  std::unique_ptr<SwfMatrix> matrix;
  uint16_t bitmapId = 0xFFFF;
};

class SwfLineStyle : public SwfObject {
 public:
  SwfLineStyle() = default;
  // Takes over `colour`.
  SwfLineStyle(uint16_t width, SwfRgb* colour, bool alpha);
  SwfLineStyle(const SwfLineStyle& other);
  SwfLineStyle& operator=(const SwfLineStyle& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Clear() { color.reset(); }

  uint16_t width = 0;
  std::unique_ptr<SwfRgb> color;
  uint8_t alpha = 0;
};

// The count of a style array: one byte below 255, else 0xFF and the count as u16.
void WriteStyleCount(SwfBitWriter& out, size_t count);
uint16_t ReadStyleCount(SwfReader& reader);

// FILLSTYLEARRAY and LINESTYLEARRAY: a count (one byte, or 0xFF and a u16) and the styles.
template <class Style>
class SwfStyleArray : public SwfObject {
 public:
  explicit SwfStyleArray(bool alpha = false) : alpha(alpha ? 1 : 0) {}
  SwfStyleArray(const SwfStyleArray& other) { *this = other; }
  SwfStyleArray& operator=(const SwfStyleArray& other);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  // Appends a style, which the array then owns. A shape's records can select no more than
  // kMaxShapeStyles styles of a kind: a style beyond that is refused (false, and deleted).
  bool Append(Style* style);
  void Clear();

  uint16_t count = 0;
  std::vector<std::unique_ptr<Style>> styles;
  uint8_t alpha = 0;
  // Set by Read when the styles ran past the tag's end or met a fill type of unknown size:
  // what follows them cannot be found.
  bool malformed = false;
};

template <class Style>
inline SwfStyleArray<Style>& SwfStyleArray<Style>::operator=(const SwfStyleArray& other) {
  if (this == &other) return *this;
  styles.clear();
  for (auto& s : other.styles) styles.push_back(std::make_unique<Style>(*s));
  count = other.count;
  alpha = other.alpha;
  malformed = other.malformed;
  return *this;
}

template <class Style>
inline bool SwfStyleArray<Style>::Append(Style* style) {
  if (!style) return false;
  std::unique_ptr<Style> owned(style);
  if (styles.size() >= kMaxShapeStyles) return false;
  styles.push_back(std::move(owned));
  count = static_cast<uint16_t>(styles.size());
  return true;
}

template <class Style>
inline void SwfStyleArray<Style>::Clear() {
  styles.clear();
  count = 0;
  malformed = false;
}

template <class Style>
inline uint32_t SwfStyleArray<Style>::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  const uint16_t announced = ReadStyleCount(reader);
  for (uint32_t i = 0; i < announced; ++i) {
    // Every style takes at least one byte: a count beyond the tag's bytes is a damaged tag.
    if (reader.TagBytesLeft() == 0) {
      malformed = true;
      break;
    }
    auto style = std::make_unique<Style>();
    if constexpr (requires { style->alpha; }) style->alpha = alpha;
    style->Read(reader);
    bool known = true;
    if constexpr (requires { style->fillType; }) known = IsKnownFillType(style->fillType);
    styles.push_back(std::move(style));
    if (!known) {
      malformed = true;
      break;
    }
  }
  count = static_cast<uint16_t>(styles.size());
  return reader.GetPosition() - start;
}

template <class Style>
inline uint32_t SwfStyleArray<Style>::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  WriteStyleCount(out, styles.size());
  for (auto& s : styles) s->Write(out);
  return out.GetByteCount() - before;
}

class SwfFillStyleArray : public SwfStyleArray<SwfFillStyle> {
 public:
  using SwfStyleArray::SwfStyleArray;
};

// Gives the id of every bitmap fill of `styles` (may be null) to `visitor`; 0xFFFF ("no
// bitmap") is no id.
template <class Array>
void VisitBitmapFills(Array* styles, SwfIdVisitor& visitor) {
  if (!styles) return;
  for (auto& s : styles->styles)
    if (IsBitmapFillType(s->fillType) && s->bitmapId != 0xFFFF) visitor.Visit(s->bitmapId, SwfIdRole::kRefers);
}

class SwfLineStyleArray : public SwfStyleArray<SwfLineStyle> {
 public:
  using SwfStyleArray::SwfStyleArray;
};

