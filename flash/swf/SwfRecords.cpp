#include "flash/swf/SwfRecords.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

namespace {

// A 5-bit width field holds at most 31; a colour transform's 4-bit field at most 15.
constexpr uint32_t kMaxWidth = 31;
constexpr uint32_t kMaxCxformWidth = 15;

uint32_t MaxMagnitude(std::initializer_list<int32_t> values) {
  uint32_t m = 0;
  for (int32_t v : values) m = std::max(m, static_cast<uint32_t>(std::llabs(static_cast<long long>(v))));
  return m;
}

// The signed width for `values`, capped at `cap`; when capped, each value is clamped into
// the capped range so that it keeps its sign instead of losing its top bits.
uint32_t SignedWidth(std::initializer_list<int32_t*> values, uint32_t cap) {
  uint32_t m = 0;
  for (int32_t* v : values) m = std::max(m, MaxMagnitude({*v}));
  uint32_t n = BitsNeeded(m, true);
  if (n > cap) {
    n = cap;
    const int32_t hi = static_cast<int32_t>((1u << (cap - 1)) - 1);
    const int32_t lo = -hi - 1;
    for (int32_t* v : values) *v = std::clamp(*v, lo, hi);
  }
  return n;
}

void WriteSigned(SwfBitWriter& out, int32_t value, uint32_t n) { out.WriteBits(static_cast<uint32_t>(value), n); }

int32_t ReadSigned(SwfReader& reader, uint32_t n) {
  return static_cast<int32_t>(reader.ReadBits(static_cast<uint16_t>(n), true));
}

int32_t Nearest(double y) { return static_cast<int32_t>(y + 0.5); }
double Clamp01(double x) { return x > 1.0 ? 1.0 : (x < 0.0 ? 0.0 : x); }
int32_t ColourTerm(uint32_t byte) { return Nearest((byte & 0xFF) / 255.0 * 256.0); }

}  // namespace

uint32_t BitsNeeded(uint32_t value, bool isSigned) {
  uint32_t n = 0;
  while (value) ++n, value >>= 1;
  return n + (isSigned ? 1 : 0);
}

// ---- colours

uint32_t SwfRgb::Read(SwfReader& reader) {
  r = reader.ReadU8();
  g = reader.ReadU8();
  b = reader.ReadU8();
  return 3;
}

uint32_t SwfRgb::Write(SwfBitWriter& out) {
  out.WriteU8(r);
  out.WriteU8(g);
  out.WriteU8(b);
  return 3;
}

void SwfRgb::CopyFrom(const SwfRgb& other) { Set(other.r, other.g, other.b); }

uint32_t SwfRgba::Read(SwfReader& reader) {
  SwfRgb::Read(reader);
  a = reader.ReadU8();
  return 4;
}

uint32_t SwfRgba::Write(SwfBitWriter& out) {
  SwfRgb::Write(out);
  out.WriteU8(a);
  return 4;
}

// ---- rectangle

uint32_t SwfRect::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  const uint32_t n = reader.ReadBits(5, false);
  xmin = ReadSigned(reader, n);
  xmax = ReadSigned(reader, n);
  ymin = ReadSigned(reader, n);
  ymax = ReadSigned(reader, n);
  // The reader stays inside the last byte; count that byte as consumed.
  return reader.GetPosition() - start + (reader.GetBitPosition() != 0 ? 1 : 0);
}

uint32_t SwfRect::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  int32_t v[4] = {xmin, xmax, ymin, ymax};
  const uint32_t n = SignedWidth({&v[0], &v[1], &v[2], &v[3]}, kMaxWidth);
  out.WriteBits(n, 5);
  for (int32_t x : v) WriteSigned(out, x, n);
  out.Align();
  return out.GetByteCount() - before;
}

void SwfRect::Set(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool inPixels) {
  const int32_t f = inPixels ? 20 : 1;
  xmin = x0 * f;
  ymin = y0 * f;
  xmax = x1 * f;
  ymax = y1 * f;
}

// ---- matrix

