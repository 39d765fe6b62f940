// Player templates read from SWF movies that python3 writes byte by byte: the stage size
// from the header and the variables the first frame sets.
#include <memory>

#include "framework/platform/WideText.h"
#include "generation/PlayerTemplate.h"
#include "support/TestSupport.h"

namespace {

const char* kSwfWriter = R"(
import struct, zlib
def rect(xmax, ymax):
    n = max(v.bit_length() for v in (xmax, ymax)) + 1
    bits = format(n, '05b') + ''.join(format(v, '0%db' % n) for v in (0, xmax, 0, ymax))
    bits += '0' * (-len(bits) % 8)
    return bytes(int(bits[i:i+8], 2) for i in range(0, len(bits), 8))
def tag(code, body):
    return struct.pack('<H', (code << 6) | 63) + struct.pack('<I', len(body)) + body
def push(*strings):
    body = b''.join(b'\x00' + s.encode() + b'\x00' for s in strings)
    return b'\x96' + struct.pack('<H', len(body)) + body
def swf(path, w, h, pairs, later=(), compressed=False):
    actions = b''.join(push(n, v) + b'\x1d' for n, v in pairs) + b'\x00'
    tags = tag(12, actions) + tag(1, b'')
    if later:
        tags += tag(12, b''.join(push(n, v) + b'\x1d' for n, v in later) + b'\x00') + tag(1, b'')
    tags += tag(0, b'')
    body = rect(w, h) + struct.pack('<HH', 12 << 8, 2) + tags
    if compressed:
        data = b'CWS' + bytes([6]) + struct.pack('<I', 8 + len(body)) + zlib.compress(body)
    else:
        data = b'FWS' + bytes([6]) + struct.pack('<I', 8 + len(body)) + body
    open(path, 'wb').write(data)
)";

TEST(PlayerTemplateOracle, LibraryReadsTemplateMovies) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  int status = 0;
  testsupport::Python(std::string(kSwfWriter) +
                          "swf('" + (dir / "Slim.swf").string() + "', 4000, 400, "
                          "[('name', 'Slim'), ('fixed_height', 'true'), ('ztaVarColor', 'red'), "
                          "('ztaVarLabel', 'Play')], later=[('ztaVarLate', 'x')])\n"
                          "swf('" + (dir / "Packed.swf").string() + "', 6400, 4800, "
                          "[('ztaVarSize', '3')], compressed=True)\n"
                          "open('" + (dir / "Broken.swf").string() + "', 'wb').write(b'FWS\\x06')\n",
                      &status);
  ASSERT_EQ(status, 0);
  SwfPlayerTemplateReader reader;
  PlayerTemplateLibrary library(9);
  EXPECT_EQ(library.LoadFolder(FromNativeString(dir.str()), reader), 2);
  PlayerTemplate* slim = PlayerTemplateLibrary::FindByName(&library, L"Slim", false);
  ASSERT_NE(slim, nullptr);
  EXPECT_EQ(slim->GetSwfWidth(), 4000);
  EXPECT_EQ(slim->GetSwfHeight(), 400);
  EXPECT_FALSE(slim->FixesWidth());
  EXPECT_TRUE(slim->FixesHeight());
  ASSERT_EQ(slim->Variables().size(), 2u);  // the second frame is not scanned
  EXPECT_EQ(slim->Variables()[1], (PlayerVariable{L"ztaVarLabel", L"Play"}));
  int32_t w = 0, h = 0;
  slim->MeasurePlayer(6400, 4800, w, h);
  EXPECT_EQ(w, 6400);
  EXPECT_EQ(h, 400);
  PlayerTemplate* packed = PlayerTemplateLibrary::FindByName(&library, L"Packed", false);
  ASSERT_NE(packed, nullptr);
  EXPECT_EQ(packed->GetSwfWidth(), 6400);
  EXPECT_EQ(*packed->GetVariable(L"ztaVarSize"), L"3");
}

}  // namespace
