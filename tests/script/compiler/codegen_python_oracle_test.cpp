// Compiled bytes read by an independent reader: python3's struct module decodes button
// conditions and walks every action of a large script.
#include <gtest/gtest.h>

#include <string>

#include "CodegenTestSupport.h"
#include "support/TestSupport.h"

namespace {

#define SKIP_WITHOUT_PYTHON() \
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed"

// The condition bits of a DefineButton2 condition record, as the SWF format names them.
TEST(CodegenPython, DragOutSetsTheTwoOverDownConditions) {
  SKIP_WITHOUT_PYTHON();
  testsupport::ScratchDir dir;
  const auto compiled = codegentest::Compile("on (dragOut) { stop(); }", 6);
  ASSERT_EQ(compiled.errorCode, 0) << compiled.errorMessage;
  testsupport::WriteFile(dir / "button.bin", std::string(compiled.code.begin(), compiled.code.end()));
  const std::string out = testsupport::Python(
      "import struct\n"
      "b = open(r'" + (dir / "button.bin").string() + "', 'rb').read()\n"
      "offset, flags = struct.unpack_from('<HH', b, 0)\n"
      "names = ['IdleToOverUp', 'OverUpToIdle', 'OverUpToOverDown', 'OverDownToOverUp',\n"
      "         'OverDownToOutDown', 'OutDownToOverDown', 'OutDownToIdle', 'IdleToOverDown',\n"
      "         'OverDownToIdle']\n"
      "print(offset, ' '.join(n for i, n in enumerate(names) if flags >> i & 1), flags >> 9)\n");
  EXPECT_EQ(out, "0 OverDownToOutDown OverDownToIdle 0\n");
}

// 70,000 distinct strings, each used twice: the pool stops at what its 16-bit fields hold,
// pushes are split before they pass 65535 bytes, and every action parses to its length.
TEST(CodegenPython, LargePoolAndPushesParse) {
  SKIP_WITHOUT_PYTHON();
  // 70,000 distinct strings of up to three letters and digits, each twice: the script stays
  // within the compiler's size limit.
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string script = "x = [";
  for (int i = 0; i < 70000; ++i) {
    std::string name;
    for (int n = i; name.empty() || n > 0; n /= 62) name += kDigits[n % 62];
    const std::string s = "\"" + name + "\"";
    script += (i ? "," : "") + s + "," + s;
  }
  script += "];";
  const auto compiled = codegentest::Compile(script, 6);
  ASSERT_EQ(compiled.errorCode, 0) << compiled.errorMessage;
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "code.bin", std::string(compiled.code.begin(), compiled.code.end()));
  const std::string out = testsupport::Python(
      "import struct\n"
      "b = open(r'" + (dir / "code.bin").string() + "', 'rb').read()\n"
      "pos = 0; pool = None; pushes = 0; values = 0; pooled = 0; inline = 0\n"
      "while pos < len(b):\n"
      "    code = b[pos]; pos += 1\n"
      "    if code < 0x80: continue\n"
      "    length, = struct.unpack_from('<H', b, pos); pos += 2\n"
      "    body = b[pos:pos + length]; assert len(body) == length; pos += length\n"
      "    if code == 0x88:\n"
      "        count, = struct.unpack_from('<H', body, 0)\n"
      "        pool = body[2:].split(b'\\0')[:-1]\n"
      "        assert len(pool) == count and body[-1] == 0\n"
      "    elif code == 0x96:\n"
      "        pushes += 1; i = 0\n"
      "        while i < length:\n"
      "            t = body[i]; i += 1; values += 1\n"
      "            if t == 0: e = body.index(0, i); i = e + 1; inline += 1\n"
      "            elif t == 7: i += 4\n"
      "            elif t == 6: i += 8\n"
      "            elif t == 8: assert body[i] < len(pool); i += 1; pooled += 1\n"
      "            elif t == 9: assert struct.unpack_from('<H', body, i)[0] < len(pool); i += 2; pooled += 1\n"
      "            else: raise Exception('type %d' % t)\n"
      "        assert i == length\n"
      "assert pos == len(b)\n"
      "print(len(pool) <= 65535, pushes > 1, values, pooled + inline)\n");
  EXPECT_EQ(out, "True True 140002 140001\n");
}

}  // namespace