uint32_t SwfMatrix::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  hasScale = static_cast<uint8_t>(reader.ReadBits(1, false));
  if (hasScale) {
    const uint32_t n = reader.ReadBits(5, false);
    scaleX = ReadSigned(reader, n);
    scaleY = ReadSigned(reader, n);
  }
  hasRotate = static_cast<uint8_t>(reader.ReadBits(1, false));
  if (hasRotate) {
    const uint32_t n = reader.ReadBits(5, false);
    rotateSkew0 = ReadSigned(reader, n);
    rotateSkew1 = ReadSigned(reader, n);
  }
  const uint32_t n = reader.ReadBits(5, false);
  translateX = ReadSigned(reader, n);
  translateY = ReadSigned(reader, n);
  return reader.GetPosition() - start;
}

uint32_t SwfMatrix::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  out.WriteBits(hasScale ? 1 : 0, 1);
  if (hasScale) {
    int32_t x = scaleX, y = scaleY;
    const uint32_t n = SignedWidth({&x, &y}, kMaxWidth);
    out.WriteBits(n, 5);
    WriteSigned(out, x, n);
    WriteSigned(out, y, n);
  }
  out.WriteBits(hasRotate ? 1 : 0, 1);
  if (hasRotate) {
    int32_t x = rotateSkew0, y = rotateSkew1;
    const uint32_t n = SignedWidth({&x, &y}, kMaxWidth);
    out.WriteBits(n, 5);
    WriteSigned(out, x, n);
    WriteSigned(out, y, n);
  }
  if (translateX == 0 && translateY == 0) {
    out.WriteBits(0, 5);
  } else {
    int32_t x = translateX, y = translateY;
    const uint32_t n = SignedWidth({&x, &y}, kMaxWidth);
    out.WriteBits(n, 5);
    WriteSigned(out, x, n);
    WriteSigned(out, y, n);
  }
  return out.GetByteCount() - before;
}

void SwfMatrix::SetUnitScale() {
  hasScale = 1;
  scaleX = scaleY = 0x10000;
  hasRotate = 0;
  translateX = translateY = 0;
}

void SwfMatrix::SetRotateSkew(int32_t value, bool second, uint8_t hasRotateFlag) {
  (second ? rotateSkew1 : rotateSkew0) = value;
  hasRotate = hasRotateFlag;
}

// ---- colour transforms

void SwfCxform::Reset() {
  redMult = greenMult = blueMult = 0;
  redAdd = greenAdd = blueAdd = 0;
  hasAdd = hasMult = 0;
}

void SwfCxform::SetMultipliers(int32_t red, int32_t green, int32_t blue) {
  redMult = red;
  greenMult = green;
  blueMult = blue;
}

void SwfCxform::SetTint(uint32_t rgb) {
  SetMultipliers(0, 0, 0);
  redAdd = ColourTerm(rgb);
  greenAdd = ColourTerm(rgb >> 8);
  blueAdd = ColourTerm(rgb >> 16);
  hasAdd = 1;
  hasMult = 1;
}

void SwfCxform::SetColorScale(double factor) {
  const int32_t m = Nearest(Clamp01(factor) * 256.0);
  SetMultipliers(m, m, m);
  redAdd = greenAdd = blueAdd = 0;
  hasMult = 1;
  hasAdd = 0;
}

void SwfCxform::SetColorMultiply(uint32_t rgb) {
  SetMultipliers(ColourTerm(rgb), ColourTerm(rgb >> 8), ColourTerm(rgb >> 16));
  hasMult = 1;
  hasAdd = 0;
}

uint32_t SwfCxform::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Reset();
  hasAdd = static_cast<uint8_t>(reader.ReadBits(1, false));
  hasMult = static_cast<uint8_t>(reader.ReadBits(1, false));
  const uint32_t n = reader.ReadBits(4, false);
  if (hasMult) {
    redMult = ReadSigned(reader, n);
    greenMult = ReadSigned(reader, n);
    blueMult = ReadSigned(reader, n);
  } else {
    redMult = greenMult = blueMult = 256;
  }
  if (hasAdd) {
    redAdd = ReadSigned(reader, n);
    greenAdd = ReadSigned(reader, n);
    blueAdd = ReadSigned(reader, n);
  }
  return reader.GetPosition() - start;
}

