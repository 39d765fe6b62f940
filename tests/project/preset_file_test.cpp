// Preset files and list 0: writing, loading, applying, file names, refusals, and deleting
// a preset that jobs hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/platform/WideText.h"
#include "job_xml_support.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::wstring W(const fs::path& p) { return FromNativeString(p.string()); }
fs::path FromWide(const std::wstring& w) { return fs::path(ToNativeString(w)); }

// List 0 as the application fills it, with its support folder under the scratch folder.
class PresetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NumberedText(0);  // the resources folder
    setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
    DeleteAllPresetLists();
    list_ = SetUpPresetList(folder_);
    ASSERT_TRUE(list_);
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    DeleteAllPresetLists();
    unsetenv("XDG_DATA_HOME");
  }
  Preset* Save(ProjectDocument& doc, const std::wstring& name, int bitRate) {
    Preset filled(L"", 0);
    filled.settings.audio.SetBitRate(bitRate);
    filled.name = name;
    PathString file;
    if (doc.CheckPresetName(name, folder_, file) != 0) return nullptr;
    return doc.SaveUserPreset(filled, file);
  }

  testsupport::ScratchDir dir_;
  PathString folder_;
  PresetList* list_ = nullptr;
};

TEST_F(PresetFileTest, ListZeroHoldsTheBuiltInsAndAppliesThemWithoutADeparture) {
  ASSERT_EQ(list_->presets.size(), 8u);
  EXPECT_EQ(list_->current, list_->PresetAt(0));
  EXPECT_EQ(list_->PresetAt(6)->name, NumberedText(1078));
  EXPECT_EQ(list_->PresetAt(6)->settings.video.width, 133);
  EXPECT_EQ(list_->PresetAt(6)->settings.video.height, 100);
  for (bool video : {false, true}) {
    Job job(nullptr);
    job.SetInputFile(AddFakeMedia(video ? L"video" : L"sound", {640, 480, video, true, 9000}));
    for (int i = 1; i < 8; ++i) {
      SCOPED_TRACE(i);
      ResetChangeTracking();
      job.ApplyPreset(list_->PresetAt(i), false);
      EXPECT_FALSE(PresetDiffersFlag);
      EXPECT_EQ(job.audio.bit_rate, list_->PresetAt(i)->settings.audio.bit_rate);
    }
  }
}

TEST_F(PresetFileTest, AUserPresetIsWrittenListedReadAndApplied) {
  ProjectDocument doc;
  Job* job = doc.jobs.AddJobForFile(AddFakeMedia(L"a", {0, 0, false, true, 9000}));
  ASSERT_TRUE(job);
  doc.jobs.SelectJob(job);
  Preset filled(L"", 0);
  Job& s = filled.settings;
  s.SetMovieSize(500, 400);
  s.SetFrameRate(29.97f);
  s.SetExportFormat(kExportFlv);
  s.video.SetCodec(1);
  s.video.SetKeyframeType(0);
  s.audio.SetSampleRate(22050);
  s.audio.SetChannels(1);
  s.image.SetImageType(2);
  s.movie.SetLoopMode(2);
  s.movie.SetClickAction(1);
  s.movie.SetClickUrl(L"http://example.com/?a=1&b=2");
  filled.name = L"Mine <&>";
  PathString file;
  ASSERT_EQ(doc.CheckPresetName(filled.name, folder_, file), 0);
  Preset* loaded = doc.SaveUserPreset(filled, file);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->kind, 1u);
  EXPECT_EQ(loaded->name, L"Mine <&>");
  EXPECT_EQ(loaded->file_path, file);
  EXPECT_EQ(job->preset, loaded);
  EXPECT_EQ(job->swf_width, 500u);
  EXPECT_EQ(job->export_format, kExportFlv);
  EXPECT_EQ(job->audio.sample_rate, 22050);
  const Job& r = loaded->settings;
  EXPECT_EQ(r.swf_fps, 29.97f);
  EXPECT_EQ(r.video.codec, 1u);
  EXPECT_EQ(r.video.keyframe_type, 0u);
  EXPECT_EQ(r.image.image_type, 2u);
  EXPECT_EQ(r.movie.loop, 2u);
  EXPECT_EQ(r.movie.click_url, L"http://example.com/?a=1&b=2");

  const std::string bytes = testsupport::ReadFile(FromWide(file));
  EXPECT_EQ(bytes.rfind("<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane_preset name=\"Mine &lt;&amp;&gt;\">\n<doc width=\"500\" height=\"400\" match_vid_dim=\"false\" fps=\"29.97\" ", 0), 0u);
  for (const char* part : {"\"jpeg_import\" duration=\"2000\" />\n<swf ", " loop=\"forever\" loop_count=\"1\" >\n",
                           "</swf>\n</brivane_preset>\n\n</xml>\n", "<audio codec=\"mp3\" sample_rate=\"22050\" bit_rate=\"128\" channels=\"stereo\" />\n"})
    EXPECT_NE(bytes.find(part), std::string::npos) << part;

  // A fresh list 0 lists it after the built-ins.
  DeleteAllPresetLists();
  list_ = SetUpPresetList(folder_);
  ASSERT_EQ(list_->presets.size(), 9u);
  EXPECT_EQ(list_->PresetAt(8)->name, L"Mine <&>");

  // Its player comes back by the name as it reads back, without its line feed.
  filled.settings.SetPlayer(LibraryZeroPlayer(L"lf\nskin", {4000, 400, {{L"ztaVarLf", L"1"}}})->Clone());
  filled.name = L"Skinned";
  ASSERT_EQ(doc.CheckPresetName(filled.name, folder_, file), 0);
  loaded = doc.SaveUserPreset(filled, file);
  ASSERT_TRUE(loaded && loaded->settings.Player());
  EXPECT_EQ(loaded->settings.Player()->Name(), L"lf\nskin");
}

