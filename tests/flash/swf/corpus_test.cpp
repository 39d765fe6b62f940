// Real movies made by other tools: every tag is read, written and read again to the same
// tag; tags without a class of their own keep their bodies byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "SwfTestSupport.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

struct ReadTag {
  std::unique_ptr<SwfTag> tag;
  Bytes body;  // the body bytes in the file
};

std::vector<ReadTag> ReadMovie(const std::string& bytes, SwfReader& r) {
  Load(r, Bytes(bytes.begin(), bytes.end()), 0);
  std::vector<ReadTag> tags;
  if (r.header.Read(r, true) == 0) return tags;
  const Bytes all(bytes.begin(), bytes.end());
  while (r.GetPosition() < r.GetSize()) {
    const uint32_t start = r.GetPosition();
    ReadTag t;
    t.tag.reset(r.ReadNextTag());
    // The body as the file holds it: behind the two or six header bytes.
    const uint16_t first = static_cast<uint16_t>(all[start] | all[start + 1] << 8);
    const uint32_t bodyStart = start + ((first & 0x3F) == 0x3F ? 6 : 2);
    if (bodyStart <= r.GetPosition()) t.body.assign(all.begin() + bodyStart, all.begin() + r.GetPosition());
    const bool end = t.tag->GetTagCode() == 0;
    tags.push_back(std::move(t));
    if (end) break;
  }
  return tags;
}

}  // namespace

TEST(SwfCorpus, EveryTagRoundTrips) {
  SKIP_WITHOUT_CORPUS();
  int movies = 0, tagsSeen = 0;
  for (auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "swf")) {
    const std::string bytes = testsupport::ReadFile(entry.path());
    if (bytes.compare(0, 3, "FWS") != 0) continue;  // compressed movies are read elsewhere
    SCOPED_TRACE(entry.path().filename().string());
    SwfReader r;
    auto tags = ReadMovie(bytes, r);
    ASSERT_FALSE(tags.empty());
    EXPECT_EQ(tags.back().tag->GetTagCode(), 0) << "the movie ends with its End tag";
    const uint8_t version = r.header.version;
    ++movies;
    for (auto& t : tags) {
      ++tagsSeen;
      SCOPED_TRACE("tag code " + std::to_string(t.tag->GetTagCode()));
      if (auto* raw = dynamic_cast<RawTag*>(t.tag.get())) {
        EXPECT_EQ(ToHex(raw->body), ToHex(t.body));
      }
      // Written, read again and written again: the same tag and the same bytes.
      const Bytes once = Written(*t.tag, version);
      SwfReader again;
      Load(again, once, version);
      std::unique_ptr<SwfTag> back(again.ReadNextTag());
      EXPECT_EQ(again.GetPosition(), once.size());
      // An empty DoAction is written as nothing at all, so a sprite loses its empty ones.
      std::string expected = Describe(*t.tag, version);
      for (size_t at; (at = expected.find(" <doaction>")) != std::string::npos;) expected.erase(at, 11);
      EXPECT_EQ(Describe(*back, version), expected);
      EXPECT_EQ(ToHex(Written(*back, version)), ToHex(once));
    }
  }
  EXPECT_GT(movies, 20);
  EXPECT_GT(tagsSeen, 100);
}
