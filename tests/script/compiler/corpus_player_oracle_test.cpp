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

struct ExpectedFailure {
  bool compiles;  // false: the script does not compile at all
  const char* reason;
};

// Cases whose compiled script cannot pass, and why. Whether a case is listed here never
// depends on how the original movie fares in the player: a case that does not compile must
// be listed, and a listed case must not pass.
const std::map<std::string, ExpectedFailure>& ExpectedFailures() {
  static const std::map<std::string, ExpectedFailure> failures = {
      // The script leaves the language this compiler reads (see corpus_test.cpp).
      {"add_swf4", {false, "inline bytecode blocks (@PCode)"}},
      {"array_length", {false, "\"var\" in a for..in loop"}},
      {"as1_constructor_v6", {false, "missing semicolon"}},
      {"assetnativeaccessor", {false, "\"var\" in a for..in loop"}},
      {"button_key_events", {false, "missing semicolon"}},
      {"button_keypress_vs_tab", {false, "\"var\" in a for..in loop"}},
      {"define_local_with_paths", {false, "slash path as function name"}},
      {"edittext_drag_select", {false, "missing semicolon"}},
      {"edittext_html_swf8", {false, "strict equality ==="}},
      {"external_interface_escapexml", {false, "typeof without parentheses"}},
      {"external_interface_toxml_array", {false, "typeof without parentheses"}},
      {"focus_keyboard_press", {false, "missing semicolon"}},
      {"focus_mouse_rollout", {false, "missing semicolon"}},
      {"input_dead_keys_windows", {false, "missing semicolon"}},
      {"mcl_events_swf_version", {false, "strict inequality !=="}},
      {"movieclip_gettextsnapshot", {false, "typeof without parentheses"}},
      {"movieclip_invalid_get_bounds_3", {false, "missing semicolon"}},
      {"movieclip_invalid_get_bounds_6", {false, "missing semicolon"}},
      {"movieclip_onconstruct", {false, "throw statement"}},
      {"sandbox_type_remote", {false, "missing semicolon"}},
      {"set_target_2_swf6", {false, "tellTarget block"}},
      {"sound_id3", {false, "typeof without parentheses"}},
      {"string_methods_swfv5", {false, "missing semicolon"}},
      {"swf7_global_funcs", {false, "\"var\" in a for..in loop"}},
      {"tab_ordering_events", {false, "missing semicolon"}},
      {"tab_ordering_properties", {false, "\"var\" in a for..in loop"}},
      {"tab_ordering_tabbable", {false, "\"var\" in a for..in loop"}},
      {"textsnapshot_props_swf6", {false, "typeof without parentheses"}},
      {"virtual_property_recursion_double_swf7", {false, "assignment as a return value"}},
      {"virtual_property_recursion_swf7", {false, "assignment as a return value"}},
      // duplicateMovieClip adds 16384 to the depth, as Flash 5 compiled it; the recorded
      // output comes from a compiler that passes getNextHighestDepth() unchanged.
      {"textsnapshot_available_text", {true, "duplicateMovieClip depth offset by 16384"}},
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

  // Each movie plays until it has traced as many lines as were recorded (and a dozen frames
  // more), or for the most frames the player plays: one that cannot get there (it waits for
  // keys or the mouse, say) then stops after the same frames each time. A movie the player
  // could not play in time is a failure of the run, never a case that merely fails.
  testsupport::PlayerOptions options;
  for (const auto& c : cases) {
    options.counts.resize(c.original + 1, 0);
    options.counts[c.original] = static_cast<int>(c.expected.size());
    if (c.ours != SIZE_MAX) {
      options.counts.resize(c.ours + 1, 0);
      options.counts[c.ours] = static_cast<int>(c.expected.size());
    }
  }
  const auto results = testsupport::RunInPlayer(movies, options);
  ASSERT_EQ(results.size(), movies.size());
  for (const auto& r : results) {
    for (const auto& e : r.errors) {
      EXPECT_TRUE(e.find("timed out after") == std::string::npos && e.find("did not load within") == std::string::npos &&
                  e.find("player harness failed") == std::string::npos)
          << r.movie << ": " << e;
    }
  }

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
      // Judged without the original: it does not compile, or it does not trace as recorded.
      if (!expected->second.compiles) {
        EXPECT_EQ(c.ours, SIZE_MAX) << c.name << " compiles now: remove it from the expected failures";
      }
      EXPECT_FALSE(oursPassed) << c.name << " passes now: remove it from the expected failures";
      continue;
    }
    EXPECT_NE(c.ours, SIZE_MAX) << c.name << " " << detail;
    if (originalPassed) {
      EXPECT_TRUE(oursPassed) << c.name << " " << detail;
    }
  }
  std::printf("[ CORPUS ] the originals pass %d of %zu cases, the compiled scripts %d\n", originalPasses,
              cases.size(), oursPass);
}

}  // namespace
