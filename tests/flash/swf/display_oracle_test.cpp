// Judged by outside programs: the browser player runs a movie with a named, scripted clip and
// a three-frame sprite, as written and after a read/write round trip; python3's zlib and a
// python tag walker check compressed movies and clip actions byte by byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfCompression.h"
#include "flash/swf/SwfMovieWriter.h"
#include "support/Player.h"

using namespace swftest;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

DoActionTag* Trace(const wchar_t* text, uint8_t version, bool stop = false) {
  auto* tag = new DoActionTag(version);
  tag->AddAction(new ActionPush(text));
  tag->AddAction(new ActionGeneric(0x26));
  if (stop) tag->AddAction(new ActionStop());
  return tag;
}

// Frame scripts of a sprite, a clip placed under a name with a load and a key-press handler,
// and a main script that finds the clip by its name.
uint32_t WriteClipMovie(const PathString& path) {
  const uint8_t v = 6;
  SwfMovieWriter w;
  w.SetMovieProperties(200 * 20, 100 * 20, 24, v);
  if (!w.Open(path, true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0x20, 0x80, 0x20), false);
  auto* sprite = new DefineSpriteTag(1, 0);
  sprite->AddTag(Trace(L"sprite frame 1", v));
  sprite->AddTag(new ShowFrameTag());
  sprite->AddTag(Trace(L"sprite frame 2", v));
  sprite->AddTag(new ShowFrameTag());
  sprite->AddTag(Trace(L"sprite frame 3", v, true));
  sprite->AddTag(new ShowFrameTag());
  w.WriteTag(sprite, false);
  auto* place = new PlaceObject2Tag();
  place->SetCharacterId(1);
  place->depth = 1;
  place->SetName(L"clip");
  place->SetMatrix(new SwfMatrix());
  auto* load = new SwfClipActionRecord(kClipEventLoad);
  load->SetActions(Trace(L"clip loaded", v));
  place->AddClipAction(load);
  auto* key = new SwfClipActionRecord(kClipEventKeyPress);
  key->keyCode = 0x20;
  key->SetActions(Trace(L"space", v));
  place->AddClipAction(key);
  w.WriteTag(place, false);
  auto* main = new DoActionTag(v);
  main->AddAction(new ActionPush(L"clip"));
  main->AddAction(new ActionGetVariable());
  main->AddAction(new ActionGeneric(0x26));
  main->AddAction(new ActionStop());
  w.WriteTag(main, false);
  w.WriteTag(new ShowFrameTag(), false);
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

}  // namespace

TEST(SwfDisplayPlayer, ClipActionsAndSpriteFramesRunAsWrittenAndAfterARoundTrip) {
  SKIP_WITHOUT_PLAYER();
  testsupport::ScratchDir dir;
  ASSERT_GT(WriteClipMovie(PathOf(dir / "clip.swf")), 0u);
  ASSERT_GT(RewriteMovie(PathOf(dir / "clip.swf"), PathOf(dir / "again.swf")), 0u);
  ASSERT_TRUE(CompressSwfFile(PathOf(dir / "again.swf"), PathOf(dir / "again-c.swf"), true));
  ASSERT_GT(RewriteMovie(PathOf(dir / "again-c.swf"), PathOf(dir / "again-c-again.swf")), 0u);
  EXPECT_TRUE(ReadFile(dir / "again-c-again.swf") == ReadFile(dir / "again.swf"));

  const std::vector<std::string> expected = {"clip loaded", "_level0.clip", "sprite frame 1", "sprite frame 2",
                                             "sprite frame 3"};
  testsupport::PlayerOptions options;
  options.count = static_cast<int>(expected.size());
  auto results = testsupport::RunInPlayer({dir / "clip.swf", dir / "again.swf", dir / "again-c.swf"}, options);
  ASSERT_EQ(results.size(), 3u);
  for (auto& r : results) {
    SCOPED_TRACE(r.movie);
    EXPECT_TRUE(r.errors.empty()) << r.errors[0];
    // The sprite's frames trace in their order; every line comes exactly once.
    std::vector<std::string> sprite;
    for (auto& t : r.traces)
      if (t.rfind("sprite", 0) == 0) sprite.push_back(t);
    EXPECT_EQ(sprite, (std::vector<std::string>{"sprite frame 1", "sprite frame 2", "sprite frame 3"}));
    auto sorted = r.traces;
    std::sort(sorted.begin(), sorted.end());
    auto want = expected;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(sorted, want);
    EXPECT_EQ(r.meta["numFrames"], "1");
    EXPECT_EQ(r.meta["swfVersion"], "6");
  }
}

