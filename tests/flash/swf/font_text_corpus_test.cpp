// The font, text, edit-text and video tags of real movies: each is read into its class and
// written back with the body the file holds.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <memory>
#include <set>

#include "SwfTestSupport.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/TextTags.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

const std::set<uint16_t> kCodes = {10, 11, 13, 33, 37, 48, 60, 61, 62};

struct Found {
  uint16_t code;
  Bytes body;
  std::unique_ptr<SwfTag> tag;
};

// Walks a body of tags, nested sprites included: the file's body of every tag of kCodes, and
// the tag the reader makes of it.
void Walk(const Bytes& movie, uint32_t at, uint32_t end, uint8_t version, std::vector<Found>& found) {
  while (at + 2 <= end) {
    const uint16_t first = static_cast<uint16_t>(movie[at] | movie[at + 1] << 8);
    uint32_t length = first & 0x3F, header = 2;
    if (length == 0x3F && at + 6 <= end)
      length = movie[at + 2] | movie[at + 3] << 8 | movie[at + 4] << 16 | uint32_t(movie[at + 5]) << 24, header = 6;
    const uint16_t code = first >> 6;
    const Bytes tagBytes(movie.begin() + at, movie.begin() + std::min<uint64_t>(end, uint64_t{at} + header + length));
    if (kCodes.count(code)) {
      SwfReader r;
      Load(r, tagBytes, version);
      found.push_back({code, Bytes(tagBytes.begin() + header, tagBytes.end()), std::unique_ptr<SwfTag>(r.ReadNextTag())});
    }
    if (code == 39) Walk(movie, at + header + 4, at + header + length, version, found);
    if (code == 0) break;
    at += header + length;
  }
}

}  // namespace

TEST(FontTextCorpus, TagsReadIntoTheirClassesAndWriteBackTheFilesBody) {
  SKIP_WITHOUT_CORPUS();
  std::set<uint16_t> seen;
  for (auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    const std::string bytes = testsupport::ReadFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    Bytes movie(bytes.begin(), bytes.end());
    if (bytes.compare(0, 3, "CWS") == 0 && movie.size() > 8) {
      // Inflated by zlib itself, so that the readers' own inflation is not what is tested here.
      uLongf size = std::min<uint32_t>(movie[4] | movie[5] << 8 | movie[6] << 16 | uint32_t(movie[7]) << 24, 64u << 20);
      Bytes plain(size);
      if (uncompress(plain.data(), &size, movie.data() + 8, static_cast<uLong>(movie.size() - 8)) != Z_OK) continue;
      plain.resize(size);
      plain.insert(plain.begin(), movie.begin(), movie.begin() + 8);
      movie = plain;
    } else if (bytes.compare(0, 3, "FWS") != 0) {
      continue;
    }
    const uint8_t version = movie[3];
    const uint32_t rectBytes = (5 + 4 * (movie[8] >> 3) + 7) / 8;
    std::vector<Found> found;
    Walk(movie, 8 + rectBytes + 4, static_cast<uint32_t>(movie.size()), version, found);
    for (auto& f : found) {
      SCOPED_TRACE("tag code " + std::to_string(f.code));
      seen.insert(f.code);
      ASSERT_EQ(f.tag->GetTagCode(), f.code);
      EXPECT_EQ(dynamic_cast<RawTag*>(f.tag.get()), nullptr) << "read into its class";
      const Bytes written = Written(*f.tag, version);
      const uint32_t header = (written[0] & 0x3F) == 0x3F ? 6 : 2;
      const Bytes body(written.begin() + header, written.end());
      // An edit text with a font but without layout gains the zero layout block.
      const bool gainsLayout = dynamic_cast<DefineEditTextTag*>(f.tag.get()) && body.size() == f.body.size() + 9;
      if (!gainsLayout) {
        EXPECT_EQ(ToHex(body), ToHex(f.body));
      }
      // Read again: the same tag.
      SwfReader again;
      Load(again, written, version);
      std::unique_ptr<SwfTag> back(again.ReadNextTag());
      EXPECT_EQ(Describe(*back, version), Describe(*f.tag, version));
    }
  }
  for (uint16_t code : kCodes) EXPECT_TRUE(seen.count(code)) << "the corpus holds a tag of code " << code;
}
