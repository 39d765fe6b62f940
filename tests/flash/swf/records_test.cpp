#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/SwfRecords.h"

using namespace swftest;

namespace {

template <class T>
std::function<std::unique_ptr<SwfObject>()> Make(std::function<void(T&)> fill) {
  return [fill] {
    auto o = std::make_unique<T>();
    fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

}  // namespace

TEST(SwfRecords, RoundTrip) {
  const RoundTrip cases[] = {
      {"rgb", 6, Make<SwfRgb>([](SwfRgb& c) { c.Set(1, 2, 3); }), "01 02 03", Kind::kRecord, Blank<SwfRgb>()},
      {"rgba", 6, Make<SwfRgba>([](SwfRgba& c) { c.Set(1, 2, 3, 4); }), "01 02 03 04", Kind::kRecord,
       Blank<SwfRgba>()},
      {"empty rect: width 1 and four 1-bit zeros", 6, Make<SwfRect>([](SwfRect&) {}), "08 00", Kind::kRecord,
       Blank<SwfRect>()},
      {"stage 11000 by 8000 twips, width 15", 6,
       Make<SwfRect>([](SwfRect& r) { r.Set(0, 0, 550, 400, true); }), "78 00 05 5F 00 00 0F A0 00", Kind::kRecord,
       Blank<SwfRect>()},
      {"negative rect", 6, Make<SwfRect>([](SwfRect& r) { r.Set(-1, -2, 3, 4, false); }), "27 9F 20",
       Kind::kRecord, Blank<SwfRect>()},
      {"matrix with nothing: seven zero bits", 6, Make<SwfMatrix>([](SwfMatrix&) {}), "00", Kind::kRecord,
       Blank<SwfMatrix>()},
      {"matrix with a translation only", 6, Make<SwfMatrix>([](SwfMatrix& m) {
         m.translateX = 10, m.translateY = -20;
       }),
       "0C 55 80", Kind::kRecord, Blank<SwfMatrix>()},
      {"unit scale", 6, Make<SwfMatrix>([](SwfMatrix& m) { m.SetUnitScale(); }), "C9 00 00 40 00 00",
       Kind::kRecord, Blank<SwfMatrix>()},
      {"rotation and translation", 6, Make<SwfMatrix>([](SwfMatrix& m) {
         m.SetRotateSkew(1, false, 1), m.SetRotateSkew(-1, true, 1);
         m.translateX = 100, m.translateY = -100;
       }),
       "44 E8 64 9C", Kind::kRecord, Blank<SwfMatrix>()},
      {"every matrix group", 6, Make<SwfMatrix>([](SwfMatrix& m) {
         m.hasScale = 1, m.scaleX = 0x10000, m.scaleY = -0x8000;
         m.SetRotateSkew(1, false, 1), m.SetRotateSkew(-1, true, 1);
         m.translateX = 100, m.translateY = -100;
       }),
       "C9 00 00 E0 00 22 74 32 4E 00", Kind::kRecord, Blank<SwfMatrix>()},
      {"cxform with negative additive terms", 6, Make<SwfCxform>([](SwfCxform& c) {
         c.SetColorScale(1.0), c.hasAdd = 1, c.redAdd = -10, c.greenAdd = 5;
       }),
       "E9 00 40 10 0F D8 05 00 00", Kind::kRecord, Blank<SwfCxform>()},
      {"cxform with multipliers", 6, Make<SwfCxform>([](SwfCxform& c) {
         c.SetMultipliers(256, -129, 0), c.hasMult = 1;
       }),
       "69 00 DF C0 00", Kind::kRecord, Blank<SwfCxform>()},
      {"cxform with alpha, half opacity", 6, Make<SwfCxformWithAlpha>([](SwfCxformWithAlpha& c) { c.SetAlpha(0.5); }),
       "E9 00 40 10 02 00 00 00 00 00 00", Kind::kRecord, Blank<SwfCxformWithAlpha>()},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(SwfRecords, FieldWidths) {
  EXPECT_EQ(BitsNeeded(0, false), 0u);
  EXPECT_EQ(BitsNeeded(0, true), 1u);
  EXPECT_EQ(BitsNeeded(11000, true), 15u);
  EXPECT_EQ(BitsNeeded(0xFFFFFFFF, false), 32u);
}

// A term that needs more than the 15 bits a colour transform can give keeps its sign: it is
// clamped, not cut to its low bits.
TEST(SwfRecords, ColourTransformTermsAreClampedToWidth15) {
  SwfCxform c;
  c.SetMultipliers(20000, 0, 0);
  c.hasMult = 1;
  EXPECT_EQ(ToHex(Written(c, 6)), "7D FF F8 00 00 00 00");
  SwfReader r;
  Load(r, Written(c, 6), 6);
  SwfCxform back;
  back.Read(r);
  EXPECT_EQ(back.redMult, 16383);

  SwfCxformWithAlpha a;
  a.SetAlphaMultiplier(-70000, true);
  a.hasAdd = 1, a.blueAdd = 40000;
  Load(r, Written(a, 6), 6);
  SwfCxformWithAlpha backA;
  backA.Read(r);
  EXPECT_EQ(backA.alphaMult, -16384);
  EXPECT_EQ(backA.blueAdd, 16383);
  EXPECT_EQ(backA.redMult, 256);
}

TEST(SwfRecords, ColourTransformWithoutMultipliersIsReadWithExplicitOnes) {
  {
    SwfReader r;
    Load(r, Hex("96 C5 00"), 6);
    SwfCxform c;
    c.Read(r);
    EXPECT_EQ(c.hasMult, 0);
    EXPECT_EQ(c.redAdd, -10);  // negative additive terms stay negative
    EXPECT_EQ(c.greenAdd, 5);
    EXPECT_EQ(c.redMult, 256);
  }
  SwfReader r;
  Load(r, Hex("96 C5 00"), 6);  // additive terms only
  SwfCxformWithAlpha c;
  c.Read(r);
  EXPECT_EQ(c.hasMult, 1);
  EXPECT_EQ(c.alphaMult, 256);
  EXPECT_EQ(c.greenMult, 256);
}

TEST(SwfRecords, ColourSetters) {
  SwfCxformWithAlpha c;
  c.SetAlpha(0.5);
  EXPECT_EQ(c.alphaMult, 128);
  EXPECT_EQ(c.redMult, 256);
  c.SetAlpha(1.7);
  EXPECT_EQ(c.alphaMult, 256);
  c.SetAlpha(-0.2);
  EXPECT_EQ(c.alphaMult, 0);

  c.alphaMult = 5, c.alphaAdd = 7;
  c.SetTint(0x0000FF);
  EXPECT_EQ(c.redAdd, 256);
  EXPECT_EQ(c.greenAdd, 0);
  EXPECT_EQ(c.redMult, 0);
  EXPECT_EQ(c.alphaMult, 256);
  EXPECT_EQ(c.alphaAdd, 0);
  EXPECT_EQ(c.hasAdd, 1);

  c.SetColorMultiply(0x00FF8000);  // red 0, green 128, blue 255
  EXPECT_EQ(c.redMult, 0);
  EXPECT_EQ(c.greenMult, 129);
  EXPECT_EQ(c.blueMult, 256);
  EXPECT_EQ(c.hasAdd, 0);

  c.SetColorScale(0.25);
  EXPECT_EQ(c.greenMult, 64);
  EXPECT_EQ(c.redAdd, 0);

  SwfMatrix m;
  m.SetRotateSkew(9, true, 1);
  m.SetUnitScale();
  EXPECT_EQ(m.rotateSkew1, 9);
  EXPECT_EQ(m.hasRotate, 0);
  EXPECT_EQ(m.scaleX, 0x10000);
}
