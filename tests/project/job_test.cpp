// The job: defaults, setter limits, change counting, the preset-differs flag, input files,
// export formats and preset application.
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "project/Job.h"
#include "project/Preset.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace {

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetChangeTracking(); }
};

// A job with an input of the given duration.
std::unique_ptr<Job> JobWithDuration(uint32_t ms) {
  auto job = std::make_unique<Job>(nullptr);
  job->SetInputFile(AddFakeMedia(L"d" + std::to_wstring(ms), {0, 0, false, true, ms}));
  ResetChangeTracking();
  return job;
}

TEST_F(JobTest, DefaultsAfterConstruction) {
  Job job(nullptr);
  EXPECT_EQ(job.swf_width, 320u);
  EXPECT_EQ(job.swf_height, 240u);
  EXPECT_EQ(job.swf_fps, 12.0f);
  EXPECT_EQ(job.source_width, 320);
  EXPECT_EQ(job.source_duration, 0u);
  EXPECT_EQ(job.last_character_id, 0);
  EXPECT_TRUE(job.match_source_duration);
  EXPECT_TRUE(job.player_auto_play);
  EXPECT_FALSE(job.compress);
  EXPECT_EQ(job.publish.base_name, L"Untitled");
  EXPECT_EQ(job.publish.movie_width, 320);
  EXPECT_EQ(job.watermark.doc_width, 320);
  EXPECT_EQ(job.watermark.doc_height, 240);
  EXPECT_EQ(job.video.width, 320);
  EXPECT_EQ(job.audio.sample_rate, 44100);
  EXPECT_EQ(job.image.duration, 2000u);
  EXPECT_EQ(job.movie.click_url, L"http://");
  EXPECT_EQ(job.Source(), nullptr);
  EXPECT_EQ(DocumentChangeCount, 0u);
}

// One call of a setter: its result, and whether it counted a change.
struct SetterCase {
  const char* what;
  std::function<void(Job&)> prepare;
  std::function<bool(Job&)> call;
  bool result;
  uint32_t counted;
};

