// Frame grabbing for watermark images, judged by python3 (which writes the PNG files) and
// ffmpeg (which writes the other formats).
#include <algorithm>
#include <cstdlib>
#include <string>

#include "framework/platform/WideText.h"
#include "generation/QtMovie.h"
#include "imaging/RasterImage.h"
#include "support/TestSupport.h"

namespace {

const char* kPngWriter = R"(
import struct, zlib
def chunk(t, d):
    c = struct.pack('>I', len(d)) + t + d
    return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
def png(path, w, h, ctype, rows):
    raw = b''.join(b'\x00' + r for r in rows)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, ctype, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    open(path, 'wb').write(data)
)";

std::string Bytes(const RasterImage& image) {
  return std::string(image.Pixels(), image.Pixels() + image.ByteCount());
}

TEST(QtMovieOracle, PythonPngGivesExactRgbBytes) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  int status = 0;
  testsupport::Python(std::string(kPngWriter) + "png('" + (dir / "rgb.png").string() +
                          "', 3, 2, 2, [bytes([1,2,3, 40,50,60, 255,0,128]), bytes([9,8,7, 0,0,0, 255,255,255])])\n" +
                          "png('" + (dir / "rgba.png").string() +
                          "', 2, 1, 6, [bytes([10,20,30,0, 200,100,50,255])])\n" + "png('" +
                          (dir / "wide.png").string() + "', 16385, 1, 2, [bytes(16385 * 3)])\n",
                      &status);
  ASSERT_EQ(status, 0);
  QtMovie movie;
  ASSERT_TRUE(movie.OpenFile(FromNativeString((dir / "rgb.png").string())));
  RasterImage image;
  ASSERT_TRUE(movie.GrabFrameImage(0, image, nullptr, 24));
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(image.BitsPerPixel(), 24u);
  EXPECT_EQ(Bytes(image), std::string("\x01\x02\x03\x28\x32\x3c\xff\x00\x80\x09\x08\x07\x00\x00\x00\xff\xff\xff", 18));

  FrameRect part{1, 1, 2, 3};
  ASSERT_TRUE(movie.OpenFile(FromNativeString((dir / "rgb.png").string())));
  ASSERT_TRUE(movie.GrabFrameImage(0, image, &part, 24));
  EXPECT_EQ(Bytes(image), std::string("\x00\x00\x00\xff\xff\xff", 6));

  ASSERT_TRUE(movie.OpenFile(FromNativeString((dir / "rgba.png").string())));
  ASSERT_TRUE(movie.GrabFrameImage(0, image, nullptr, 32));
  EXPECT_EQ(Bytes(image), std::string("\x0a\x14\x1e\x00\xc8\x64\x32\xff", 8));

  EXPECT_FALSE(movie.OpenFile(FromNativeString((dir / "wide.png").string())));
  EXPECT_FALSE(movie.GrabFrameImage(0, image, nullptr, 24));
}

TEST(QtMovieOracle, OtherImageFormatsAndMoviesGiveTheirSize) {
  if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  testsupport::ScratchDir dir;
  struct Case {
    const char* name;
    const char* args;
  } cases[] = {
      {"a.bmp", "-frames:v 1"},
      {"a.jpg", "-frames:v 1"},
      {"a.gif", "-frames:v 1"},
      {"a.tiff", "-frames:v 1"},
      {"a.mov", "-t 1 -c:v mpeg4"},
  };
  for (const Case& c : cases) {
    const std::string path = (dir / c.name).string();
    int status = 0;
    testsupport::Run("ffmpeg -v error -y -f lavfi -i color=c=0x336699:s=24x16:r=10 " +
                         std::string(c.args) + " '" + path + "'",
                     &status);
    ASSERT_EQ(status, 0) << c.name;
    QtMovie movie;
    ASSERT_TRUE(movie.OpenFile(FromNativeString(path))) << c.name;
    RasterImage image;
    ASSERT_TRUE(movie.GrabFrameImage(0, image, nullptr, 24)) << c.name;
    EXPECT_EQ(image.Width(), 24) << c.name;
    EXPECT_EQ(image.Height(), 16) << c.name;
    // The pixels are those ffmpeg itself decodes, within the rounding of the conversion.
    const std::string expected = testsupport::Run("ffmpeg -v error -i '" + path +
                                                  "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(expected.size(), image.ByteCount()) << c.name;
    int worst = 0;
    for (size_t i = 0; i < expected.size(); ++i)
      worst = std::max(worst, std::abs(static_cast<uint8_t>(expected[i]) - image.Pixels()[i]));
    EXPECT_LE(worst, 3) << c.name;
  }
}

TEST(QtMovieOracle, UnreadableFilesFailCleanly) {
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "junk.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
  testsupport::WriteFile(dir / "empty.jpg", "");
  testsupport::WriteFile(dir / "audio.mp3", "ID3");
  QtMovie movie;
  RasterImage image;
  for (const char* name : {"junk.png", "empty.jpg", "audio.mp3", "missing.png"}) {
    // A file may open by its signature; no frame decodes from it.
    movie.OpenFile(FromNativeString((dir / name).string()));
    EXPECT_FALSE(movie.GrabFrameImage(0, image, nullptr, 24)) << name;
  }
  EXPECT_FALSE(image.HasPixels());
}

}  // namespace
