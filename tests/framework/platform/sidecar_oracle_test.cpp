// Type, creator and resource forks kept in AppleDouble sidecars, judged by an independent
// AppleDouble reader and writer in python3 (struct).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "framework/platform/FileOps.h"
#include "path_test_support.h"
#include "support/TestSupport.h"

using pathtest::W;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

// Decodes "._name" and prints "<type> <creator> <flags> <finder offset> <fork length>", or
// "none" when there is no sidecar; the layout is checked as macOS expects it.
const char* kReader = R"PY(
import os, struct, sys
def read(path):
    side = os.path.join(os.path.dirname(path), '._' + os.path.basename(path))
    if not os.path.exists(side):
        return 'none'
    data = open(side, 'rb').read()
    magic, version = struct.unpack('>II', data[:8])
    assert magic == 0x00051607 and version == 0x00020000, (hex(magic), hex(version))
    (count,) = struct.unpack('>H', data[24:26])
    entries = [struct.unpack('>III', data[26 + 12 * i: 38 + 12 * i]) for i in range(count)]
    assert entries[0][0] == 9 and entries[0][2] == 32, entries
    ids = {e[0]: e for e in entries}
    fi = data[ids[9][1]: ids[9][1] + 32]
    ftype, creator, flags = struct.unpack('>4s4sH', fi[:10])
    fork = ids[2][2] if 2 in ids else 0
    return '%s %s %d %d %d' % (ftype.decode('latin-1'), creator.decode('latin-1'), flags, ids[9][1], fork)
for p in sys.argv[1:]:
    print(read(p))
)PY";

