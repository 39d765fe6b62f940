// Loading movies into the readers: files, memory and writers; compressed movies through a
// nameless temporary file of the reader's own; forged lengths; and the real movies of the corpus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfCompression.h"
#include "flash/swf/SwfFileReader.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string ThreeFrameMovie() {
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(1), p->depth = 1;
  p->SetName(L"clip");
  return MovieBytes(6, {new SetBackgroundColorTag(1, 2, 3), new FrameLabelTag(L"one"), p, new ShowFrameTag(),
                        new ShowFrameTag(), new RemoveObject2Tag(1), new ShowFrameTag(), new EndTag()},
                    3);
}

std::vector<std::string> Describe(const std::vector<SwfTag*>& tags, uint8_t version) {
  std::vector<std::string> out;
  for (SwfTag* t : tags) {
    // An empty DoAction is written as nothing at all.
    std::string d = swftest::Describe(*t, version);
    for (size_t at; (at = d.find(" <doaction>")) != std::string::npos;) d.erase(at, 11);
    if (d != "doaction") out.push_back(d);
  }
  return out;
}

// The tags of a loaded movie written back as a whole movie.
std::string Rewritten(SwfReader& r) {
  SwfBitWriter w(r.header.version);
  SwfHeaderRecord header = r.header;
  header.Write(w);
  for (SwfTag* t : r.tags) t->Write(w);
  w.Align();
  std::string bytes(w.GetBuffer().begin(), w.GetBuffer().end());
  const uint32_t n = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(n >> (8 * i));
  return bytes;
}

// A CWS file whose stream inflates to `inflated` zero bytes under a declared length.
std::string ZipBomb(uint32_t declared, size_t inflated) {
  std::string out = "CWS\x06";
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(declared >> (8 * i)));
  z_stream z{};
  deflateInit(&z, 9);
  std::vector<unsigned char> zeros(1 << 20, 0), buf(1 << 16);
  size_t left = inflated;
  int flush;
  do {
    const size_t n = std::min(left, zeros.size());
    left -= n;
    flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = buf.data();
      z.avail_out = static_cast<uInt>(buf.size());
      deflate(&z, flush);
      out.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  return out;
}

}  // namespace

TEST(SwfLoading, CompressedMoviesLoadLikeTheirUncompressedForm) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  const std::string fws = ThreeFrameMovie();
  WriteFile(dir / "f.swf", fws);
  WriteFile(dir / "c.swf", Compressed(fws));
  SwfReader plain, packed;
  ASSERT_TRUE(plain.ReadAllTagsFromMemory(PathOf(dir / "f.swf"), true, 0, true));
  ASSERT_TRUE(packed.ReadAllTagsFromMemory(PathOf(dir / "c.swf"), true, 0, true));
  EXPECT_EQ(plain.compressed, 0);
  EXPECT_EQ(packed.compressed, 1);
  EXPECT_EQ(Describe(packed.tags, 6), Describe(plain.tags, 6));
  EXPECT_EQ(packed.tags.size(), 8u);
  EXPECT_EQ(packed.frameCount, 3u + 3u);  // the header's, then one for every ShowFrame read
  EXPECT_EQ(packed.GetWidth(), 11000);
  EXPECT_TRUE(Rewritten(packed) == fws);
  EXPECT_TRUE(temp.Files().empty()) << ::testing::PrintToString(temp.Files());
  plain.ClearTags(false);
  EXPECT_EQ(plain.tags.size(), 8u) << "ClearTags(false) leaves the list";
  plain.ClearTags(true);
  packed.ClearTags(true);
  EXPECT_TRUE(plain.tags.empty());
}