TEST_F(PresetFileTest, BadFilesAddNothingAndRefusedValuesAreDropped) {
  const fs::path f = FromWide(folder_);
  testsupport::WriteFile(f / "truncated.xml", "<xml version=\"1.0\">\n<brivane_preset name=\"T\">\n<doc width=\"5");
  testsupport::WriteFile(f / "noise.xml", "not xml at all");
  testsupport::WriteFile(f / "wrong.xml", "<xml>\n<brivane name=\"W\" />\n</xml>\n");
  testsupport::WriteFile(f / "range.xml",
                         "<xml>\n<brivane_preset name=\"R\">\n<doc width=\"0\" height=\"20000\" fps=\"500\" "
                         "export_format=\"FLV\" />\n<video codec=\"Screen\" quality=\"-5\" video_fps=\"nan\" />\n"
                         "<audio codec=\"adpcm\" bit_rate=\"96\" />\n<swf LOOP=\"x\" loop=\"FOREVER\" />\n"
                         "</brivane_preset>\n<brivane_preset name=\"Second\" />\n</xml>\n");
  Preset* last = list_->LoadFile(W(f / "range.xml"));
  ASSERT_TRUE(last);
  EXPECT_EQ(last->name, L"Second");
  Preset* r = list_->FindByName(L"R");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->settings.swf_width, 320u);
  EXPECT_EQ(r->settings.swf_fps, 12.0f);
  EXPECT_EQ(r->settings.export_format, kExportSwf);
  EXPECT_EQ(r->settings.video.codec, 0u);
  EXPECT_EQ(r->settings.video.avg_quality, 80u);
  EXPECT_EQ(r->settings.audio.bit_rate, 96);
  EXPECT_EQ(r->settings.movie.loop, 2u);
  const size_t before = list_->presets.size();
  for (const char* name : {"truncated.xml", "noise.xml", "wrong.xml", "absent.xml"})
    EXPECT_EQ(list_->LoadFile(W(f / name)), nullptr) << name;
  EXPECT_EQ(list_->presets.size(), before);
}

// A named pipe is no document: opened as a project it is refused at once, and in the
// presets folder it is skipped, where it used to stop the application before its window.
TEST_F(PresetFileTest, NamedPipesAreRefusedAtOnce) {
  const fs::path f = FromWide(folder_);
  ASSERT_EQ(mkfifo((f / "pipe.xml").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir_ / "pipe.bva").c_str(), 0600), 0);
  ProjectDocument doc;
  ASSERT_TRUE(Save(doc, L"Kept", 96));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(20);
    PathString folder;
    PresetList* list = SetUpPresetList(folder);
    const bool presetsRead = list && list->FindByName(L"Kept") && list->presets.size() == 9;
    AlertRecorder alerts;
    const bool refused = !doc.Open(W(dir_ / "pipe.bva")) && alerts.messages.size() == 1 &&
                         alerts.messages[0] == NumberedText(kCannotReadProjectText);
    _exit((presetsRead ? 0 : 1) | (refused ? 0 : 2));
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "a pipe was waited for";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PresetFileTest, NamesBecomeFileNamesInsideThePresetsFolder) {
  ProjectDocument doc;
  const std::wstring longName(256, L'\u6f22');
  const std::wstring names[] = {L"a/b", L"../x", L"v1.5", L"v1.7", L".hidden", longName};
  for (const auto& name : names) EXPECT_TRUE(Save(doc, name, 64)) << ToNativeString(name);
  size_t files = 0;
  for (auto& e : fs::directory_iterator(FromWide(folder_))) files += e.path().filename().string()[0] != '.';
  EXPECT_EQ(files, 6u);
  EXPECT_FALSE(fs::exists(FromWide(folder_) / ".." / "x.xml"));
  DeleteAllPresetLists();
  list_ = SetUpPresetList(folder_);
  for (const auto& name : names) EXPECT_TRUE(list_->FindByName(name)) << ToNativeString(name);
}

