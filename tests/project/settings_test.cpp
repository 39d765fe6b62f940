// Audio, video, image and movie settings: limits, crop and aspect rules, counting, the
// preset flag, notifications and the custom sound file.
#include <memory>
#include <string>

#include "framework/platform/WideText.h"
#include "project/Job.h"
#include "project/Preset.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetChangeTracking(); }
};

class TestFilter : public ImageFilter {
 public:
  TestFilter() : ImageFilter(L"test") {}

 protected:
  void WriteAttributes(XmlWriter&) const override {}
};

std::unique_ptr<Job> JobWithSource(int32_t w, int32_t h) {
  auto job = std::make_unique<Job>(nullptr);
  job->SetInputFile(AddFakeMedia(L"v" + std::to_wstring(w) + L"x" + std::to_wstring(h),
                                 {w, h, true, true, 1000}));
  ResetChangeTracking();
  return job;
}

TEST_F(SettingsTest, CropRectIsClampedThenOrdered) {
  struct Case {
    CropRect in;
    CropRect out;
    bool corrected;
  } cases[] = {
      // top, left, bottom, right on a 320 x 240 source
      {{0, 50, 240, 10}, {0, 10, 240, 50}, true},        // reversed
      {{0, 0, 240, 400}, {0, 0, 240, 320}, true},        // beyond the right edge
      {{0, 400, 240, 500}, {0, 320, 240, 320}, true},    // wholly outside
      {{10, -20, 20, 30}, {10, 0, 20, 30}, true},        // straddling the left edge
      {{-5, -9, -1, -2}, {0, 0, 0, 0}, true},            // negative
      {{300, 0, 250, 10}, {240, 0, 240, 10}, true},      // below, reversed
      {{10, 20, 100, 200}, {10, 20, 100, 200}, false},   // inside
      {{0, 0, 240, 320}, {0, 0, 240, 320}, false},       // the full frame
      {{0, 32767, 0, -32768}, {0, 0, 0, 320}, true},     // extremes
  };
  for (const Case& c : cases) {
    auto job = JobWithSource(320, 240);
    CropRect r = c.in;
    EXPECT_EQ(job->video.SetCropRect(r), c.corrected);
    EXPECT_EQ(r, c.out) << c.in.top << " " << c.in.left << " " << c.in.bottom << " " << c.in.right;
    CropRect stored;
    job->video.GetCropRect(stored);
    EXPECT_EQ(stored, c.out);
    EXPECT_GE(stored.right - stored.left, 0);
    EXPECT_GE(stored.bottom - stored.top, 0);
  }
}

TEST_F(SettingsTest, KeepAspectRatioOnASource640x480) {
  auto job = JobWithSource(640, 480);
  job->video.SetOutputWidth(320);
  EXPECT_EQ(job->video.width, 320);
  EXPECT_EQ(job->video.height, 240);
  job->video.SetOutputHeight(100);
  EXPECT_EQ(job->video.width, 133);
  EXPECT_EQ(job->video.height, 100);
  // The computed side is the integer part, cut toward zero also below zero (a preset file
  // can carry any size): -3 x 480 / 640 + 0.5 = -1.75 gives -1, -3 x 640 / 480 + 0.5 = -3.5
  // gives -3.
  struct Case {
    bool byWidth;
    int32_t value, width, height;
  } cases[] = {{true, -3, -3, -1}, {false, -3, -3, -3}, {true, 1, 1, 1}, {false, 1, 1, 1}};
  for (const Case& c : cases) {
    if (c.byWidth)
      job->video.SetOutputWidth(c.value);
    else
      job->video.SetOutputHeight(c.value);
    EXPECT_EQ(job->video.width, c.width) << c.byWidth << " " << c.value;
    EXPECT_EQ(job->video.height, c.height) << c.byWidth << " " << c.value;
  }
}

TEST_F(SettingsTest, EmptyCropReferenceKeepsTheOtherSide) {
  Job job(nullptr);  // reset: crop rectangle 0, 0, 0, 0
  ASSERT_TRUE(job.video.keep_aspect_ratio);
  job.video.SetCrop(true);
  EXPECT_EQ(job.video.height, 240);
  EXPECT_TRUE(job.video.SetOutputHeight(50));
  EXPECT_EQ(job.video.width, 320);
  CropRect thin{0, 100, 240, 100};
  job.video.SetCropRect(thin);
  EXPECT_EQ(job.video.height, 50);
  job.video.SetOutputWidth(640);
  EXPECT_EQ(job.video.height, 50);
  // A very tall crop against a 1-pixel width: the computed height is held in range.
  job.source_width = 32767;
  job.source_height = 32767;
  CropRect tall{0, 0, 32767, 1};
  job.video.SetCropRect(tall);
  job.video.SetOutputWidth(2147483647);
  EXPECT_EQ(job.video.height, 2147483647);
}

