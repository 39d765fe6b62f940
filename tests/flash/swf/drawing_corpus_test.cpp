// Real movies made by Flash authoring tools, compressed ones after inflation: every shape,
// morph shape, bitmap and button tag is read into its class, written back to the body the
// file holds, and read again to the same tag.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>

#include "SwfTestSupport.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/SwfCompression.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

const std::set<uint16_t> kDrawingCodes = {2, 6, 7, 8, 17, 20, 21, 22, 23, 32, 34, 35, 36, 46};

// The movie's bytes in their uncompressed form.
std::string MovieOf(const std::filesystem::path& path) {
  std::string bytes = testsupport::ReadFile(path);
  if (bytes.compare(0, 3, "CWS") != 0) return bytes;
  std::string out;
  const bool ok = InflateSwfFile(
      PathOf(path), [&](const uint8_t* b, size_t n) { return out.append(reinterpret_cast<const char*>(b), n), true; },
      UINT32_MAX);
  return ok ? out : std::string();
}

// The body behind a tag's header (two or six bytes).
Bytes BodyOf(const Bytes& tag) {
  if (tag.size() < 2) return {};
  const size_t header = (tag[0] & 0x3F) == 0x3F ? 6 : 2;
  return tag.size() >= header ? Bytes(tag.begin() + static_cast<std::ptrdiff_t>(header), tag.end()) : Bytes();
}

}  // namespace

TEST(DrawingCorpus, EveryDrawingTagReadsIntoItsClassAndWritesBackItsBody) {
  SKIP_WITHOUT_CORPUS();
  int seen = 0;
  for (auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    const std::string movie = MovieOf(entry.path());
    if (movie.compare(0, 3, "FWS") != 0) continue;
    SCOPED_TRACE(entry.path().filename().string());
    const Bytes all(movie.begin(), movie.end());
    SwfReader r;
    Load(r, all, 0);
    ASSERT_GT(r.header.Read(r, true), 0u);
    const uint8_t version = r.header.version;
    while (r.GetPosition() < r.GetSize()) {
      const uint32_t start = r.GetPosition();
      std::unique_ptr<SwfTag> tag(r.ReadNextTag());
      const uint16_t code = tag->GetTagCode();
      if (kDrawingCodes.count(code)) {
        ++seen;
        SCOPED_TRACE("tag code " + std::to_string(code) + " at " + std::to_string(start));
        EXPECT_EQ(dynamic_cast<RawTag*>(tag.get()), nullptr);
        EXPECT_EQ(Describe(*tag, version).find(" as read"), std::string::npos) << "every part understood";
        const Bytes body = BodyOf(Bytes(all.begin() + start, all.begin() + r.GetPosition()));
        const Bytes once = Written(*tag, version);
        EXPECT_EQ(ToHex(BodyOf(once)), ToHex(body));
        SwfReader again;
        Load(again, once, version);
        std::unique_ptr<SwfTag> back(again.ReadNextTag());
        EXPECT_EQ(Describe(*back, version), Describe(*tag, version));
        EXPECT_EQ(ToHex(Written(*back, version)), ToHex(once));
      }
      if (code == 0) break;
    }
  }
  EXPECT_GE(seen, 34);
}