TEST(SwfLoading, BadFilesFailWithTheirReason) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  const std::string cws = Compressed(ThreeFrameMovie());
  WriteFile(dir / "cut.swf", cws.substr(0, cws.size() - 10));
  WriteFile(dir / "cxy.swf", "CXY" + cws.substr(3));
  WriteFile(dir / "zws.swf", "ZWS" + cws.substr(3));
  WriteFile(dir / "text.txt", "hello world");
  WriteFile(dir / "huge.swf", cws.substr(0, 4) + std::string("\xFF\xFF\xFF\xFF", 4) + cws.substr(8));
  // An FWS header cut short: the file reader, which reads no tags, cannot tell.
  WriteFile(dir / "tiny.swf", std::string("FWS\x06\xFF\xFF\xFF\xFF", 8) + "tiny");
  // More than the readers load (a sparse file): refused before it is read.
  WriteFile(dir / "big.swf", ThreeFrameMovie());
  std::filesystem::resize_file(dir / "big.swf", kMaxSwfMovieBytes + 1);
  struct Case {
    const char* file;
    uint32_t error;
    uint8_t compressed;
    bool fileReaderToo = true;
  } cases[] = {{"cut.swf", kSwfErrorNotSwf, 1}, {"cxy.swf", kSwfErrorNotSwf, 1}, {"zws.swf", kSwfErrorNotSwf, 0},
               {"text.txt", kSwfErrorNotSwf, 0}, {"missing.swf", kSwfErrorCannotOpen, 0},
               {"huge.swf", kSwfErrorTooLarge, 1}, {"tiny.swf", kSwfErrorNotSwf, 0, false},
               {"big.swf", kSwfErrorTooLarge, 0, false}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.file);
    SwfReader memory;
    EXPECT_FALSE(memory.ReadAllTagsFromMemory(PathOf(dir / c.file), true, 0, true));
    EXPECT_EQ(memory.errorCode, c.error);
    EXPECT_EQ(memory.compressed, c.compressed);
    SwfFileReader file;
    if (c.fileReaderToo) {
      EXPECT_FALSE(file.Open(PathOf(dir / c.file), true));
      EXPECT_EQ(file.errorCode, c.error);
    }
    SwfReader stream;
    EXPECT_FALSE(stream.OpenStream(PathOf(dir / c.file), 7));
    EXPECT_EQ(stream.errorCode, c.error);
    EXPECT_EQ(stream.compressed, c.compressed);
    EXPECT_TRUE(temp.Files().empty());
  }
  SwfReader memory;
  const Bytes bytes(cws.begin(), cws.end());
  EXPECT_FALSE(memory.OpenMemory(bytes.data(), bytes.size(), true, 0, true));
  EXPECT_EQ(memory.errorCode, kSwfErrorNotSwf);
  EXPECT_EQ(memory.compressed, 1);
}

// A small CWS whose stream holds far more than its header declares (100 MiB behind a header
// of 1 KiB) is no movie, as for DecompressSwfFile: every reader refuses it at once, having
// inflated no more than the declared length and one byte, and leaves no file behind.
TEST(SwfLoading, InflationStopsAtTheDeclaredLength) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  const std::string bomb = ZipBomb(1024, 100u << 20);
  ASSERT_LT(bomb.size(), 200u * 1024);
  WriteFile(dir / "bomb.swf", bomb);
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  SwfReader memory, stream;
  EXPECT_FALSE(memory.ReadAllTagsFromMemory(PathOf(dir / "bomb.swf"), true, 0, true));
  EXPECT_EQ(memory.errorCode, kSwfErrorNotSwf);
  EXPECT_FALSE(stream.OpenStream(PathOf(dir / "bomb.swf")));
  EXPECT_EQ(stream.errorCode, kSwfErrorNotSwf);
  SwfFileReader file;
  EXPECT_FALSE(file.Open(PathOf(dir / "bomb.swf"), true));
  EXPECT_EQ(file.errorCode, kSwfErrorNotSwf);
  EXPECT_TRUE(temp.Files().empty());
  EXPECT_FALSE(DecompressSwfFile(PathOf(dir / "bomb.swf"), PathOf(dir / "out.swf"), true));
  EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 2.0);
}

