// The compiled bytes of every corpus script, for every SWF version with actions, are those the
// compiler made before its speed work (kept in data/corpus_actions.txt), so that no change of
// how it runs changes what it makes. Setting BRIVANE_WRITE_CORPUS_ACTIONS to a file name writes
// today's bytes there instead, to make that data anew on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CodegenTestSupport.h"
#include "support/TestSupport.h"

namespace {

// "<case> <version> <hex of the actions with the End byte>", or "-" for a script that does not
// compile (its message may change; that it fails may not).
std::string CorpusActions() {
  const std::filesystem::path folder = testsupport::CorpusDir() / "avm1";
  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (std::filesystem::is_regular_file(entry.path() / "test.as")) entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  std::string lines;
  for (const auto& path : entries) {
    const std::string script = testsupport::ReadFile(path / "test.as");
    for (int version = 5; version <= 8; ++version) {
      const std::vector<uint8_t> actions = codegentest::CompiledActions(script, version);
      std::string hex = actions.empty() ? "-" : codegentest::Normalize(codegentest::Hex(actions));
      lines += path.filename().string() + ' ' + std::to_string(version) + ' ' + hex + '\n';
    }
  }
  return lines;
}

TEST(CorpusBytes, EveryScriptCompilesToTheRecordedBytes) {
  SKIP_WITHOUT_CORPUS();
  const std::string today = CorpusActions();
  if (const char* out = std::getenv("BRIVANE_WRITE_CORPUS_ACTIONS")) {
    testsupport::WriteFile(out, today);
    GTEST_SKIP() << "wrote " << out;
  }
  const std::string recorded =
      testsupport::ReadFile(testsupport::SourceDir() / "tests/script/compiler/data/corpus_actions.txt");
  ASSERT_FALSE(recorded.empty());
  std::istringstream want(recorded), got(today);
  std::string expected, actual;
  int compared = 0;
  while (std::getline(want, expected)) {
    ASSERT_TRUE(std::getline(got, actual)) << "no longer compiled: " << expected.substr(0, 60);
    // Only the case and version, not kilobytes of hex, in the message.
    EXPECT_TRUE(actual == expected) << expected.substr(0, expected.find(' ', expected.find(' ') + 1));
    ++compared;
  }
  EXPECT_FALSE(std::getline(got, actual)) << "a case more than recorded: " << actual.substr(0, 60);
  EXPECT_GT(compared, 0);
}

}  // namespace
