#include "toolbox/StringTable.h"

#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"

namespace {

using toolbox::StringTable;

std::wstring Value(const StringTable& t, const std::wstring& key) {
  const std::wstring* v = t.Find(key);
  return v ? *v : L"<missing>";
}

TEST(StringTable, ParsesEntriesEscapesAndComments) {
  StringTable t;
  ASSERT_TRUE(t.Parse(
      "\xEF\xBB\xBF/* header\n comment */\n"
      "\"1\" = \"plain\";\n"
      "// line comment \"2\" = \"no\";\n"
      "\"2\"=\"quote \\\" back \\\\ line\\nend\\ttab\";\n"
      "  \"3\"  /* between */ =\n  \"caf\xC3\xA9 \xF0\x9F\x98\x80\" ; \"4\" = \"\";\n"
      "\"1\" = \"replaced\";\n"));
  EXPECT_EQ(t.Size(), 4u);
  EXPECT_EQ(Value(t, L"1"), L"replaced");
  EXPECT_EQ(Value(t, L"2"), L"quote \" back \\ line\nend\ttab");
  EXPECT_EQ(Value(t, L"3"), L"caf\u00E9 \U0001F600");
  EXPECT_EQ(Value(t, L"4"), L"");
  EXPECT_EQ(t.Find(L"5"), nullptr);
}

TEST(StringTable, MalformedPartsAreSkippedAndReported) {
  const struct {
    const char* text;
    size_t entries;
  } cases[] = {
      {"\"1\" = \"a\"\n\"2\" = \"b\";", 1},       // missing ';' loses only its own entry
      {"\"1\" \"a\";\n\"2\" = \"b\";", 1},         // missing '='
      {"\"1\" = \"unterminated\n\"2\" = \"b\";", 1},
      {"garbage\n\"2\" = \"b\";", 1},
      {"\"1\" = \"a\"; /* never closed", 1},
      {"\"1\" = \"a\\", 0},
      {"\"", 0},
  };
  for (const auto& c : cases) {
    StringTable t;
    EXPECT_FALSE(t.Parse(c.text)) << c.text;
    EXPECT_EQ(t.Size(), c.entries) << c.text;
  }
}

TEST(StringTable, TheApplicationsFileIsWellFormed) {
  const std::string folder = toolbox::ResourcesFolder();
  ASSERT_FALSE(folder.empty()) << "no data folder beside the test executable";
  StringTable t;
  EXPECT_TRUE(t.LoadFile(folder + "Localizable.strings"));
  EXPECT_GT(t.Size(), 0u);
  EXPECT_EQ(toolbox::MainStringTable().Size(), t.Size());
  StringTable missing;
  EXPECT_FALSE(missing.LoadFile(folder + "no such file.strings"));
}

TEST(StringTable, LocalizedLookupFallsBack) {
  auto key = toolbox::CreateString(L"10000");
  auto found = toolbox::CopyLocalizedString(key, key);
  ASSERT_TRUE(found);
  EXPECT_NE(found->Text(), L"10000");
  auto absent = toolbox::CreateString(L"no such key");
  EXPECT_EQ(toolbox::CopyLocalizedString(absent, nullptr), absent);
  auto fallback = toolbox::CreateString(L"fallback");
  EXPECT_EQ(toolbox::CopyLocalizedString(absent, fallback), fallback);
  EXPECT_FALSE(toolbox::CopyLocalizedString(nullptr, fallback));
}

}  // namespace