TEST_F(PresetFileTest, RefusedNamesAndFailedSaves) {
  ProjectDocument doc;
  PathString file;
  EXPECT_EQ(doc.CheckPresetName(NumberedText(1078), folder_, file), kPresetExistsText);
  EXPECT_EQ(doc.CheckPresetName(NumberedText(1066), folder_, file), kPresetExistsText);
  ASSERT_TRUE(Save(doc, L"Once", 64));
  EXPECT_EQ(doc.CheckPresetName(L"Once", folder_, file), kPresetExistsText);
  EXPECT_EQ(doc.CheckPresetName(L"On\nce", folder_, file), kPresetExistsText);  // reads as "Once"
  EXPECT_TRUE(file.empty());

  // The presets folder replaced by a plain file: one error, nothing added.
  fs::remove_all(FromWide(folder_));
  testsupport::WriteFile(FromWide(folder_).parent_path(), "");
  const size_t before = list_->presets.size();
  AlertRecorder alerts;
  Preset filled(L"Lost", 0);
  EXPECT_EQ(doc.SaveUserPreset(filled, folder_ + L"Lost.xml"), nullptr);
  ASSERT_EQ(alerts.messages.size(), 1u);
  EXPECT_EQ(alerts.messages[0], NumberedText(103));
  EXPECT_EQ(list_->presets.size(), before);
}

TEST_F(PresetFileTest, DeletingAPresetThatJobsHoldMovesThemAllOff) {
  ProjectDocument doc;
  for (int i = 0; i < 3; ++i) doc.jobs.AddJobForFile(AddFakeMedia(L"j" + std::to_wstring(i), {0, 0, false, true, 9000}));
  doc.SetBatchMode(true);
  Preset* p = Save(doc, L"Shared", 96);
  ASSERT_TRUE(p);
  doc.ChoosePreset(p);
  for (auto& j : doc.jobs.jobs) ASSERT_EQ(j->preset, p);
  ASSERT_TRUE(doc.DeleteUserPreset(p));
  EXPECT_TRUE(doc.Edit([](Job& j) { j.audio.SetBitRate(64); }));
  testsupport::ScratchDir out;
  ASSERT_TRUE(doc.Save(W(out / "p.bva")));
  const std::string bytes = testsupport::ReadFile(out / "p.bva");
  size_t named = 0;
  for (size_t at = 0; (at = bytes.find("preset=\"No Preset\"", at)) != std::string::npos; ++at) ++named;
  EXPECT_EQ(named, 3u);
  for (auto& j : doc.jobs.jobs) EXPECT_EQ(j->preset, list_->current);
}

TEST_F(PresetFileTest, ABatchEditMovesOnlyTheJobsThatDepartFromTheirPreset) {
  ProjectDocument doc;
  Preset* slow = Save(doc, L"128", 128);
  Preset* fast = Save(doc, L"160", 160);
  Preset* fast2 = Save(doc, L"160 too", 160);
  ASSERT_TRUE(slow && fast && fast2);
  Preset* on[] = {slow, fast, fast2};
  for (int i = 0; i < 3; ++i) {
    Job* j = doc.jobs.AddJobForFile(AddFakeMedia(L"b" + std::to_wstring(i), {0, 0, false, true, 9000}));
    ASSERT_TRUE(j);
    j->ApplyPreset(on[i], false);
  }
  doc.SetBatchMode(true);
  EXPECT_TRUE(doc.Edit([](Job& j) { j.audio.SetBitRate(160); }));
  EXPECT_EQ(doc.jobs.JobAt(0)->preset, list_->current);
  EXPECT_EQ(doc.jobs.JobAt(1)->preset, fast);
  EXPECT_EQ(doc.jobs.JobAt(2)->preset, fast2);
  EXPECT_TRUE(PresetDiffersFlag);
}

}  // namespace
