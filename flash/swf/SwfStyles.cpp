#include "flash/swf/SwfStyles.h"

#include <algorithm>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

std::unique_ptr<SwfRgb> CopySwfColor(const SwfRgb* from, bool alpha) {
  const auto* rgba = dynamic_cast<const SwfRgba*>(from);
  if (alpha) {
    if (!from) return std::make_unique<SwfRgba>(0, 0, 0, 255);
    return std::make_unique<SwfRgba>(from->r, from->g, from->b, rgba ? rgba->a : 255);
  }
  if (!from) return std::make_unique<SwfRgb>(0, 0, 0);
  return std::make_unique<SwfRgb>(from->r, from->g, from->b);
}

namespace {

template <class T>
std::unique_ptr<T> CopyOf(const std::unique_ptr<T>& from) {
  return from ? std::make_unique<T>(*from) : nullptr;
}

}  // namespace

// ---- gradient record

SwfGradientRecord::SwfGradientRecord(const SwfGradientRecord& other) : SwfObject(other) { *this = other; }

SwfGradientRecord& SwfGradientRecord::operator=(const SwfGradientRecord& other) {
  if (this == &other) return *this;
  color = other.color ? CopySwfColor(other.color.get(), other.alpha) : nullptr;
  ratio = other.ratio;
  alpha = other.alpha;
  return *this;
}

uint32_t SwfGradientRecord::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ratio = reader.ReadU8();
  color = CopySwfColor(nullptr, alpha);
  color->Read(reader);
  return reader.GetPosition() - start;
}

uint32_t SwfGradientRecord::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU8(ratio);
  if (!color) color = CopySwfColor(nullptr, alpha);
  color->Write(out);
  return out.GetByteCount() - before;
}

// ---- gradient

SwfGradient::SwfGradient(const SwfGradient& other) : SwfObject(other) { *this = other; }

SwfGradient& SwfGradient::operator=(const SwfGradient& other) {
  if (this == &other) return *this;
  alpha = other.alpha;
  records.clear();
  for (auto& r : other.records) records.push_back(std::make_unique<SwfGradientRecord>(*r));
  return *this;
}

uint32_t SwfGradient::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  const uint8_t n = reader.ReadU8();
  for (uint32_t i = 0; i < n && reader.TagBytesLeft() > 0; ++i) {
    auto record = std::make_unique<SwfGradientRecord>();
    record->alpha = alpha;
    record->Read(reader);
    records.push_back(std::move(record));
  }
  return reader.GetPosition() - start;
}

uint32_t SwfGradient::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  // Count and records must agree: a list longer than the count byte writes its first 255.
  const size_t n = std::min(records.size(), kMaxRecords);
  out.WriteU8(static_cast<uint8_t>(n));
  for (size_t i = 0; i < n; ++i) records[i]->Write(out);
  return out.GetByteCount() - before;
}

// ---- fill style

SwfFillStyle::SwfFillStyle(SwfRgb* colour, bool alpha) { InitSolid(colour, alpha); }

SwfFillStyle::SwfFillStyle(const SwfFillStyle& other) : SwfObject(other) { *this = other; }

SwfFillStyle& SwfFillStyle::operator=(const SwfFillStyle& other) {
  if (this == &other) return *this;
  alpha = other.alpha;
  fillType = other.fillType;
  color = other.color ? CopySwfColor(other.color.get(), other.alpha) : nullptr;
  gradient = CopyOf(other.gradient);
  matrix = CopyOf(other.matrix);
  bitmapId = other.bitmapId;
  return *this;
}

void SwfFillStyle::InitSolid(SwfRgb* colour, bool withAlpha) {
  Clear();
  fillType = kFillSolid;
  color.reset(colour);
  alpha = withAlpha ? 1 : 0;
}

void SwfFillStyle::Clear() {
  color.reset();
  gradient.reset();
  matrix.reset();
  bitmapId = 0xFFFF;
}

uint32_t SwfFillStyle::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Clear();
  fillType = reader.ReadU8();
  if (fillType == kFillSolid) {
    color = CopySwfColor(nullptr, alpha);
    color->Read(reader);
  } else if (IsGradientFillType(fillType)) {
    matrix = std::make_unique<SwfMatrix>();
    matrix->Read(reader);
    reader.AlignByte();
    gradient = std::make_unique<SwfGradient>();
    gradient->alpha = alpha;
    gradient->Read(reader);
  } else if (IsBitmapFillType(fillType)) {
    bitmapId = reader.ReadU16();
    matrix = std::make_unique<SwfMatrix>();
    matrix->Read(reader);
    reader.AlignByte();
  }
  return reader.GetPosition() - start;
}

uint32_t SwfFillStyle::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU8(fillType);
  SwfMatrix identity;
  if (fillType == kFillSolid) {
    if (!color) color = CopySwfColor(nullptr, alpha);
    color->Write(out);
  } else if (IsGradientFillType(fillType)) {
    out.WriteRecord(matrix ? matrix.get() : &identity);
    out.Align();
    SwfGradient empty;
    out.WriteRecord(gradient ? gradient.get() : &empty);
  } else if (IsBitmapFillType(fillType)) {
    out.WriteU16(bitmapId);
    out.WriteRecord(matrix ? matrix.get() : &identity);
    out.Align();
  }
  return out.GetByteCount() - before;
}

// ---- line style

SwfLineStyle::SwfLineStyle(uint16_t width, SwfRgb* colour, bool alpha)
    : width(width), color(colour), alpha(alpha ? 1 : 0) {}

SwfLineStyle::SwfLineStyle(const SwfLineStyle& other) : SwfObject(other) { *this = other; }

SwfLineStyle& SwfLineStyle::operator=(const SwfLineStyle& other) {
  if (this == &other) return *this;
  width = other.width;
  color = other.color ? CopySwfColor(other.color.get(), other.alpha) : nullptr;
  alpha = other.alpha;
  return *this;
}

uint32_t SwfLineStyle::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  width = reader.ReadU16();
  color = CopySwfColor(nullptr, alpha);
  color->Read(reader);
  return reader.GetPosition() - start;
}

uint32_t SwfLineStyle::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteU16(width);
  if (!color) color = CopySwfColor(nullptr, alpha);
  color->Write(out);
  return out.GetByteCount() - before;
}

// ---- style arrays

void WriteStyleCount(SwfBitWriter& out, size_t count) {
  const uint16_t n = static_cast<uint16_t>(std::min<size_t>(count, 0xFFFF));
  if (n < 0xFF) {
    out.WriteU8(static_cast<uint8_t>(n));
  } else {
    out.WriteU8(0xFF);
    out.WriteU16(n);
  }
}

uint16_t ReadStyleCount(SwfReader& reader) {
  const uint8_t n = reader.ReadU8();
  return n == 0xFF ? reader.ReadU16() : n;
}
