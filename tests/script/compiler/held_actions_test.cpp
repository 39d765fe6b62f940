// The compiler's entry returns its code held as bytes, read into actions only when they are
// asked for. Writing the held bytes must give exactly what reading them first gives, and the
// actions read must be those an eager read of the same tag body gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/ScriptGenerator.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "script/compiler/CompileScript.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

namespace {

std::vector<uint8_t> Written(DoActionTag& tag) {
  SwfBitWriter writer(tag.version);
  tag.Write(writer);
  return writer.GetBuffer();
}

TEST(HeldActions, WrittenHeldOrReadGiveTheSameBytesAndActions) {
  struct Case {
    std::string name;
    std::string script;
  };
  std::vector<Case> cases = {{"generated 300", scriptgen::Script(300)}, {"generated 2000", scriptgen::Script(2000)}};
  if (!testsupport::CorpusDir().empty()) {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() / "avm1")) {
      if (std::filesystem::is_regular_file(entry.path() / "test.as")) entries.push_back(entry.path());
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& path : entries) cases.push_back({path.filename().string(), testsupport::ReadFile(path / "test.as")});
  }
  int held = 0;
  for (const auto& c : cases) {
    for (int version = 5; version <= 8; ++version) {
      SCOPED_TRACE(c.name + " at version " + std::to_string(version));
      std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(toolbox::Utf8ToWide(c.script), version, nullptr));
      if (!tag || tag->actions.empty()) continue;
      const std::vector<uint8_t> code = tag->actions.GetEncoded();
      ASSERT_FALSE(code.empty()) << "the compiled code is held";
      ++held;
      const std::vector<uint8_t> heldBytes = Written(*tag);

      SwfReader reader;
      reader.LoadTagBody(code, static_cast<uint8_t>(version));
      DoActionTag eager(static_cast<uint8_t>(version));
      eager.Read(reader);

      // The first use reads the actions and lets the bytes go.
      ASSERT_EQ(tag->actions.size(), eager.actions.size());
      EXPECT_TRUE(tag->actions.GetEncoded().empty());
      // Where each action stands in its list, for comparing what the branches span.
      std::unordered_map<const SwfAction*, size_t> lazyAt, eagerAt;
      for (size_t i = 0; i < eager.actions.size(); ++i) {
        lazyAt[tag->actions[i].get()] = i;
        eagerAt[eager.actions[i].get()] = i;
      }
      for (size_t i = 0; i < eager.actions.size(); ++i) {
        const SwfAction& a = *tag->actions[i];
        const SwfAction& b = *eager.actions[i];
        ASSERT_EQ(a.GetActionCode(), b.GetActionCode()) << i;
        ASSERT_EQ(a.version, b.version) << i;
        if (const auto* branch = dynamic_cast<const SwfBranchAction*>(&a)) {
          const auto& other = static_cast<const SwfBranchAction&>(b);
          ASSERT_EQ(branch->span.size(), other.span.size()) << i;
          for (size_t j = 0; j < branch->span.size(); ++j) {
            ASSERT_TRUE(lazyAt.count(branch->span[j])) << i;
            ASSERT_EQ(lazyAt[branch->span[j]], eagerAt[other.span[j]]) << i;
          }
        }
      }
      EXPECT_EQ(tag->trailingBytes, eager.trailingBytes);
      EXPECT_EQ(tag->autoBranchOffsetsOff, eager.autoBranchOffsetsOff);
      EXPECT_TRUE(Written(*tag) == heldBytes) << "written after reading differs from the held bytes";
      EXPECT_TRUE(Written(eager) == heldBytes);
    }
  }
  EXPECT_GE(held, 8);
}

}  // namespace
