// The media importer registry: extension tables first, then asking each source kind.
#include <memory>
#include <set>

#include "generation/FfmpegMediaSource.h"
#include "generation/MediaSource.h"
#include "support/TestSupport.h"

namespace {

// A source kind that claims a fixed extension in one table and "opens" paths it is told.
class ScriptedSource : public MediaSource {
 public:
  ScriptedSource(std::wstring ext, uint32_t table, std::set<std::wstring> opens)
      : ext_(std::move(ext)), table_(table), opens_(std::move(opens)) {}
  MediaSource* NewInstance() const override { return new ScriptedSource(ext_, table_, opens_); }
  bool ClaimsExtension(uint32_t table, const std::wstring& e) const override {
    return table == table_ && e == ext_;
  }
  bool Open(const PathString& path) override { return opens_.count(path) > 0; }
  void GetSize(int32_t& w, int32_t& h) const override { w = h = 0; }
  bool HasVideo() const override { return false; }
  bool HasSound() const override { return true; }
  uint32_t GetDurationMs() const override { return 0; }
  const std::wstring& Ext() const { return ext_; }

 private:
  std::wstring ext_;
  uint32_t table_;
  std::set<std::wstring> opens_;
};

TEST(MediaImporterRegistry, PicksByExtensionThenByAsking) {
  MediaImporterRegistry registry(7);
  auto* wav = new ScriptedSource(L"wav", 1, {});
  auto* snd = new ScriptedSource(L"snd", 0, {L"/a/noext", L"/a/file.xyz"});
  registry.Register(wav);
  registry.Register(snd);
  struct Case {
    const wchar_t* path;
    uint32_t table;
    const ScriptedSource* expected;
  } cases[] = {
      {L"/a/b.wav", 1, wav},  {L"/a/b.WAV", 1, wav},     {L"/a/b.Wav", 1, wav},
      {L"/a/b.wav", 0, nullptr}, {L"/a/b.snd", 0, snd}, {L"/a/b.snd", 1, nullptr},
      {L"/a/noext", 1, snd},  {L"/a/file.xyz", 0, snd},  {L"/a/other.xyz", 0, nullptr},
      {L"", 1, nullptr},
  };
  for (const Case& c : cases) {
    MediaSource* shared = MediaImporterRegistry::FindSourceForFile(&registry, c.path, false, c.table);
    EXPECT_EQ(shared, c.expected) << c.path << " table " << c.table;
    std::unique_ptr<MediaSource> fresh(
        MediaImporterRegistry::FindSourceForFile(&registry, c.path, true, c.table));
    if (c.expected) {
      ASSERT_TRUE(fresh) << c.path;
      EXPECT_NE(fresh.get(), c.expected);
      EXPECT_EQ(static_cast<ScriptedSource*>(fresh.get())->Ext(), c.expected->Ext());
    } else {
      EXPECT_FALSE(fresh) << c.path;
    }
  }
  EXPECT_EQ(MediaImporterRegistry::FindSourceForFile(nullptr, L"/a/b.wav", true, 1), nullptr);
}

TEST(MediaImporterRegistry, RegistryZeroUsesTheRecommendedTables) {
  MediaImporterRegistry* zero = MediaImporterRegistry::Find(0);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(MediaImporterRegistry::Find(1), nullptr);
  FfmpegMediaSource source;
  for (const wchar_t* e : {L"aif", L"aiff", L"aifc", L"wav", L"mp3", L"m4a"}) {
    EXPECT_TRUE(source.ClaimsExtension(0, e)) << e;
    EXPECT_TRUE(source.ClaimsExtension(1, e)) << e;
  }
  for (const wchar_t* e : {L"mp4", L"mov"}) {
    EXPECT_FALSE(source.ClaimsExtension(0, e)) << e;
    EXPECT_TRUE(source.ClaimsExtension(1, e)) << e;
  }
  EXPECT_FALSE(source.ClaimsExtension(1, L"m3u8"));
  std::unique_ptr<MediaSource> s(MediaImporterRegistry::FindSourceForFile(zero, L"/x/Song.MP3", true, 0));
  EXPECT_TRUE(s);
}

}  // namespace