TEST_F(JobTest, SetterLimitsAndCounting) {
  const SetterCase cases[] = {
      {"start within duration", nullptr, [](Job& j) { return j.SetStartTime(500); }, true, 1},
      {"start above end", [](Job& j) { j.end_msec = 400; }, [](Job& j) { return j.SetStartTime(500); }, false, 0},
      {"start above duration", nullptr, [](Job& j) { return j.SetStartTime(1001); }, false, 0},
      {"start unchanged", nullptr, [](Job& j) { return j.SetStartTime(0); }, true, 0},
      {"end at duration", nullptr, [](Job& j) { return j.SetEndTime(1000); }, true, 0},
      {"end below start", [](Job& j) { j.start_msec = 300; }, [](Job& j) { return j.SetEndTime(200); }, false, 0},
      {"end above duration", nullptr, [](Job& j) { return j.SetEndTime(1001); }, false, 0},
      {"end inside", nullptr, [](Job& j) { return j.SetEndTime(999); }, true, 1},
      {"fade in at duration", nullptr, [](Job& j) { return j.SetFadeInTime(1000); }, true, 1},
      {"fade in too long", nullptr, [](Job& j) { return j.SetFadeInTime(1001); }, false, 0},
      {"fade out", nullptr, [](Job& j) { return j.SetFadeOutTime(1); }, true, 1},
      {"fade out too long", nullptr, [](Job& j) { return j.SetFadeOutTime(5000); }, false, 0},
      {"fps 0.5", nullptr, [](Job& j) { return j.SetFrameRate(0.5f); }, false, 0},
      {"fps 120.5", nullptr, [](Job& j) { return j.SetFrameRate(120.5f); }, false, 0},
      {"fps NaN", nullptr, [](Job& j) { return j.SetFrameRate(std::nanf("")); }, false, 0},
      {"fps 1", nullptr, [](Job& j) { return j.SetFrameRate(1.0f); }, true, 1},
      {"fps 120", nullptr, [](Job& j) { return j.SetFrameRate(120.0f); }, true, 1},
      {"fps same", nullptr, [](Job& j) { return j.SetFrameRate(12.0f); }, true, 0},
      {"size 10001 x 240", nullptr, [](Job& j) { return j.SetMovieSize(10001, 240); }, false, 0},
      {"size 0 x 240", nullptr, [](Job& j) { return j.SetMovieSize(0, 240); }, false, 0},
      {"size 10000 x 1", nullptr, [](Job& j) { return j.SetMovieSize(10000, 1); }, true, 1},
      {"size same", nullptr, [](Job& j) { return j.SetMovieSize(320, 240); }, true, 0},
      {"width", nullptr, [](Job& j) { return j.SetMovieWidth(640); }, true, 1},
      {"height too big", nullptr, [](Job& j) { return j.SetMovieHeight(20000); }, false, 0},
      {"player file null", nullptr, [](Job& j) { return j.SetPlayerFileName(nullptr); }, false, 0},
      {"player file empty", nullptr, [](Job& j) { return j.SetPlayerFileName(L""); }, false, 0},
      {"player file", nullptr, [](Job& j) { return j.SetPlayerFileName(L"p.swf"); }, true, 1},
      {"compress", nullptr, [](Job& j) { j.SetCompress(true); return true; }, true, 1},
      {"compress same", nullptr, [](Job& j) { j.SetCompress(false); return true; }, true, 0},
      {"protect", nullptr, [](Job& j) { j.SetProtect(true); return true; }, true, 1},
      {"printing", nullptr, [](Job& j) { j.SetDisablePrinting(true); return true; }, true, 1},
      {"colour", nullptr, [](Job& j) { j.SetBackgroundColor(0xFF); return true; }, true, 1},
      {"fade in on", nullptr, [](Job& j) { j.SetFadeIn(true); return true; }, true, 1},
      {"fade out off", nullptr, [](Job& j) { j.SetFadeOut(false); return true; }, true, 0},
      {"watermark on", nullptr, [](Job& j) { j.SetUseWatermark(true); return true; }, true, 1},
      {"match duration off", nullptr, [](Job& j) { j.SetMatchSourceDuration(false); return true; }, true, 1},
      {"output path", nullptr, [](Job& j) { j.SetOutputPath(L"/a/b.swf"); return true; }, true, 0},
      {"overwrite", nullptr, [](Job& j) { j.SetOverwriteOutput(true); return true; }, true, 0},
      {"character id", nullptr, [](Job& j) { j.SetLastCharacterId(7); return true; }, true, 0},
      {"match a source no movie can have",
       [](Job& j) {
         j.source_width = 12000;
         j.source_height = 100;
         j.video.SetOutputSize(600, 5);
         j.SetMatchVideoDimensions(true);
       },
       [](Job& j) { return j.video.SetMatchSourceDimensions(true); }, false, 0},
  };
  for (const SetterCase& c : cases) {
    auto job = JobWithDuration(1000);
    if (c.prepare) c.prepare(*job);
    // The fields a refused call must not touch.
    const uint32_t startSet = job->start_msec, endSet = job->end_msec, w = job->swf_width;
    const bool matchSource = job->video.match_source_dimensions;
    const float fps = job->swf_fps;
    const uint32_t before = TakeChangeCount(false);
    EXPECT_EQ(c.call(*job), c.result) << c.what;
    EXPECT_EQ(TakeChangeCount(false) - before, c.counted) << c.what;
    if (!c.result) {
      EXPECT_EQ(job->start_msec, startSet) << c.what;
      EXPECT_EQ(job->end_msec, endSet) << c.what;
      EXPECT_EQ(job->swf_width, w) << c.what;
      EXPECT_EQ(job->swf_fps, fps) << c.what;
      EXPECT_EQ(job->video.match_source_dimensions, matchSource) << c.what;
    }
    EXPECT_FALSE(PresetDiffersFlag) << c.what;
  }
}