// Each file reader has its own inflated copy, which has no name (it never shows in the folder)
// and goes with the reader, never another's.
TEST(SwfLoading, FileReadersKeepTheirOwnTemporaryFiles) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  const std::string fws = ThreeFrameMovie();
  WriteFile(dir / "c.swf", Compressed(fws));
  WriteFile(dir / "f.swf", fws);
  auto a = std::make_unique<SwfFileReader>();
  auto b = std::make_unique<SwfFileReader>();
  ASSERT_TRUE(a->Open(PathOf(dir / "c.swf"), true));
  ASSERT_TRUE(b->Open(PathOf(dir / "c.swf"), true));
  SwfFileReader plain;
  ASSERT_TRUE(plain.Open(PathOf(dir / "f.swf"), true));
  plain.Close();
  a.reset();
  EXPECT_TRUE(temp.Files().empty());
  // The survivor still reads its tags from its copy, exactly as from memory.
  SwfReader memory;
  ASSERT_TRUE(memory.ReadAllTagsFromMemory(PathOf(dir / "f.swf"), true, 0, true));
  EXPECT_EQ(b->compressed, 1);
  uint32_t w = 0, h = 0;
  b->GetFrameSize(w, h);
  EXPECT_EQ(w, 11000u);
  EXPECT_EQ(h, 8000u);
  EXPECT_FLOAT_EQ(b->header.frameRate, 12.0f);
  EXPECT_EQ(b->frameCount, 3u);
  b->ReadTagsUntil(nullptr, 0);
  EXPECT_EQ(Describe(b->tags, 6), Describe(memory.tags, 6));
  b->ClearTags(true);
  memory.ClearTags(true);
  b.reset();
  EXPECT_TRUE(temp.Files().empty());
}

// A reader killed while it holds an inflated copy leaves nothing on disk.
TEST(SwfLoading, AReaderKilledWhileInflatingLeavesNoFile) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  WriteFile(dir / "c.swf", ZipBomb(16u << 20, 16u << 20));
  const std::string folder = std::string(std::getenv("TMPDIR")) + "/brivane-" + std::to_string(geteuid()) + "/";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    for (;;) {  // every reader in turn, until killed
      SwfReader memory, stream;
      memory.ReadAllTagsFromMemory(PathOf(dir / "c.swf"), true, 0, true);
      memory.ClearTags(true);
      stream.OpenStream(PathOf(dir / "c.swf"), 7);
      SwfFileReader file;
      file.Open(PathOf(dir / "c.swf"), true);
    }
  }
  // Killed once it holds a file of the temporary folder open.
  auto holdsCopy = [&] {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
      const auto target = std::filesystem::read_symlink(e.path(), ec).string();
      if (!ec && target.compare(0, folder.size(), folder) == 0) return true;
    }
    return false;
  };
  bool seen = false;
  for (int i = 0; i < 600000 && !(seen = holdsCopy()); ++i) usleep(100);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(seen) << "the reader never held its copy open";
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(temp.Files().empty()) << ::testing::PrintToString(temp.Files());
}

TEST(SwfLoading, TagListsFromWritersAndMemory) {
  // A version 6 writer: clip events are 32 bits and the label has its anchor byte.
  SwfBitWriter w(6);
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(2), p->depth = 1;
  auto* key = new SwfClipActionRecord(kClipEventKeyPress);
  key->keyCode = 0x20;
  key->actions->AddAction(new ActionPlay());
  p->AddClipAction(key);
  auto* label = new FrameLabelTag(L"here");
  label->anchor = 1;
  std::vector<std::unique_ptr<SwfTag>> written;
  written.emplace_back(p);
  written.emplace_back(label);
  written.emplace_back(new ShowFrameTag());
  written.emplace_back(new ShowFrameTag());
  written.emplace_back(new ShowFrameTag());
  written.emplace_back(new EndTag());
  for (auto& t : written) t->Write(w);
  SwfReader r;
  ASSERT_TRUE(r.LoadFromWriter(w));
  EXPECT_EQ(r.GetVersion(), 6);
  EXPECT_TRUE(r.ReadTagsUntil(nullptr, 2));
  ASSERT_EQ(r.tags.size(), 4u) << "stops after the second ShowFrame";
  EXPECT_EQ(swftest::Describe(*r.tags[0], 6), swftest::Describe(*p, 6));
  EXPECT_EQ(swftest::Describe(*r.tags[1], 6), swftest::Describe(*label, 6));
  r.ClearTags(true);
  EXPECT_FALSE(r.ReadTagsUntil(nullptr, 0));
  EXPECT_EQ(r.tags.size(), 2u) << "the rest: a ShowFrame and the End";
  r.ClearTags(true);

  // The light read keeps everything raw but the background and the labels.
  testsupport::ScratchDir dir;
  WriteFile(dir / "f.swf", ThreeFrameMovie());
  SwfReader light;
  ASSERT_TRUE(light.ReadAllTags(PathOf(dir / "f.swf")));
  ASSERT_EQ(light.tags.size(), 8u);
  EXPECT_TRUE(dynamic_cast<SetBackgroundColorTag*>(light.tags[0]));
  EXPECT_TRUE(dynamic_cast<FrameLabelTag*>(light.tags[1]));
  for (size_t i = 2; i < light.tags.size(); ++i) EXPECT_TRUE(dynamic_cast<RawTag*>(light.tags[i]));
  EXPECT_TRUE(Rewritten(light) == ThreeFrameMovie());
  light.ClearTags(true);
}