TEST(SwfCompressionOracle, PythonZlibInflatesTheCompressedBody) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  auto* zeros = new RawTag(77, 1 << 20);
  zeros->body.assign(1 << 20, 0);
  auto* text = new RawTag(78, 5);
  text->body = {'h', 'e', 'l', 'l', 'o'};
  WriteFile(dir / "f.swf", MovieBytes(8, {zeros, text, new ShowFrameTag(), new EndTag()}));
  ASSERT_TRUE(CompressSwfFile(PathOf(dir / "f.swf"), PathOf(dir / "c.swf"), true));
  const std::string out = testsupport::Python(
      "import zlib\n"
      "fws = open('" + (dir / "f.swf").string() + "', 'rb').read()\n"
      "cws = open('" + (dir / "c.swf").string() + "', 'rb').read()\n"
      "print(cws[:3] == b'CWS', cws[3:8] == fws[3:8], zlib.decompress(cws[8:]) == fws[8:], len(cws) < 3000)\n");
  EXPECT_EQ(out, "True True True True\n");
}

// Version 5 has 16-bit clip events: the key-press record cannot be written there, and the
// remaining record and the end marker fill the tag exactly.
TEST(SwfDisplayOracle, Version5ClipActionsEndAtTheTagsEnd) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  auto* place = new PlaceObject2Tag();
  place->SetCharacterId(1);
  place->depth = 1;
  auto* key = new SwfClipActionRecord(kClipEventKeyPress);
  key->keyCode = 0x20;
  key->SetActions(Trace(L"key", 5));
  place->AddClipAction(key);
  auto* load = new SwfClipActionRecord(kClipEventLoad);
  load->SetActions(Trace(L"load", 5));
  place->AddClipAction(load);
  WriteFile(dir / "v5.swf", MovieBytes(5, {place, new ShowFrameTag(), new EndTag()}));
  const std::string out = testsupport::Python(
      "import struct\n"
      "b = open('" + (dir / "v5.swf").string() + "', 'rb').read()\n"
      "nbits = b[8] >> 3\n"
      "p = 8 + (5 + 4 * nbits + 7) // 8 + 4\n"
      "while p < len(b):\n"
      "    h, = struct.unpack_from('<H', b, p); p += 2\n"
      "    code, n = h >> 6, h & 63\n"
      "    if n == 63: n, = struct.unpack_from('<I', b, p); p += 4\n"
      "    end = p + n\n"
      "    if code == 26:\n"
      "        flags = b[p]; q = p + 3 + (2 if flags & 2 else 0)\n"
      "        q += 2\n"
      "        allev, = struct.unpack_from('<H', b, q); q += 2\n"
      "        records = []\n"
      "        while True:\n"
      "            ev, = struct.unpack_from('<H', b, q); q += 2\n"
      "            if ev == 0: break\n"
      "            size, = struct.unpack_from('<I', b, q); q += 4\n"
      "            records.append((ev, b[q:q + size])); q += size\n"
      "        print(allev, [r[0] for r in records], records[0][1][-1], q == end)\n"
      "    p = end\n"
      "    if code == 0: break\n");
  EXPECT_EQ(out, "1 [1] 0 True\n");
}
