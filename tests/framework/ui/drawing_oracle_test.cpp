#include <gtest/gtest.h>

#include <cairo.h>

#include "framework/ui/Drawing.h"
#include "support/TestSupport.h"

using namespace toolbox;

// The grey 68 -> 221 gradient across 154 columns, written as a PNG and judged by python3's
// own PNG decoding (zlib and struct).
TEST(GradientOracle, LinearGreyRampDecodedByPython) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  GWorldPtr off = nullptr;
  ASSERT_TRUE(CreateOffscreen(&off, 154, 6, 32));
  GradientFill g;
  g.AddStop(0.0f, 68 * 0x010101u);
  g.AddStop(1.0f, 221 * 0x010101u);
  g.SetLinear(true);
  g.Render(off, Rect{0, 0, 6, 154}, false);
  testsupport::ScratchDir dir;
  const std::string png = (dir.path() / "ramp.png").string();
  ASSERT_EQ(cairo_surface_write_to_png(GetPortSurface(off), png.c_str()), CAIRO_STATUS_SUCCESS);
  DisposeOffscreen(&off);
  int status = -1;
  std::string out = testsupport::Python(R"(
import struct, sys, zlib
sys.stderr = sys.stdout
data = open(')" + png + R"(', 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat, w, h = 8, b'', 0, 0
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8]); body = data[pos + 8:pos + 8 + n]; pos += 12 + n
    if kind == b'IHDR': w, h, depth, ctype = struct.unpack('>IIBB', body[:10]); assert depth == 8 and ctype in (2, 6)
    if kind == b'IDAT': idat += body
raw = zlib.decompress(idat); bpp = 4 if ctype == 6 else 3;  # RGB: every pixel opaque
stride = w * bpp; rows = []; prev = bytearray(stride); i = 0
for y in range(h):
    f = raw[i]; line = bytearray(raw[i + 1:i + 1 + stride]); i += 1 + stride
    for x in range(stride):
        a = line[x - bpp] if x >= bpp else 0; b = prev[x]; c = prev[x - bpp] if x >= bpp else 0
        if f == 1: line[x] = (line[x] + a) & 255
        elif f == 2: line[x] = (line[x] + b) & 255
        elif f == 3: line[x] = (line[x] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c; pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(bytes(line)); prev = line
greys = []
for row in rows:
    px = [row[k:k + bpp] + b'\xff' for k in range(0, len(row), bpp)]
    assert all(p[3] == 255 and p[0] == p[1] == p[2] for p in px)
    greys.append([p[0] for p in px])
assert all(r == greys[0] for r in greys), 'rows differ'
g = greys[0]
assert all(g[k] <= g[k + 1] for k in range(len(g) - 1)), 'a column darker than the one before'
print(w, g[0], g[-1])
)", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "154 68 221\n");
}