uint32_t SwfCxform::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  int32_t m[3] = {redMult, greenMult, blueMult};
  int32_t a[3] = {redAdd, greenAdd, blueAdd};
  const uint32_t n = SignedWidth({&m[0], &m[1], &m[2], &a[0], &a[1], &a[2]}, kMaxCxformWidth);
  out.WriteBits(hasAdd ? 1 : 0, 1);
  out.WriteBits(hasMult ? 1 : 0, 1);
  out.WriteBits(n, 4);
  if (hasMult)
    for (int32_t v : m) WriteSigned(out, v, n);
  if (hasAdd)
    for (int32_t v : a) WriteSigned(out, v, n);
  return out.GetByteCount() - before;
}

void SwfCxformWithAlpha::Reset() {
  SwfCxform::Reset();
  alphaMult = alphaAdd = 0;
}

void SwfCxformWithAlpha::SetTint(uint32_t rgb) {
  alphaMult = 256;
  alphaAdd = 0;
  SwfCxform::SetTint(rgb);
}

void SwfCxformWithAlpha::SetColorScale(double factor) {
  alphaMult = 256;
  alphaAdd = 0;
  SwfCxform::SetColorScale(factor);
}

void SwfCxformWithAlpha::SetColorMultiply(uint32_t rgb) {
  alphaMult = 256;
  alphaAdd = 0;
  SwfCxform::SetColorMultiply(rgb);
}

void SwfCxformWithAlpha::SetAlphaMultiplier(int32_t value, bool resetColour) {
  alphaMult = value;
  if (resetColour) SetMultipliers(256, 256, 256);
  hasMult = 1;
}

void SwfCxformWithAlpha::SetAlpha(double opacity) {
  SetMultipliers(256, 256, 256);
  alphaMult = Nearest(Clamp01(opacity) * 256.0);
  hasMult = 1;
  hasAdd = 1;
}

void SwfCxformWithAlpha::CopyFrom(const SwfCxformWithAlpha& other) {
  redMult = other.redMult;
  greenMult = other.greenMult;
  blueMult = other.blueMult;
  redAdd = other.redAdd;
  greenAdd = other.greenAdd;
  blueAdd = other.blueAdd;
  alphaAdd = other.alphaAdd;
  SetAlphaMultiplier(other.alphaMult, false);
  hasAdd = other.hasAdd;
}

uint32_t SwfCxformWithAlpha::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  Reset();
  hasAdd = static_cast<uint8_t>(reader.ReadBits(1, false));
  hasMult = static_cast<uint8_t>(reader.ReadBits(1, false));
  const uint32_t n = reader.ReadBits(4, false);
  if (hasMult) {
    redMult = ReadSigned(reader, n);
    greenMult = ReadSigned(reader, n);
    blueMult = ReadSigned(reader, n);
    alphaMult = ReadSigned(reader, n);
  } else {
    redMult = greenMult = blueMult = alphaMult = 256;
  }
  hasMult = 1;
  if (hasAdd) {
    redAdd = ReadSigned(reader, n);
    greenAdd = ReadSigned(reader, n);
    blueAdd = ReadSigned(reader, n);
    alphaAdd = ReadSigned(reader, n);
  }
  return reader.GetPosition() - start;
}

uint32_t SwfCxformWithAlpha::Write(SwfBitWriter& out) {
  const uint32_t before = out.GetByteCount();
  int32_t m[4] = {redMult, greenMult, blueMult, alphaMult};
  int32_t a[4] = {redAdd, greenAdd, blueAdd, alphaAdd};
  const uint32_t n =
      SignedWidth({&m[0], &m[1], &m[2], &m[3], &a[0], &a[1], &a[2], &a[3]}, kMaxCxformWidth);
  out.WriteBits(hasAdd ? 1 : 0, 1);
  out.WriteBits(hasMult ? 1 : 0, 1);
  out.WriteBits(n, 4);
  if (hasMult)
    for (int32_t v : m) WriteSigned(out, v, n);
  if (hasAdd)
    for (int32_t v : a) WriteSigned(out, v, n);
  return out.GetByteCount() - before;
}