TEST_F(JobTest, MatchSourceDurationWithoutInputUsesTheStoredDuration) {
  Job job(nullptr);
  job.match_source_duration = false;
  job.start_msec = 5;
  job.end_msec = 9;
  job.SetMatchSourceDuration(true);
  EXPECT_EQ(job.start_msec, 0u);
  EXPECT_EQ(job.end_msec, 0u);
  auto withInput = JobWithDuration(4321);
  withInput->SetMatchSourceDuration(false);
  withInput->SetEndTime(100);
  withInput->SetMatchSourceDuration(true);
  EXPECT_EQ(withInput->end_msec, 4321u);
}

TEST_F(JobTest, PresetDiffersFlagComparesWithTheAppliedPreset) {
  Preset preset(L"P", 1);
  preset.settings.swf_fps = 24.0f;
  preset.settings.compress = true;
  preset.settings.swf_bgcolor = 0x00FF00;
  struct Case {
    const char* what;
    std::function<void(Job&)> call;
    bool flag;
    uint32_t counted;
  } cases[] = {
      // Equal to the stored value: nothing counted, but it differs from the preset.
      {"fps equal to stored", [](Job& j) { j.SetFrameRate(12.0f); }, true, 0},
      {"fps equal to preset", [](Job& j) { j.SetFrameRate(24.0f); }, false, 1},
      {"compress false", [](Job& j) { j.SetCompress(false); }, true, 0},
      {"compress as preset", [](Job& j) { j.SetCompress(true); }, false, 1},
      {"colour", [](Job& j) { j.SetBackgroundColor(1); }, true, 1},
      {"movie size", [](Job& j) { j.SetMovieSize(320, 240); }, false, 0},
      {"movie size other", [](Job& j) { j.SetMovieSize(321, 240); }, true, 1},
      {"refused movie size", [](Job& j) { j.SetMovieSize(0, 240); }, false, 0},
      {"refused fps", [](Job& j) { j.SetFrameRate(500.0f); }, false, 0},
      {"format", [](Job& j) { j.SetExportFormat(1); }, true, 1},
      {"start time (not carried)", [](Job& j) { j.SetFadeIn(true); }, false, 1},
      {"audio rate", [](Job& j) { j.audio.SetSampleRate(22050); }, true, 1},
      {"audio stream (not carried)", [](Job& j) { j.audio.SetStream(false); }, false, 1},
      {"video quality", [](Job& j) { j.video.SetQuality(80); }, false, 0},
      {"video quality other", [](Job& j) { j.video.SetQuality(50); }, true, 1},
      {"video keyframe type (not carried)", [](Job& j) { j.video.SetKeyframeType(0); }, false, 1},
  };
  for (const auto& c : cases) {
    Job job(nullptr);
    job.preset = &preset;
    ResetChangeTracking();
    c.call(job);
    EXPECT_EQ(PresetDiffersFlag, c.flag) << c.what;
    EXPECT_EQ(DocumentChangeCount, c.counted) << c.what;
  }
  // Without a preset nothing sets the flag.
  Job free(nullptr);
  ResetChangeTracking();
  free.SetFrameRate(30.0f);
  EXPECT_FALSE(PresetDiffersFlag);
}

TEST_F(JobTest, TakeChangeCount) {
  Job job(nullptr);
  job.SetCompress(true);
  job.SetProtect(true);
  EXPECT_EQ(TakeChangeCount(false), 2u);
  EXPECT_EQ(TakeChangeCount(false), 2u);
  EXPECT_EQ(TakeChangeCount(true), 2u);
  EXPECT_EQ(TakeChangeCount(false), 0u);
  PresetDiffersFlag = true;
  TakeChangeCount(true);
  EXPECT_TRUE(PresetDiffersFlag);
  ResetChangeTracking();
  EXPECT_FALSE(PresetDiffersFlag);
}