std::string ReadWithPython(const ScratchDir& dir, const std::vector<std::string>& paths) {
  testsupport::WriteFile(dir / "reader.py", kReader);
  std::string cmd = "python3 '" + dir.str() + "/reader.py'";
  for (const auto& p : paths) cmd += " '" + p + "'";
  int status = 0;
  std::string out = testsupport::Run(cmd + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

TEST(SidecarOracle, TypeAndCreatorOutliveTheProcessAndFollowTheFile) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  ScratchDir dir;
  const std::string doc = dir.str() + "/song é.bva";
  const FileCreateInfo info{toolbox::MakeOSType("Bvaw"), toolbox::MakeOSType("pBva"), 0, 0};
  ASSERT_TRUE(CreateFileWithInfo(W(doc), &info, false));
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/plain.txt"), nullptr, false));
  EXPECT_EQ(ReadWithPython(dir, {doc, dir.str() + "/plain.txt"}), "pBva Bvaw 0 50 0\nnone\n");
  EXPECT_FALSE(fs::exists(dir / "._plain.txt"));

  // A fresh process of this program reads the type and creator back through the system.
  const char* self = "/proc/self/exe";
  char exe[4096];
  const ssize_t n = readlink(self, exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = '\0';
  int status = 0;
  const std::string out = testsupport::Run("BRIVANE_SIDECAR_FILE='" + doc + "' '" + std::string(exe) +
                                               "' --gtest_filter=SidecarOracle.ReadBackInChild 2>&1",
                                           &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;

  PathString path = W(doc);
  ASSERT_TRUE(RenamePath(path, L"renamed.bva"));
  EXPECT_FALSE(fs::exists(dir / "._song é.bva"));
  EXPECT_EQ(ReadWithPython(dir, {dir.str() + "/renamed.bva"}), "pBva Bvaw 0 50 0\n");
  ASSERT_TRUE(DeletePath(path, false));
  EXPECT_FALSE(fs::exists(dir / "renamed.bva"));
  EXPECT_FALSE(fs::exists(dir / "._renamed.bva"));
}

TEST(SidecarOracle, ReadBackInChild) {
  const char* file = std::getenv("BRIVANE_SIDECAR_FILE");
  if (!file) GTEST_SKIP() << "run by TypeAndCreatorOutliveTheProcessAndFollowTheFile";
  ForkFile fork;
  fork.SetPath(W(file));
  FinderInfoRecord rec;
  fork.GetFinderInfo(rec);
  EXPECT_EQ(rec.type, toolbox::MakeOSType("pBva"));
  EXPECT_EQ(rec.creator, toolbox::MakeOSType("Bvaw"));
}

TEST(SidecarOracle, SizeResourceInAForeignSidecar) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  ScratchDir dir;
  const std::string app = dir.str() + "/Projector";
  testsupport::WriteFile(app, "code");
  // An independent writer: a resource fork with 'SIZE' -1 and another resource, in an
  // AppleDouble file whose entries come in the other order.
  const std::string writer = R"PY(
import struct, sys
path = sys.argv[1]
size = struct.pack('>HII', 0x5880, 1000, 500)
other = b'hello'
data = struct.pack('>I', len(other)) + other + struct.pack('>I', len(size)) + size
types = [(b'STR ', [(128, 0)]), (b'SIZE', [(-1, 4 + len(other))])]
tl = struct.pack('>H', len(types) - 1)
refs = b''
reflist_start = 2 + 8 * len(types)
for t, rl in types:
    tl += struct.pack('>4sHH', t, len(rl) - 1, reflist_start + len(refs))
    for rid, off in rl:
        refs += struct.pack('>hHI I', rid, 0xFFFF, off & 0xFFFFFF, 0)
mp = bytes(16) + bytes(4) + struct.pack('>HHHH', 0, 0, 28, 28 + len(tl) + len(refs)) + tl + refs
fork = struct.pack('>IIII', 256, 256 + len(data), len(data), len(mp)) + bytes(240) + data + mp
fi = struct.pack('>4s4sH', b'APPL', b'SWF2', 0x2000) + bytes(22)
hdr = struct.pack('>II16sH', 0x00051607, 0x00020000, bytes(16), 2)
off_fork = 26 + 24
hdr += struct.pack('>III', 2, off_fork, len(fork)) + struct.pack('>III', 9, off_fork + len(fork), 32)
open(path.rsplit('/', 1)[0] + '/._' + path.rsplit('/', 1)[1], 'wb').write(hdr + fork + fi)
)PY";
  testsupport::WriteFile(dir / "writer.py", writer);
  int status = 0;
  testsupport::Run("python3 '" + dir.str() + "/writer.py' '" + app + "'", &status);
  ASSERT_EQ(status, 0);

  ForkFile fork;
  fork.SetPath(W(app));
  FinderInfoRecord rec;
  fork.GetFinderInfo(rec);
  EXPECT_EQ(rec.type, toolbox::MakeOSType("APPL"));
  EXPECT_EQ(rec.finderFlags, kFinderFlagHasBundle);

  toolbox::FileSpec spec;
  ASSERT_TRUE(PathToFSSpec(W(app), spec));
  ASSERT_TRUE(UpdateSizeResource(spec, 0x12345678, 0x01020304));
  // Read back through python: the sizes changed, nothing else did.
  const std::string check = R"PY(
import struct, sys
d = open(sys.argv[1], 'rb').read()
entries = {struct.unpack('>III', d[26+12*i:38+12*i])[0]: struct.unpack('>III', d[26+12*i:38+12*i]) for i in range(struct.unpack('>H', d[24:26])[0])}
fork = d[entries[2][1]:entries[2][1]+entries[2][2]]
fi = d[entries[9][1]:entries[9][1]+32]
doff, moff, dlen, mlen = struct.unpack('>IIII', fork[:16])
print(fork[doff:doff+9] == struct.pack('>I', 5) + b'hello', struct.unpack('>IHII', fork[doff+9:doff+9+14]), fi[:4], len(fork))
)PY";
  testsupport::WriteFile(dir / "check.py", check);
  const std::string out =
      testsupport::Run("python3 '" + dir.str() + "/check.py' '" + dir.str() + "/._Projector' 2>&1");
  EXPECT_EQ(out, "True (10, 22656, 305419896, 16909060) b'APPL' " +
                     std::to_string(256 + 9 + 14 + 28 + 2 + 16 + 12 * 2) + "\n");
  EXPECT_EQ(testsupport::ReadFile(app), "code");

  // A file without such a resource is refused.
  testsupport::WriteFile(dir / "other", "x");
  ASSERT_TRUE(PathToFSSpec(W(dir.str() + "/other"), spec));
  EXPECT_FALSE(UpdateSizeResource(spec, 1, 1));
}

}  // namespace
