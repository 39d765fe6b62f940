// PNG files judged by python3: files it writes with zlib and struct load to the exact
// bytes, files we write decode there to the exact bytes, and a header that claims a huge
// picture is refused before anything is allocated.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/platform/WideText.h"
#include "imaging/RasterImage.h"
#include "support/TestSupport.h"

namespace {

#define SKIP_WITHOUT_PYTHON() \
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed"

const char* kPngWriter = R"(
import struct, zlib, sys
def chunk(t, d):
    c = struct.pack('>I', len(d)) + t + d
    return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
def png(path, w, h, ctype, rows, extra=b''):
    raw = b''.join(b'\x00' + r for r in rows)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, ctype, 0, 0, 0))
    data += extra + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    open(path, 'wb').write(data)
)";

TEST(PngOracle, PythonWrittenFilesLoadExactly) {
  SKIP_WITHOUT_PYTHON();
  testsupport::ScratchDir dir;
  int status = 0;
  testsupport::Python(std::string(kPngWriter) + "png('" + (dir / "rgb.png").string() +
                          "', 3, 2, 2, [bytes([1,2,3, 4,5,6, 7,8,9]), bytes([10,11,12, 13,14,15, 250,251,252])])\n" +
                          "png('" + (dir / "rgba.png").string() +
                          "', 2, 1, 6, [bytes([1,2,3,0, 200,100,50,255])])\n" +
                          "png('" + (dir / "gray.png").string() + "', 2, 1, 0, [bytes([0, 255])])\n",
                      &status);
  ASSERT_EQ(status, 0);
  RasterImage image;
  ASSERT_TRUE(LoadPngFile(FromNativeString((dir / "rgb.png").string()), image));
  EXPECT_EQ(image.BitsPerPixel(), 24u);
  EXPECT_EQ(std::string(image.Pixels(), image.Pixels() + image.ByteCount()),
            std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\xfa\xfb\xfc"));
  ASSERT_TRUE(LoadPngFile(FromNativeString((dir / "rgba.png").string()), image));
  EXPECT_EQ(image.BitsPerPixel(), 32u);
  EXPECT_EQ(std::string(image.Pixels(), image.Pixels() + image.ByteCount()),
            std::string("\x01\x02\x03\x00\xc8\x64\x32\xff", 8));
  ASSERT_TRUE(LoadPngFile(FromNativeString((dir / "gray.png").string()), image));
  EXPECT_EQ(std::string(image.Pixels(), image.Pixels() + image.ByteCount()),
            std::string("\x00\x00\x00\xff\xff\xff", 6));
}

TEST(PngOracle, WrittenFilesDecodeInPython) {
  SKIP_WITHOUT_PYTHON();
  testsupport::ScratchDir dir;
  RasterImage image;
  ASSERT_TRUE(image.Allocate(4, 3, 24));
  for (size_t i = 0; i < image.ByteCount(); ++i) image.Pixels()[i] = static_cast<uint8_t>(i * 7 + 1);
  ASSERT_TRUE(SavePngFile(FromNativeString((dir / "out.png").string()), image));
  std::string out = testsupport::Python(
      "import struct, zlib\n"
      "d = open('" + (dir / "out.png").string() + "', 'rb').read()\n"
      "assert d[:8] == b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "p, idat, hdr = 8, b'', None\n"
      "while p < len(d):\n"
      "    n, t = struct.unpack('>I4s', d[p:p+8]); body = d[p+8:p+8+n]\n"
      "    assert struct.unpack('>I', d[p+8+n:p+12+n])[0] == zlib.crc32(t + body) & 0xffffffff\n"
      "    if t == b'IHDR': hdr = struct.unpack('>IIBBBBB', body)\n"
      "    if t == b'IDAT': idat += body\n"
      "    p += 12 + n\n"
      "w, h, depth, ctype = hdr[:4]\n"
      "raw = zlib.decompress(idat); stride = w * 3; prev = bytearray(stride); pix = b''\n"
      "for y in range(h):\n"
      "    f = raw[y*(stride+1)]; row = bytearray(raw[y*(stride+1)+1:(y+1)*(stride+1)])\n"
      "    for i in range(stride):\n"
      "        a = row[i-3] if i >= 3 else 0; b = prev[i]; c = prev[i-3] if i >= 3 else 0\n"
      "        if f == 1: row[i] = (row[i] + a) & 255\n"
      "        elif f == 2: row[i] = (row[i] + b) & 255\n"
      "        elif f == 3: row[i] = (row[i] + (a + b) // 2) & 255\n"
      "        elif f == 4:\n"
      "            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2*c)\n"
      "            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255\n"
      "    pix += bytes(row); prev = row\n"
      "print(w, h, depth, ctype, pix.hex())\n");
  std::string hex;
  for (size_t i = 0; i < image.ByteCount(); ++i) {
    char b[3];
    snprintf(b, sizeof b, "%02x", image.Pixels()[i]);
    hex += b;
  }
  EXPECT_EQ(out, "4 3 8 2 " + hex + "\n");
}

TEST(PngOracle, HugeHeaderIsRefusedUnderMemoryCap) {
  SKIP_WITHOUT_PYTHON();
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space cap cannot be set under AddressSanitizer";
#endif
  testsupport::ScratchDir dir;
  int status = 0;
  // A valid header claiming 16385 x 16385, and one claiming 16384 x 16384 with one row only.
  testsupport::Python(std::string(kPngWriter) + "png('" + (dir / "big.png").string() +
                          "', 16385, 16385, 2, [bytes(3)])\n" + "png('" +
                          (dir / "short.png").string() + "', 20000, 1, 2, [bytes(60000)])\n",
                      &status);
  ASSERT_EQ(status, 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit cap{512u << 20, 512u << 20};
    setrlimit(RLIMIT_AS, &cap);
    RasterImage image;
    bool a = LoadPngFile(FromNativeString((dir / "big.png").string()), image);
    bool b = LoadPngFile(FromNativeString((dir / "short.png").string()), image);
    _exit(!a && !b && !image.HasPixels() ? 0 : 1);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
}

}  // namespace