TEST_F(JobTest, SetInputFileTakesTheSourceFacts) {
  struct Case {
    const wchar_t* name;
    FakeMedia media;
    int32_t w, h;
  } cases[] = {
      {L"sound0x0", {0, 0, false, true, 1500}, 100, 100},
      {L"sound5x0", {5, 0, false, true, 1500}, 5, 100},
      {L"video0x480", {0, 480, true, true, 1500}, 1, 480},
      {L"video640", {640, 480, true, false, 1500}, 640, 480},
      {L"nothing", {0, 0, false, false, 1500}, 1, 1},
  };
  for (const Case& c : cases) {
    Job job(nullptr);
    const PathString path = AddFakeMedia(c.name, c.media);
    ASSERT_TRUE(job.SetInputFile(path)) << c.name;
    EXPECT_EQ(job.source_width, c.w) << c.name;
    EXPECT_EQ(job.source_height, c.h) << c.name;
    EXPECT_EQ(job.has_video, c.media.video);
    EXPECT_EQ(job.enable_audio, c.media.sound);
    EXPECT_EQ(job.end_msec, 1500u);
    EXPECT_EQ(job.output, L"/fake/" + std::wstring(c.name) + L".swf");
    EXPECT_EQ(job.player_file_name, std::wstring(c.name) + L"_Player.swf");
    EXPECT_EQ(job.publish.base_name, c.name);
    EXPECT_EQ(job.publish.output_folder, L"/fake");
    CropRect r;
    job.video.GetCropRect(r);
    EXPECT_EQ(r, (CropRect{0, 0, static_cast<int16_t>(c.h), static_cast<int16_t>(c.w)})) << c.name;
    EXPECT_EQ(job.video.width, c.w) << c.name;
  }
  Job job(nullptr);
  job.SetExportFormat(1);
  ASSERT_TRUE(job.SetInputFile(AddFakeMedia(L"flv", {})));
  EXPECT_EQ(job.output, L"/fake/flv.flv");
  EXPECT_FALSE(job.SetInputFile(L"/fake/unknown.fake"));
  EXPECT_EQ(job.input, L"/fake/unknown.fake");
  EXPECT_EQ(job.Source(), nullptr);
}

TEST_F(JobTest, ExportFormatChangesOutputAndFlvFlag) {
  Job job(nullptr);
  job.SetExportFormat(1);
  EXPECT_EQ(job.export_format, 1u);
  EXPECT_FALSE(job.flv_output);  // no output: only the format changes
  EXPECT_EQ(DocumentChangeCount, 1u);

  job.SetExportFormat(0);
  job.SetOutputPath(L"/m/song.swf");
  ResetChangeTracking();
  job.SetExportFormat(1);
  EXPECT_EQ(job.output, L"/m/song.flv");
  EXPECT_TRUE(job.flv_output);
  EXPECT_EQ(DocumentChangeCount, 2u);
  job.publish.SetPublishFlv(false);
  job.SetExportFormat(2);
  EXPECT_EQ(job.output, L"/m/song.flv");
  EXPECT_FALSE(job.flv_output);
  job.SetExportFormat(0);
  EXPECT_EQ(job.output, L"/m/song.swf");
  job.publish.SetPublishFlv(true);
  job.SetExportFormat(2);
  EXPECT_TRUE(job.flv_output);

  // Derived without counting, as after reading a project.
  Job read(nullptr);
  read.output = L"/m/x.flv";
  read.export_format = 1;
  ResetChangeTracking();
  read.DeriveFlvOutput();
  EXPECT_TRUE(read.flv_output);
  read.export_format = 2;
  read.publish.publish_flv = false;
  read.DeriveFlvOutput();
  EXPECT_FALSE(read.flv_output);
  EXPECT_EQ(DocumentChangeCount, 0u);
}

