// The path rules checked against python3's os.path.normpath and os.path.relpath on a
// generated table of cases.
#include <filesystem>
#include <random>
#include <sstream>

#include "framework/platform/PathLayer.h"
#include "path_test_support.h"
#include "support/TestSupport.h"

using pathtest::U;
using pathtest::W;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string RandomPath(std::mt19937& rng, const std::vector<std::string>& parts, bool mixSeparators) {
  std::string p;
  const int count = 1 + static_cast<int>(rng() % 5);
  for (int i = 0; i < count; ++i) {
    if (i) p += mixSeparators && rng() % 4 == 0 ? (rng() % 2 ? "\\" : "//") : "/";
    p += parts[rng() % parts.size()];
  }
  if (rng() % 5 == 0) p += "/";
  return p;
}

TEST(PathOracle, NormalizeAgreesWithNormpath) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  ScratchDir dir;
  const std::string root = fs::canonical(dir.path()).string();
  for (const char* folder : {"a/b/c", "a/c", "b"}) fs::create_directories(root + "/" + folder);
  testsupport::WriteFile(root + "/a/b/file.mp3", "x");
  const std::string base = root + "/a/b/doc.bva";

  std::mt19937 rng(20240611);
  const std::vector<std::string> parts = {"a", "b", "c", "..", ".", "file.mp3", "new"};
  std::vector<std::string> stored;
  for (int i = 0; i < 400; ++i) stored.push_back(RandomPath(rng, parts, true));
  std::string table;
  for (const auto& s : stored) table += s + "\n";
  testsupport::WriteFile(dir / "cases.txt", table);

  const std::string out = testsupport::Python(
      "import os\n"
      "base = " "'" + base + "'\n"
      "for s in open('" + dir.str() + "/cases.txt').read().split('\\n')[:-1]:\n"
      "    s = s.replace('\\\\', '/')\n"
      "    r = os.path.normpath(os.path.join(os.path.dirname(base), s))\n"
      "    if os.path.isdir(r) and r != '/': r += '/'\n"
      "    print(r)\n");
  const auto expected = Lines(out);
  ASSERT_EQ(expected.size(), stored.size()) << out;
  for (size_t i = 0; i < stored.size(); ++i) {
    PathString got;
    NormalizePath(got, W(stored[i]), W(base));
    EXPECT_EQ(U(got), expected[i]) << "stored path: " << stored[i];
  }
}

TEST(PathOracle, RelativeAgreesWithRelpath) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  std::mt19937 rng(77);
  const std::vector<std::string> parts = {"a", "b", "c", "d"};
  std::vector<std::pair<std::string, std::string>> cases;
  // Targets are files (names no folder has) or folders written with their trailing '/'.
  const std::vector<std::string> files = {"x.mp3", "y.swf"};
  for (int i = 0; i < 400; ++i) {
    std::string base = "/" + RandomPath(rng, parts, false);
    if (base.back() != '/') base += "/";
    std::string target = "/" + RandomPath(rng, parts, false);
    if (rng() % 3 == 0) target = base + RandomPath(rng, parts, false);
    if (rng() % 4 == 0) target = base;
    if (target.back() != '/') target += "/";
    if (rng() % 2) target += files[rng() % files.size()];
    cases.emplace_back(base + "doc.bva", target);
  }
  std::string table;
  for (const auto& [base, target] : cases) table += base + "\t" + target + "\n";
  ScratchDir dir;
  testsupport::WriteFile(dir / "cases.txt", table);
  // The system writes "./" before a path that does not climb, as documents expect.
  const std::string out = testsupport::Python(
      "import os\n"
      "for line in open('" + dir.str() + "/cases.txt').read().split('\\n')[:-1]:\n"
      "    base, target = line.split('\\t')\n"
      "    r = os.path.relpath(target, os.path.dirname(base))\n"
      "    if r != '.' and r != '..' and not r.startswith('../'): r = './' + r\n"
      "    print(r)\n");
  const auto expected = Lines(out);
  ASSERT_EQ(expected.size(), cases.size()) << out;
  for (size_t i = 0; i < cases.size(); ++i) {
    PathString got;
    MakeRelativePath(got, W(cases[i].first), W(cases[i].second));
    EXPECT_EQ(U(got), expected[i]) << cases[i].first << " -> " << cases[i].second;
  }
}

}  // namespace