// A movie is judged by its bytes: a header length of 0 or beyond the file still reads every
// tag, a movie lacking only its End tag gets one, and a tag cut off by the end of the file
// fails the load with nothing read, as a cut CWS does.
TEST(SwfLoading, DamagedMoviesAreJudgedByTheirBytes) {
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  const std::string fws = ThreeFrameMovie();
  auto declaring = [](std::string movie, uint32_t length) {
    for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<char>(length >> (8 * i));
    return movie;
  };
  const std::string withoutEnd = fws.substr(0, fws.size() - 2);
  const struct {
    const char* name;
    std::string bytes;
    bool loads;
  } cases[] = {
      {"header length 0", declaring(fws, 0), true},
      {"header length beyond the file", declaring(fws, 1u << 20), true},
      {"header length short of the tags", declaring(fws, 30), true},
      {"no End tag", declaring(withoutEnd, static_cast<uint32_t>(withoutEnd.size())), true},
      {"compressed, header length 0: nothing to inflate", Compressed(declaring(fws, 0)), false},
      {"compressed, no End tag", Compressed(declaring(withoutEnd, static_cast<uint32_t>(withoutEnd.size()))), true},
      {"cut inside the last tag", declaring(fws.substr(0, fws.size() - 5), 0), false},
      {"cut inside a record header", fws.substr(0, fws.size() - 1), false},
      {"compressed, cut inside a tag", Compressed(fws.substr(0, fws.size() - 5)), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "m.swf", c.bytes);
    SwfReader r, light;
    EXPECT_EQ(r.ReadAllTagsFromMemory(PathOf(dir / "m.swf"), true, 0, true), c.loads);
    EXPECT_EQ(light.ReadAllTags(PathOf(dir / "m.swf")), c.loads);
    if (c.loads) {
      EXPECT_TRUE(Rewritten(r) == fws) << "every tag, the End tag and the right length";
      EXPECT_TRUE(Rewritten(light) == fws);
    } else {
      EXPECT_EQ(r.errorCode, kSwfErrorNotSwf);
      EXPECT_TRUE(r.tags.empty());
      EXPECT_TRUE(light.tags.empty());
    }
    EXPECT_TRUE(temp.Files().empty());
    r.ClearTags(true);
    light.ClearTags(true);
  }
}

