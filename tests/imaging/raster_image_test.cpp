// Raster images: sizes, copies, bilinear scaling and PNG files.
#include <vector>

#include "framework/platform/WideText.h"
#include "imaging/RasterImage.h"
#include "support/TestSupport.h"

namespace {

// A 24-bit image whose three channels all hold the given values, row by row.
void Fill(RasterImage& image, int32_t w, int32_t h, const std::vector<int>& values) {
  ASSERT_TRUE(image.Allocate(w, h, 24));
  for (size_t i = 0; i < values.size(); ++i)
    for (size_t c = 0; c < 3; ++c) image.Pixels()[i * 3 + c] = static_cast<uint8_t>(values[i]);
}

std::vector<int> Channel(const RasterImage& image, size_t channel) {
  std::vector<int> out;
  const size_t bpp = image.BytesPerPixel();
  for (size_t i = 0; i < image.ByteCount() / bpp; ++i) out.push_back(image.Pixels()[i * bpp + channel]);
  return out;
}

TEST(RasterImage, BilinearTwoByTwoToFourByFour) {
  RasterImage image;
  Fill(image, 2, 2, {0, 100, 200, 40});
  ASSERT_TRUE(image.Resize(4, 4));
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Height(), 4);
  const std::vector<int> expected = {0,   25,  75, 100,  //
                                     50,  59,  76, 85,   //
                                     150, 126, 79, 55,   //
                                     200, 160, 80, 40};
  for (size_t c = 0; c < 3; ++c) EXPECT_EQ(Channel(image, c), expected);
}

TEST(RasterImage, DownscaleAveragesAndKeepsAlphaChannel) {
  RasterImage image;
  ASSERT_TRUE(image.Allocate(4, 1, 32));
  const uint8_t px[] = {0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255};
  std::copy(std::begin(px), std::end(px), image.Pixels());
  ASSERT_TRUE(image.Resize(2, 1));
  EXPECT_EQ(Channel(image, 3), (std::vector<int>{0, 255}));
  ASSERT_TRUE(image.Resize(1, 1));
  EXPECT_EQ(Channel(image, 0), (std::vector<int>{128}));
}

TEST(RasterImage, SizesAreBoundedAndEmptyImagesStayEmpty) {
  RasterImage image;
  EXPECT_TRUE(image.Resize(10, 10));  // nothing to scale
  EXPECT_FALSE(image.HasPixels());
  struct Case {
    int32_t w, h;
    uint32_t bits;
    bool ok;
  } cases[] = {{1, 1, 24, true},  {0, 1, 24, false},      {1, -5, 24, false},
               {1, 1, 16, false}, {16385, 1, 24, false},  {16384, 1, 32, true},
               {1, 1, 32, true},  {-2147483647 - 1, 1, 24, false}};
  for (const Case& c : cases) {
    RasterImage probe;
    EXPECT_EQ(probe.Allocate(c.w, c.h, c.bits), c.ok) << c.w << "x" << c.h << "@" << c.bits;
  }
  Fill(image, 2, 2, {1, 2, 3, 4});
  EXPECT_FALSE(image.Resize(0, 4));
  EXPECT_FALSE(image.Resize(4, 100000));
  EXPECT_EQ(image.Width(), 2);
  EXPECT_TRUE(image.Resize(2, 2));
  EXPECT_EQ(Channel(image, 0), (std::vector<int>{1, 2, 3, 4}));
}

TEST(RasterImage, CopyFromIsExact) {
  RasterImage a, b;
  Fill(a, 3, 2, {9, 8, 7, 6, 5, 4});
  ASSERT_TRUE(b.CopyFrom(a));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.BitsPerPixel(), 24u);
  EXPECT_EQ(Channel(b, 1), Channel(a, 1));
  RasterImage empty;
  ASSERT_TRUE(b.CopyFrom(empty));
  EXPECT_FALSE(b.HasPixels());
}

TEST(PngImage, SavedFileLoadsBackIdentical) {
  testsupport::ScratchDir dir;
  for (uint32_t bits : {24u, 32u}) {
    RasterImage image;
    ASSERT_TRUE(image.Allocate(5, 3, bits));
    for (size_t i = 0; i < image.ByteCount(); ++i) image.Pixels()[i] = static_cast<uint8_t>(i * 17);
    const PathString path = FromNativeString((dir / "x.png").string());
    ASSERT_TRUE(SavePngFile(path, image));
    RasterImage back;
    ASSERT_TRUE(LoadPngFile(path, back));
    EXPECT_EQ(back.BitsPerPixel(), bits);
    ASSERT_EQ(back.ByteCount(), image.ByteCount());
    EXPECT_TRUE(std::equal(back.Pixels(), back.Pixels() + back.ByteCount(), image.Pixels()));
  }
}

TEST(PngImage, BadInputFailsCleanly) {
  testsupport::ScratchDir dir;
  RasterImage image;
  ASSERT_TRUE(image.Allocate(8, 8, 24));
  const PathString path = FromNativeString((dir / "x.png").string());
  ASSERT_TRUE(SavePngFile(path, image));
  const std::string good = testsupport::ReadFile(dir / "x.png");
  RasterImage out;
  // Every truncation that cuts into the picture data fails without touching the output
  // (only the closing chunks and the last checksum may be missing).
  for (size_t n = 0; n + 16 < good.size(); n += 3) {
    EXPECT_FALSE(LoadPngFromMemory(reinterpret_cast<const uint8_t*>(good.data()), n, out)) << n;
    EXPECT_FALSE(out.HasPixels());
  }
  EXPECT_FALSE(LoadPngFile(L"/nonexistent/x.png", out));
  RasterImage empty;
  EXPECT_FALSE(SavePngFile(FromNativeString((dir / "e.png").string()), empty));
}

}  // namespace
