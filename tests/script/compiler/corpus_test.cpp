// Every ActionScript test script of the corpus either parses or fails where it leaves the
// language this compiler reads, with the error on the line where it does.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "script/compiler/ScriptCompiler.h"
#include "support/TestSupport.h"

namespace {

struct ExpectedFailure {
  int code;
  int line;  // of the error record
  const char* reason;
};

// Scripts of the corpus that do not parse, and why.
const std::map<std::string, ExpectedFailure>& ExpectedFailures() {
  static const std::map<std::string, ExpectedFailure> failures = {
      {"add_swf4", {kScriptErrorStream, 13, "inline bytecode blocks (@PCode)"}},
      {"array_length", {kScriptErrorSyntax, 3, "\"var\" in a for..in loop"}},
      {"as1_constructor_v6", {kScriptErrorSyntax, 6, "missing semicolon on line 5"}},
      {"assetnativeaccessor", {kScriptErrorSyntax, 3, "\"var\" in a for..in loop"}},
      {"button_key_events", {kScriptErrorSyntax, 3, "missing semicolon on line 2"}},
      {"button_keypress_vs_tab", {kScriptErrorSyntax, 27, "\"var\" in a for..in loop"}},
      {"define_local_with_paths", {kScriptErrorSyntax, 4, "slash path as function name"}},
      {"edittext_drag_select", {kScriptErrorSyntax, 4, "missing semicolon on line 3"}},
      {"edittext_html_swf8", {kScriptErrorSyntax, 18, "strict equality ==="}},
      {"external_interface_escapexml", {kScriptErrorSyntax, 3, "typeof without parentheses"}},
      {"external_interface_toxml_array", {kScriptErrorSyntax, 2, "typeof without parentheses"}},
      {"focus_keyboard_press", {kScriptErrorSyntax, 20, "missing semicolon on line 19"}},
      {"focus_mouse_rollout", {kScriptErrorSyntax, 9, "missing semicolon on line 8"}},
      {"input_dead_keys_windows", {kScriptErrorSyntax, 11, "missing semicolon on line 10"}},
      {"mcl_events_swf_version", {kScriptErrorSyntax, 7, "strict inequality !=="}},
      {"movieclip_gettextsnapshot", {kScriptErrorSyntax, 7, "typeof without parentheses"}},
      {"movieclip_invalid_get_bounds_3", {kScriptErrorSyntax, 43, "missing semicolon on line 42"}},
      {"movieclip_invalid_get_bounds_6", {kScriptErrorSyntax, 43, "missing semicolon on line 42"}},
      {"movieclip_onconstruct", {kScriptErrorSyntax, 3, "throw statement"}},
      {"sandbox_type_remote", {kScriptErrorSyntax, 10, "missing semicolon on line 9"}},
      {"set_target_2_swf6", {kScriptErrorSyntax, 24, "tellTarget block"}},
      {"sound_id3", {kScriptErrorSyntax, 3, "typeof without parentheses"}},
      {"string_methods_swfv5", {kScriptErrorSyntax, 10, "missing semicolon on line 9"}},
      {"swf7_global_funcs", {kScriptErrorSyntax, 3, "\"var\" in a for..in loop"}},
      {"tab_ordering_events", {kScriptErrorSyntax, 39, "missing semicolon on line 38"}},
      {"tab_ordering_properties", {kScriptErrorSyntax, 5, "\"var\" in a for..in loop"}},
      {"tab_ordering_tabbable", {kScriptErrorSyntax, 43, "\"var\" in a for..in loop"}},
      {"textsnapshot_props_swf6", {kScriptErrorSyntax, 4, "typeof without parentheses"}},
      {"virtual_property_recursion_double_swf7",
       {kScriptErrorSyntax, 8, "assignment as a return value"}},
      {"virtual_property_recursion_swf7", {kScriptErrorSyntax, 8, "assignment as a return value"}},
  };
  return failures;
}

// The text of one line of a file, counting line feeds.
std::string SourceLine(const std::string& text, int line) {
  size_t start = 0;
  for (int i = 1; i < line && start != std::string::npos; ++i) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos) return std::string();
  const size_t end = text.find('\n', start);
  std::string result = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!result.empty() && result.back() == '\r') result.pop_back();
  return result;
}

TEST(Corpus, TestScriptsParseOrFailWhereExpected) {
  SKIP_WITHOUT_CORPUS();
  const std::filesystem::path folder = testsupport::CorpusDir() / "avm1";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::filesystem::path script = entry.path() / "test.as";
    if (!std::filesystem::is_regular_file(script)) continue;
    ++seen;
    const std::string name = entry.path().filename().string();
    const std::string text = testsupport::ReadFile(script);
    ScriptCompiler compiler;
    std::unique_ptr<ScriptNode> root(compiler.Parse(text.c_str()));
    const auto expected = ExpectedFailures().find(name);
    if (expected == ExpectedFailures().end()) {
      EXPECT_NE(root, nullptr) << name << ": " << compiler.GetErrorMessage();
      continue;
    }
    const ExpectedFailure& failure = expected->second;
    EXPECT_EQ(root, nullptr) << name << " was expected to fail: " << failure.reason;
    EXPECT_EQ(compiler.GetErrorCode(), failure.code) << name << ": " << compiler.GetErrorMessage();
    EXPECT_EQ(compiler.GetErrorLine(), failure.line) << name << ": " << compiler.GetErrorMessage();
    if (failure.code == kScriptErrorSyntax) {
      EXPECT_STREQ(compiler.GetErrorFile(), "Main") << name;
      // The recorded line text is that source line as the preprocessor passed it on.
      const std::string source = SourceLine(text, failure.line);
      const std::string recorded = compiler.GetErrorLineText();
      EXPECT_FALSE(recorded.empty()) << name;
      EXPECT_NE(source.find(recorded.substr(0, recorded.find("//"))), std::string::npos)
          << name << ": recorded \"" << recorded << "\" for \"" << source << "\"";
    }
  }
  EXPECT_GT(seen, 0);
}

}  // namespace
