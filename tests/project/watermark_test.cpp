// Watermark settings: proportional sizes, alignment, the transparency mask, size limits and
// loading images; the jukebox track's defaults.
#include <algorithm>
#include <vector>

#include "framework/platform/WideText.h"
#include "imaging/RasterImage.h"
#include "project/WatermarkSettings.h"
#include "support/TestSupport.h"

namespace {

RasterImage Solid(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
  RasterImage image;
  image.Allocate(w, h, 24);
  for (size_t i = 0; i < image.ByteCount(); i += 3) {
    image.Pixels()[i] = r;
    image.Pixels()[i + 1] = g;
    image.Pixels()[i + 2] = b;
  }
  return image;
}

TEST(Watermark, ProportionalSizesFollowTheSourceImage) {
  WatermarkSettings w;
  RasterImage image = Solid(200, 100, 1, 2, 3);
  w.SetImage(image, 0, 0, 0);
  EXPECT_EQ(w.width, 200);
  EXPECT_EQ(w.height, 100);
  w.SetWidth(50);
  EXPECT_EQ(w.height, 25);
  EXPECT_EQ(w.image.Width(), 50);
  EXPECT_EQ(w.image.Height(), 25);
  w.SetHeight(33);
  EXPECT_EQ(w.width, 66);
  w.SetKeepAspectRatio(false);
  w.SetWidth(10);
  EXPECT_EQ(w.height, 33);
  w.SetKeepAspectRatio(true);
  EXPECT_EQ(w.height, 5);
  // Without an image the other side simply equals the given one.
  WatermarkSettings none;
  none.SetWidth(40);
  EXPECT_EQ(none.height, 40);
}

// The preview is scaled from the source image every time: shrunk to one pixel and grown
// back, it is the picture again, not a flat colour.
TEST(Watermark, PreviewIsScaledFromTheSourceImage) {
  RasterImage picture;
  picture.Allocate(6, 4, 24);
  for (size_t i = 0; i < picture.ByteCount(); ++i) picture.Pixels()[i] = static_cast<uint8_t>(i * 37);
  RasterImage expected;
  expected.CopyFrom(picture);
  expected.Resize(12, 8);
  const std::vector<uint8_t> scaled(expected.Pixels(), expected.Pixels() + expected.ByteCount());
  const std::vector<uint8_t> original(picture.Pixels(), picture.Pixels() + picture.ByteCount());
  const struct Case {
    const char* what;
    void (*shrink)(WatermarkSettings&);
    void (*grow)(WatermarkSettings&, int32_t, int32_t);
  } cases[] = {
      {"size", [](WatermarkSettings& w) { w.SetSize(1, 1); },
       [](WatermarkSettings& w, int32_t x, int32_t y) { w.SetSize(x, y); }},
      {"width", [](WatermarkSettings& w) { w.SetWidth(1); },
       [](WatermarkSettings& w, int32_t x, int32_t) { w.SetWidth(x); }},
      {"height", [](WatermarkSettings& w) { w.SetHeight(1); },
       [](WatermarkSettings& w, int32_t, int32_t y) { w.SetHeight(y); }},
  };
  for (const Case& c : cases) {
    for (int32_t factor : {1, 2}) {
      WatermarkSettings w;
      w.SetImage(picture, 0, 0, 0);
      c.shrink(w);
      c.grow(w, 6 * factor, 4 * factor);
      ASSERT_EQ(w.image.Width(), 6 * factor) << c.what;
      ASSERT_EQ(w.image.Height(), 4 * factor) << c.what;
      EXPECT_EQ(std::vector<uint8_t>(w.image.Pixels(), w.image.Pixels() + w.image.ByteCount()),
                factor == 1 ? original : scaled)
          << c.what << " x" << factor;
    }
  }
}

TEST(Watermark, SidesStayWithinTheMovieLimits) {
  struct Case {
    int32_t w, h;
    bool keep;
    int32_t ew, eh;
  } cases[] = {
      {100000, 5, false, 10000, 5}, {-5, 0, false, 1, 1},     {0, 20000, false, 1, 10000},
      {100000, 0, true, 10000, 10000}, {-2147483647 - 1, 3, false, 1, 3},
  };
  // Without pixels nothing is scaled; the sides are what is checked.
  for (const Case& c : cases) {
    WatermarkSettings w;
    w.keep_aspect_ratio = c.keep;
    if (c.keep) {
      w.SetWidth(c.w);
    } else {
      w.SetSize(c.w, c.h);
    }
    EXPECT_EQ(w.width, c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(w.height, c.eh) << c.w << "x" << c.h;
  }
  // A height from a width in a very tall image is held too.
  WatermarkSettings tall;
  tall.source_image.Allocate(1, 4000, 24);
  tall.width = 9000;
  tall.SetKeepAspectRatio(true);
  EXPECT_EQ(tall.height, 10000);
}

TEST(Watermark, Alignment) {
  struct Case {
    uint32_t h_align;
    int32_t x;
  } cases[] = {{0, 0}, {1, 135}, {2, 270}, {3, 77}};
  for (const Case& c : cases) {
    WatermarkSettings w;
    w.SetDocumentSize(320, 240);
    w.SetSize(50, 20);
    w.x = 77;
    w.SetHAlign(c.h_align);
    EXPECT_EQ(w.x, c.x) << c.h_align;
    EXPECT_EQ(w.h_align, c.h_align);
  }
  WatermarkSettings odd;
  odd.SetDocumentSize(5, 5);
  odd.SetSize(2, 2);
  odd.SetHAlign(1);
  EXPECT_EQ(odd.x, 1);
  odd.SetVAlign(2);
  EXPECT_EQ(odd.y, 3);
  odd.SetDocumentSize(100, 100);
  EXPECT_EQ(odd.x, 1);  // align_to_doc off
  EXPECT_EQ(odd.y, 3);
  odd.SetAlignToDocument(true);
  odd.SetDocumentSize(100, 100);
  EXPECT_EQ(odd.x, 49);
  EXPECT_EQ(odd.y, 98);
}

TEST(Watermark, MaskMarksTheTransparentColour) {
  WatermarkSettings w;
  RasterImage image = Solid(10, 10, 0x10, 0x20, 0x30);
  w.SetImage(image, 0, 0, 0x302010);
  ASSERT_NE(w.Mask(), nullptr);
  EXPECT_EQ(w.MaskCapacity(), 100u);
  EXPECT_TRUE(std::all_of(w.Mask(), w.Mask() + 100, [](uint8_t b) { return b == 0; }));
  w.SetSize(20, 20);
  EXPECT_EQ(w.MaskCapacity(), 400u);
  EXPECT_TRUE(std::all_of(w.Mask(), w.Mask() + 400, [](uint8_t b) { return b == 0; }));
  w.SetSize(10, 10);
  EXPECT_EQ(w.MaskCapacity(), 400u);
  w.SetTransparentColor(0);
  EXPECT_TRUE(std::all_of(w.Mask(), w.Mask() + 100, [](uint8_t b) { return b == 255; }));
  // Half the pixels transparent: the left column.
  RasterImage two = Solid(2, 1, 9, 9, 9);
  two.Pixels()[3] = 1;
  w.SetImage(two, 0, 0, 0x090909);
  EXPECT_EQ(w.Mask()[0], 0);
  EXPECT_EQ(w.Mask()[1], 255);
}

TEST(Watermark, ResetKeepsTheImagesAndCopyFromLoadsTheOthersFile) {
  testsupport::ScratchDir dir;
  RasterImage picture = Solid(8, 4, 200, 100, 50);
  const PathString file = FromNativeString((dir / "w.png").string());
  ASSERT_TRUE(SavePngFile(file, picture));
  WatermarkSettings other;
  ASSERT_TRUE(other.LoadImageFile(file, 0, 0, 0));
  EXPECT_EQ(other.src, file);
  EXPECT_EQ(other.source_image.Width(), 8);
  other.SetSize(16, 8);
  other.alpha = 128;
  other.SetDocumentSize(640, 480);

  WatermarkSettings w;
  w.CopyFrom(other);
  EXPECT_EQ(w.src, file);
  EXPECT_EQ(w.width, 16);
  EXPECT_EQ(w.alpha, 128u);
  EXPECT_EQ(w.doc_width, 640);
  EXPECT_EQ(w.image.Width(), 16);
  WatermarkSettings reset;
  reset.CopyFrom(other);
  reset.Reset();
  EXPECT_TRUE(reset.src.empty());
  EXPECT_EQ(reset.width, 1);
  EXPECT_TRUE(reset.source_image.HasPixels());

  WatermarkSettings missing;
  EXPECT_FALSE(missing.LoadImageFile(L"/nonexistent/x.png", 0, 0, 0));
  EXPECT_TRUE(missing.LoadImage(L"/nonexistent/x.png"));
  EXPECT_TRUE(missing.src.empty());
  // Copying from a watermark whose file is gone keeps this one's image.
  WatermarkSettings gone;
  gone.src = L"/nonexistent/x.png";
  gone.width = 3;
  gone.height = 3;
  w.CopyFrom(gone);
  EXPECT_EQ(w.src, file);
  EXPECT_EQ(w.width, 3);
}

TEST(Jukebox, ResetDefaults) {
  JukeboxTrack t;
  t.artist = L"x";
  t.media_type = 1;
  t.Reset();
  EXPECT_EQ(t.media_type, 0u);
  EXPECT_EQ(t.media_url, L"http://");
  EXPECT_EQ(t.artwork_url, L"http://");
  EXPECT_EQ(t.artwork_width, 50);
  EXPECT_TRUE(t.artist.empty());
}

}  // namespace
