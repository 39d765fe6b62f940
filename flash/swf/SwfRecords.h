#pragma once
// The records nearly every tag embeds: colours, rectangles, matrices and colour transforms,
// each written with the smallest field width that holds its values.
#include <cstdint>

#include "flash/swf/SwfObject.h"

// Significant bits of `value` (0 for 0), plus one for the sign when `isSigned`.
uint32_t BitsNeeded(uint32_t value, bool isSigned);

class SwfRgb : public SwfObject {
 public:
  SwfRgb(uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) : r(r), g(g), b(b) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  virtual void CopyFrom(const SwfRgb& other);
  void Set(uint8_t red, uint8_t green, uint8_t blue) { r = red, g = green, b = blue; }

  uint8_t r, g, b;
};

class SwfRgba : public SwfRgb {
 public:
  SwfRgba(uint8_t r = 0, uint8_t g = 0, uint8_t b = 0, uint8_t a = 0) : SwfRgb(r, g, b), a(a) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Set(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) { r = red, g = green, b = blue, a = alpha; }

  uint8_t a;
};

class SwfRect : public SwfObject {
 public:
  SwfRect(int32_t xmin = 0, int32_t ymin = 0, int32_t xmax = 0, int32_t ymax = 0)
      : xmin(xmin), xmax(xmax), ymin(ymin), ymax(ymax) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  // Note the argument order: one corner, then the other; `inPixels` multiplies by 20.
  void Set(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool inPixels);
  void CopyFrom(const SwfRect& other) { *this = other; }

  int32_t xmin, xmax, ymin, ymax;
};

class SwfMatrix : public SwfObject {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void SetUnitScale();
  void SetRotateSkew(int32_t value, bool second, uint8_t hasRotateFlag);
  void CopyFrom(const SwfMatrix& other) { *this = other; }

  int32_t scaleX = 0, scaleY = 0;
  int32_t rotateSkew0 = 0, rotateSkew1 = 0;
  int32_t translateX = 0, translateY = 0;
  uint8_t hasScale = 0;
  uint8_t hasRotate = 0;
};

// Colour transform; terms are 8.8 fixed point (256 = 1.0). Colour arguments are 0x00BBGGRR.
class SwfCxform : public SwfObject {
 public:
  SwfCxform() { SwfCxform::Reset(); }
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  virtual void Reset();
  virtual void SetMultipliers(int32_t red, int32_t green, int32_t blue);
  virtual void SetTint(uint32_t rgb);
  virtual void SetColorScale(double factor);
  virtual void SetColorMultiply(uint32_t rgb);

  int32_t redMult, greenMult, blueMult;
  int32_t redAdd, greenAdd, blueAdd;
  uint8_t hasAdd, hasMult;
};

class SwfCxformWithAlpha : public SwfCxform {
 public:
  SwfCxformWithAlpha() { SwfCxformWithAlpha::Reset(); }
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  void Reset() override;
  void SetTint(uint32_t rgb) override;
  void SetColorScale(double factor) override;
  void SetColorMultiply(uint32_t rgb) override;
  void SetAlphaMultiplier(int32_t value, bool resetColour);
  void SetAlpha(double opacity);
  void CopyFrom(const SwfCxformWithAlpha& other);

  int32_t alphaMult, alphaAdd;
};
