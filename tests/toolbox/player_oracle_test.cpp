// Checks the browser player harness itself against a real movie whose traces a Flash
// Player recorded, so that the movie-writing tests can trust it.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/Player.h"

TEST(BrowserPlayer, ReplaysARecordedMovie) {
  SKIP_WITHOUT_CORPUS();
  SKIP_WITHOUT_PLAYER();
  const auto dir = testsupport::CorpusDir() / "avm1/array_length";
  const std::string expected = testsupport::ReadFile(dir / "output.txt");
  testsupport::PlayerOptions options;
  options.count = static_cast<int>(std::count(expected.begin(), expected.end(), '\n'));
  auto results = testsupport::RunInPlayer({dir / "test.swf"}, options);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].errors.empty()) << results[0].errors[0];
  EXPECT_EQ(results[0].meta["swfVersion"], "7");
  std::string got;
  for (const auto& t : results[0].traces) got += t + "\n";
  EXPECT_EQ(got, expected);
}