// Lengths and counts that promise more than is there are cut at once, and a tag that runs
// past the end of the movie's bytes is refused at once.
TEST(SwfLoading, ForgedLengthsAreHandledAtOnce) {
  const std::clock_t start = std::clock();  // the process's own time: a busy machine does not count
  // An export list of 0xFFFF entries, a sprite of 0xFFFF frames whose last tag claims 4 GB.
  std::string movie = MovieBytes(6, {}, 0xFFFF);
  movie += std::string("\x3F\x0E\x05\x00\x00\x00\xFF\xFF\x01\x00\x61", 11);  // ExportAssets count 0xFFFF
  movie += std::string("\xFF\x09\x0E\x00\x00\x00\x01\x00\xFF\xFF\x40\x00", 12);  // sprite
  movie += std::string("\x3F\x04\xFF\xFF\xFF\xFF\x01\x02", 8);                  // 4 GB raw tag in it
  movie += std::string("\x00\x00", 2);
  std::string lying = movie;
  lying.replace(4, 4, std::string("\xFF\xFF\xFF\xFF", 4));
  for (const std::string* bytes : {&movie, &lying}) {
    for (uint32_t byteCount : {0u, 0xFFFFFFu}) {
      SwfReader whole;
      ASSERT_TRUE(whole.OpenMemory(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(), true, byteCount,
                                   true));
      EXPECT_EQ(whole.GetSize(), movie.size()) << "the buffer holds the bytes there, not the length claimed";
      ASSERT_EQ(whole.tags.size(), 3u);
      EXPECT_EQ(whole.tags[0]->GetTagCode(), 56);
      auto* sprite = dynamic_cast<DefineSpriteTag*>(whole.tags[1]);
      ASSERT_TRUE(sprite);
      EXPECT_EQ(sprite->frameCount, 0xFFFF);
      ASSERT_EQ(sprite->tags.size(), 2u);
      EXPECT_EQ(static_cast<RawTag*>(sprite->tags[1].get())->body.size(), 2u);
      whole.ClearTags(true);
    }
  }
  // The same 4 GB tag outside the sprite runs past the movie's bytes: a cut movie.
  std::string cut = movie.substr(0, movie.size() - 2);
  cut.replace(cut.size() - 20, 6, std::string("\xFF\x09\x04\x00\x00\x00", 6));
  SwfReader r;
  EXPECT_FALSE(r.OpenMemory(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), true, 0, true));
  EXPECT_EQ(r.errorCode, kSwfErrorNotSwf);
  EXPECT_TRUE(r.tags.empty());
  EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 1.0);
}

// Every FWS and CWS movie of the corpus loads, writes back and loads again to the same tags;
// LZMA movies are refused.
TEST(SwfLoading, CorpusMoviesReadWriteAndReadAgain) {
  SKIP_WITHOUT_CORPUS();
  PrivateTemporaryFolder temp;
  testsupport::ScratchDir dir;
  int fws = 0, cws = 0, zws = 0;
  for (auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string bytes = ReadFile(entry.path());
    SwfReader r;
    const bool ok = r.ReadAllTagsFromMemory(PathOf(entry.path()), true, 0, true);
    if (bytes.compare(0, 3, "ZWS") == 0) {
      ++zws;
      EXPECT_FALSE(ok);
      EXPECT_EQ(r.errorCode, kSwfErrorNotSwf);
      continue;
    }
    ASSERT_TRUE(ok);
    ++(bytes[0] == 'C' ? cws : fws);
    EXPECT_EQ(r.compressed, bytes[0] == 'C' ? 1 : 0);
    ASSERT_FALSE(r.tags.empty());
    EXPECT_EQ(r.tags.back()->GetTagCode(), 0);
    const std::string again = Rewritten(r);
    WriteFile(dir / "again.swf", again);
    SwfReader back;
    ASSERT_TRUE(back.ReadAllTagsFromMemory(PathOf(dir / "again.swf"), true, 0, true));
    EXPECT_EQ(Describe(back.tags, r.header.version), Describe(r.tags, r.header.version));
    EXPECT_TRUE(Rewritten(back) == again);
    // The file reader sees the same header.
    SwfFileReader file;
    ASSERT_TRUE(file.Open(PathOf(entry.path()), true));
    EXPECT_EQ(file.header.version, r.header.version);
    EXPECT_EQ(file.header.frameCount, r.header.frameCount);
    uint32_t w1, h1, w2, h2;
    file.GetFrameSize(w1, h1);
    r.GetFrameSize(w2, h2);
    EXPECT_EQ(w1, w2);
    EXPECT_EQ(h1, h2);
    file.Close();
    r.ClearTags(true);
    back.ClearTags(true);
  }
  EXPECT_GE(fws, 40);
  EXPECT_GE(cws, 7);
  EXPECT_EQ(zws, 3);
  EXPECT_TRUE(temp.Files().empty());
}
