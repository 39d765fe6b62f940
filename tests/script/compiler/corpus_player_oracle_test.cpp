// The corpus check: every ActionScript test case's movie, with its first-frame DoAction
// replaced by the one this compiler makes from test.as (same SWF version), must trace what a
// real Flash Player printed wherever the original movie does so in the browser player.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CodegenTestSupport.h"
#include "support/Player.h"

namespace {

// Cases whose compiled script cannot pass, and why.
const std::map<std::string, std::string>& ExpectedFailures() {
  static const std::map<std::string, std::string> failures = {
      // The script leaves the language this compiler reads (see corpus_test.cpp).
      {"add_swf4", "inline bytecode blocks (@PCode)"},
      {"array_length", "\"var\" in a for..in loop"},
      {"as1_constructor_v6", "missing semicolon"},
      {"assetnativeaccessor", "\"var\" in a for..in loop"},
      {"define_local_with_paths", "slash path as function name"},
      {"edittext_html_swf8", "strict equality ==="},
      {"external_interface_escapexml", "typeof without parentheses"},
      {"external_interface_toxml_array", "typeof without parentheses"},
      {"movieclip_gettextsnapshot", "typeof without parentheses"},
      {"set_target_2_swf6", "tellTarget block"},
      {"string_methods_swfv5", "missing semicolon"},
      {"swf7_global_funcs", "\"var\" in a for..in loop"},
      {"tab_ordering_properties", "\"var\" in a for..in loop"},
      {"textsnapshot_props_swf6", "typeof without parentheses"},
      {"virtual_property_recursion_double_swf7", "assignment as a return value"},
      {"virtual_property_recursion_swf7", "assignment as a return value"},
      // duplicateMovieClip adds 16384 to the depth, as Flash 5 compiled it; the recorded
      // output comes from a compiler that passes getNextHighestDepth() unchanged.
      {"textsnapshot_available_text", "duplicateMovieClip depth offset by 16384"},
  };
  return failures;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> Trimmed(std::vector<std::string> lines) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The movie uncompressed: a "CWS" movie's body is inflated by python3's zlib.
std::string Uncompressed(const std::filesystem::path& swf, const std::filesystem::path& out) {
  const std::string bytes = testsupport::ReadFile(swf);
  if (bytes.compare(0, 3, "CWS") != 0) return bytes;
  int status = 0;
  testsupport::Python("import zlib\nd = open(r'''" + swf.string() + "''', 'rb').read()\n"
                      "open(r'''" + out.string() + "''', 'wb').write(b'F' + d[1:8] + zlib.decompress(d[8:]))\n",
                      &status);
  if (status != 0) return std::string();
  return testsupport::ReadFile(out);
}

TEST(CorpusPlayer, CompiledScriptsTraceLikeTheOriginals) {
  SKIP_WITHOUT_CORPUS();
  SKIP_WITHOUT_PLAYER();
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  const std::filesystem::path folder = testsupport::CorpusDir() / "avm1";
  testsupport::ScratchDir dir;

  struct Case {
    std::string name;
    std::vector<std::string> expected;
    std::string compileError;
    size_t original = 0, ours = SIZE_MAX;
  };
  std::vector<Case> cases;
  std::vector<std::filesystem::path> movies;
  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  for (const auto& path : entries) {
    if (!std::filesystem::is_regular_file(path / "test.swf")) continue;
    Case c;
    c.name = path.filename().string();
    c.expected = Lines(testsupport::ReadFile(path / "output.txt"));
    const std::string movie = Uncompressed(path / "test.swf", dir / (c.name + ".fws"));
    ASSERT_GE(movie.size(), 8u) << c.name;
    const int version = static_cast<uint8_t>(movie[3]);
    c.original = movies.size();
    movies.push_back(path / "test.swf");
    const auto actions = codegentest::CompiledActions(testsupport::ReadFile(path / "test.as"), version, &c.compileError);
    if (!actions.empty()) {
      const std::string replaced = codegentest::ReplaceFirstDoAction(movie, actions);
      ASSERT_FALSE(replaced.empty()) << c.name << ": no first-frame DoAction";
      c.ours = movies.size();
      movies.push_back(dir / (c.name + ".swf"));
      testsupport::WriteFile(movies.back(), replaced);
    }
    cases.push_back(std::move(c));
  }
  ASSERT_FALSE(cases.empty());

  testsupport::PlayerOptions options;
  options.timeMs = 6000;
  options.quietMs = 1500;
  const auto results = testsupport::RunInPlayer(movies, options);
  ASSERT_EQ(results.size(), movies.size());

  int originalPasses = 0, oursPass = 0;
  for (const auto& c : cases) {
    const bool originalPassed = Trimmed(results[c.original].traces) == c.expected;
    const bool oursPassed = c.ours != SIZE_MAX && Trimmed(results[c.ours].traces) == c.expected;
    originalPasses += originalPassed;
    oursPass += oursPassed;
    const auto expected = ExpectedFailures().find(c.name);
    std::string detail = c.ours == SIZE_MAX ? "does not compile: " + c.compileError : "traced:";
    if (c.ours != SIZE_MAX) {
      for (const auto& t : results[c.ours].traces) detail += "\n  " + t;
    }
    std::printf("[ CORPUS ] %-50s original %s, compiled %s\n", c.name.c_str(), originalPassed ? "passes" : "fails",
                oursPassed ? "passes" : "fails");
    if (expected != ExpectedFailures().end()) {
      EXPECT_FALSE(oursPassed && originalPassed) << c.name << " passes now: remove it from the expected failures";
      continue;
    }
    if (originalPassed) {
      EXPECT_TRUE(oursPassed) << c.name << " " << detail;
    }
  }
  std::printf("[ CORPUS ] the originals pass %d of %zu cases, the compiled scripts %d\n", originalPasses,
              cases.size(), oursPass);
}

}  // namespace