TEST_F(JobTest, MovieSizeFollowsVideoAndPlayer) {
  Job job(nullptr);
  job.video.SetKeepAspectRatio(false);
  job.video.SetOutputSize(200, 150);
  job.SetMatchVideoDimensions(true);
  EXPECT_EQ(job.swf_width, 200u);
  EXPECT_TRUE(job.SetMovieWidth(100));
  EXPECT_EQ(job.swf_width, 200u);
  EXPECT_EQ(job.swf_height, 150u);
  // The video size notification moves the movie size.
  job.video.SetOutputSize(400, 300);
  EXPECT_EQ(job.swf_width, 400u);
  EXPECT_EQ(job.publish.movie_width, 400);
  EXPECT_EQ(job.publish.html.display_height, 300);
  EXPECT_EQ(job.watermark.doc_width, 400);

  Job withPlayer(nullptr);
  PlayerTemplateInfo info;
  info.width_twips = 6000;
  info.height_twips = 1000;
  info.first_frame_variables = {{L"fixed_height", L"true"}};
  withPlayer.SetPlayer(new PlayerTemplate(L"bar", L"", info));
  EXPECT_EQ(withPlayer.swf_width, 320u);
  EXPECT_EQ(withPlayer.swf_height, 50u);
  EXPECT_EQ(withPlayer.publish.movie_height, 50);
  withPlayer.SetMovieSize(500, 400);
  EXPECT_EQ(withPlayer.publish.movie_width, 500);
  EXPECT_EQ(withPlayer.publish.movie_height, 50);
  EXPECT_EQ(withPlayer.watermark.doc_height, 400);
  ResetChangeTracking();
  withPlayer.SetPlayer(withPlayer.Player());
  EXPECT_EQ(DocumentChangeCount, 0u);
  // A player wider than any movie: the movie keeps its size, the publish size is the player's.
  withPlayer.SetPlayer(new PlayerTemplate(L"wide", L"", {220000, 1000, {{L"fixed_width", L"1"}}}));
  EXPECT_EQ(withPlayer.swf_width, 500u);
  EXPECT_EQ(withPlayer.publish.movie_width, 11000);
}

TEST_F(JobTest, ApplyPreset) {
  ASSERT_TRUE(FindPresetList(0) || CreatePresetList(0));
  PresetList* list = FindPresetList(0);
  if (!list->current) list->SetCurrent(list->AddNewPreset(L"(none)", 0));
  Preset* none = list->current;
  none->settings.swf_fps = 30.0f;

  Job job(nullptr);
  ResetChangeTracking();
  job.ApplyPreset(none, false);
  EXPECT_EQ(job.preset, none);
  EXPECT_EQ(job.swf_fps, 12.0f);
  EXPECT_EQ(DocumentChangeCount, 1u);
  job.ApplyPreset(none, true);
  EXPECT_EQ(job.swf_fps, 30.0f);
  EXPECT_FALSE(PresetDiffersFlag);

  Preset builtIn(L"44k stereo", 15);
  EXPECT_EQ(builtIn.settings.audio.channels, 1u);
  EXPECT_EQ(builtIn.settings.audio.bit_rate, 160);
  // The output height follows the width at the source's 4:3, then the width the height.
  EXPECT_EQ(builtIn.settings.video.width, 133);
  EXPECT_EQ(builtIn.settings.video.height, 100);
  job.ApplyPreset(&builtIn, false);
  EXPECT_EQ(job.audio.bit_rate, 160);
  EXPECT_EQ(job.audio.channels, 1u);
  EXPECT_EQ(job.swf_fps, 12.0f);
  EXPECT_FALSE(PresetDiffersFlag);
  // Leaving the preset's codec moves the job onto the no-preset entry.
  job.audio.SetCodec(1);
  EXPECT_TRUE(PresetDiffersFlag);
  EXPECT_EQ(job.preset, none);
  EXPECT_EQ(job.audio.codec, 1u);
  EXPECT_EQ(job.audio.bit_rate, 160);
  none->settings.swf_fps = 12.0f;
}

}  // namespace