TEST_F(SettingsTest, MatchSourceDimensionsFollowsTheCrop) {
  auto job = JobWithSource(320, 240);
  int fired = 0;
  struct Counter {
    int* n;
    void On(VideoSettings*) { ++*n; }
  } counter{&fired};
  job->video.size_notifier.Connect(&counter, &Counter::On);
  job->video.SetMatchSourceDimensions(true);
  EXPECT_TRUE(PresetDiffersFlag);  // without any preset
  EXPECT_EQ(DocumentChangeCount, 0u);  // the size did not change
  EXPECT_EQ(fired, 1);  // fired although the size stayed
  CropRect r{0, 0, 100, 200};
  job->video.SetCropRect(r);
  job->video.SetCrop(true);
  EXPECT_EQ(job->video.width, 200);
  EXPECT_EQ(job->video.height, 100);
  job->video.SetOutputSize(7, 9);
  EXPECT_EQ(job->video.width, 200);
  ResetChangeTracking();
  job->video.SetMatchSourceDimensions(true);
  EXPECT_FALSE(PresetDiffersFlag);  // unchanged
}

TEST_F(SettingsTest, VideoLimitsAndCounting) {
  Job job(nullptr);
  EXPECT_FALSE(job.video.SetQuality(101));
  EXPECT_TRUE(job.video.SetQuality(100));
  EXPECT_FALSE(job.video.SetDataRate(0));
  EXPECT_FALSE(job.video.SetDataRate(-4));
  EXPECT_TRUE(job.video.SetDataRate(1));
  EXPECT_EQ(DocumentChangeCount, 2u);
  int fpsFired = 0;
  struct Counter {
    int* n;
    void On(VideoSettings*) { ++*n; }
  } counter{&fpsFired};
  job.video.frame_rate_notifier.Connect(&counter, &Counter::On);
  job.video.SetFrameRate(12.0f);
  job.video.SetFrameRate(15.0f);
  EXPECT_EQ(fpsFired, 1);
  job.video.AddFilter(new TestFilter());
  ResetChangeTracking();
  job.video.ClearFilters();
  job.video.ClearFilters();
  EXPECT_EQ(DocumentChangeCount, 1u);
}

TEST_F(SettingsTest, NestedFireIsIgnored) {
  ChangeNotifier<int> notifier;
  int calls = 0;
  struct Again {
    ChangeNotifier<int>* n;
    int* calls;
    void On(int* sender) {
      ++*calls;
      EXPECT_FALSE(n->Fire(sender));
    }
  } again{&notifier, &calls};
  int sender = 0;
  EXPECT_FALSE(notifier.Fire(&sender));  // no callbacks
  notifier.Connect(&again, &Again::On);
  EXPECT_TRUE(notifier.Fire(&sender));
  EXPECT_EQ(calls, 1);
  notifier.SetEnabled(false);
  EXPECT_FALSE(notifier.Fire(&sender));
}

TEST_F(SettingsTest, MovieSettingsCountOnlyChanges) {
  MovieSettings movie;
  movie.SetClickUrl(L"http://");
  EXPECT_EQ(DocumentChangeCount, 0u);
  movie.SetClickUrl(L"http://x");
  movie.SetEndTarget(L"_Blank");
  movie.SetLoopCount(1);
  movie.SetPauseTime(2000);
  EXPECT_EQ(DocumentChangeCount, 3u);
  movie.click_popup.width = 5;
  movie.Reset();
  EXPECT_EQ(movie.click_url, L"http://");
  EXPECT_EQ(movie.click_popup.width, 5);  // popups are not reset
}

TEST_F(SettingsTest, ImageSettingsCountAndHoldTransitions) {
  Job job(nullptr);
  job.image.SetImageType(3);
  EXPECT_TRUE(job.image.SetDuration(2000));
  EXPECT_EQ(DocumentChangeCount, 1u);
}

TEST_F(SettingsTest, CustomSoundIsReplacedOnlyWhenItOpens) {
  if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  testsupport::ScratchDir dir;
  const std::string good = (dir / "good.wav").string();
  int status = 0;
  testsupport::Run("ffmpeg -v error -y -f lavfi -i sine=duration=0.2 '" + good + "'", &status);
  ASSERT_EQ(status, 0);
  std::string noise(2048, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 37 + 11);
  testsupport::WriteFile(dir / "noise.wav", noise);

  Job job(nullptr);
  ASSERT_TRUE(job.audio.SetCustomAudioFile(FromNativeString(good)));
  MediaSource* source = job.audio.CustomSource();
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(job.audio.SetCustomAudioFile(FromNativeString((dir / "noise.wav").string())));
  EXPECT_FALSE(job.audio.SetCustomAudioFile(FromNativeString((dir / "missing.wav").string())));
  EXPECT_FALSE(job.audio.SetCustomAudioFile(FromNativeString((dir / "x.txt").string())));
  EXPECT_EQ(job.audio.custom_audio, FromNativeString(good));
  EXPECT_EQ(job.audio.CustomSource(), source);
  EXPECT_EQ(DocumentChangeCount, 0u);
}

}  // namespace
