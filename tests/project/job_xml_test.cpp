// The job's XML: write, read, write again gives the same bytes; the readers' word tables,
// defaults and mended cases.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <locale>
#include <memory>
#include <string>

#include "framework/platform/WideText.h"
#include "imaging/ElementXml.h"
#include "imaging/ImageFilter.h"
#include "imaging/RasterImage.h"
#include "job_xml_support.h"
#include "project/Job.h"
#include "project/Preset.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScratchDir;

// Writes the job, reads it into a fresh job and writes that: both files must be identical.
// Returns the re-read job.
// Jobs always carry a preset in a project; one without reads back with the no-preset entry.
std::unique_ptr<Job> RoundTrip(Job& job, const ScratchDir& dir, std::string* text = nullptr) {
  if (!job.preset) job.preset = NoPresetEntry();
  EXPECT_TRUE(WriteJobFile(job, dir / "a.xml"));
  std::unique_ptr<Job> back = ReadJobFile(dir / "a.xml");
  EXPECT_TRUE(back);
  if (!back) return back;
  EXPECT_TRUE(WriteJobFile(*back, dir / "b.xml"));
  EXPECT_EQ(ReadFile(dir / "a.xml"), ReadFile(dir / "b.xml"));
  if (text) *text = ReadFile(dir / "a.xml");
  return back;
}

TEST(JobXml, FullJobRoundTripsToIdenticalBytes) {
  ScratchDir dir;
  Job job(nullptr);
  FillJob(job);
  std::string text;
  auto back = RoundTrip(job, dir, &text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->export_format, 1u);
  EXPECT_EQ(back->output, job.output);
  EXPECT_EQ(back->end_msec, 4000000000u);
  EXPECT_EQ(back->swf_bgcolor, 0xFFFFFFFFu);
  EXPECT_EQ(back->swf_fps, 29.97f);
  EXPECT_EQ(back->video.crop_rect, (CropRect{-3, 4, 32767, -32768}));
  EXPECT_EQ(back->video.filters.size(), 2u);
  EXPECT_EQ(back->movie.click_popup, job.movie.click_popup);
  EXPECT_EQ(back->movie.end_popup, job.movie.end_popup);
  EXPECT_EQ(back->movie.preloader.attributes, job.movie.preloader.attributes);
  EXPECT_EQ(back->movie.click_url, job.movie.click_url);
  EXPECT_EQ(back->watermark.alpha, 128u);
  EXPECT_EQ(back->watermark.h_align, 2u);
  EXPECT_EQ(back->jukebox.album, L"Album <1>");
  EXPECT_EQ(back->publish.base_name, L"Song & Dance");
  EXPECT_TRUE(back->publish.publish_installer);
  // The child elements come in their fixed order.
  size_t at = 0;
  for (const char* tag : {"<video_data ", "<filter ", "<audio_data ", "<image_data ", "<swf_data ",
                          "<preload_data ", "<mouse_click_action ", "<popup_data ",
                          "<movie_end_action ", "<watermark_data ", "<publish_data ",
                          "<jukebox_data ", "</castora_data>"}) {
    size_t next = text.find(tag, at);
    ASSERT_NE(next, std::string::npos) << tag;
    at = next;
  }
  EXPECT_EQ(text.find("<player_data"), std::string::npos);
}

TEST(JobXml, DefaultJobRoundTripsAndWritesTheDocumentedDefaults) {
  ScratchDir dir;
  Job job(nullptr);
  std::string text;
  ASSERT_TRUE(RoundTrip(job, dir, &text));
  for (const char* piece :
       {"<castora_data input=\"\" output=\"\" export_format=\"swf\" preset=\"(none)\" ",
        " swf_fps=\"12\" ",
        "<audio_data codec=\"mp3\" sample_rate=\"44100\" bit_rate=\"128\" channels=\"mono\" "
        "use_custom_audio=\"false\" stream=\"true\" />\n",
        "<swf_data movie_start_action=\"play_automatically\" pause_time=\"1000\" preload=\"false\" "
        "loop=\"none\" loop_count=\"1\">\n<preload_data />\n",
        "<mouse_click_action action=\"none\" target_type=\"blank\" url=\"http://\" target=\"_blank\" "
        "target_expression=\"false\" url_expression=\"false\" >\n<popup_data width=\"100\" "
        "height=\"100\" x=\"0\" y=\"0\" toolbar=\"false\" location=\"false\" directories=\"false\" "
        "status=\"false\" menubar=\"false\" scrollbars=\"false\" resizable=\"false\" />\n"
        "</mouse_click_action>\n",
        "<video_data codec=\"sorenson\" method=\"1_pass\" keyframe_type=\"max\" width=\"320\" ",
        " >\n</video_data>\n<audio_data ",
        "<image_data image_type=\"jpeg\" duration=\"2000\" >\n</image_data>\n",
        "<jukebox_data media_type=\"file\" media_url=\"http://\" artwork_type=\"image\" "
        "artwork_url=\"http://\" artwork_path=\"\" artwork_src_width=\"50\" artwork_src_height=\"50\" "
        "artwork_width=\"50\" artwork_height=\"50\" artist=\"\" title=\"\" album=\"\" comment=\"\" />\n",
        "<publish_data base_name=\"Untitled\" "}) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
  }
}

TEST(JobXml, FlvOutputFollowsTheFormatAfterReading) {
  ScratchDir dir;
  Job flv(nullptr);
  flv.output = L"/m/a.flv";
  flv.export_format = 1;
  flv.flv_output = true;
  auto back = RoundTrip(flv, dir);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->flv_output);
  Job multi(nullptr);
  multi.output = L"/m/a.wav";
  multi.export_format = 2;
  multi.publish.publish_flv = true;
  back = RoundTrip(multi, dir);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->flv_output);
  multi.publish.publish_flv = false;
  back = RoundTrip(multi, dir);
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->flv_output);
}

TEST(JobXml, PopupsSurviveSaveAndReopen) {
  ScratchDir dir;
  Job job(nullptr);
  job.movie.click_popup.width = 800;
  job.movie.click_popup.scrollbars = true;
  job.movie.end_popup.x = 50;
  job.movie.end_popup.resizable = true;
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->movie.click_popup, job.movie.click_popup);
  EXPECT_EQ(back->movie.end_popup, job.movie.end_popup);
  // As an undo restores it: a snapshot read after a later edit keeps the popups.
  back->SetCompress(true);
  auto restored = ReadJobFile(dir / "a.xml");
  ASSERT_TRUE(restored);
  EXPECT_EQ(restored->movie.end_popup.x, 50);
  EXPECT_FALSE(restored->compress);
}

TEST(JobXml, ReadersMatchWordsAsDocumented) {
  ScratchDir dir;
  struct Case {
    const char* element;
    std::function<bool(const Job&)> check;
  } cases[] = {
      {"<video_data keyframe_type=\"natural\" />", [](const Job& j) { return j.video.keyframe_type == 0; }},
      {"<video_data keyframe_type=\"Natural\" />", [](const Job& j) { return j.video.keyframe_type == 2; }},
      {"<audio_data codec=\"ogg\" channels=\"stereo\" />",
       [](const Job& j) { return j.audio.codec == 0 && j.audio.channels == 1; }},
      {"<audio_data codec=\"adpcm\" sample_rate=\"abc\" />",
       [](const Job& j) { return j.audio.codec == 1 && j.audio.sample_rate == 0; }},
      {"<swf_data loop=\"FOREVER\" movie_start_action=\"Click_To_Begin\"><MOUSE_CLICK_ACTION "
       "action=\"Get_URL\" target_type=\"POPUP\"><Popup_Data width=\"7\" /></MOUSE_CLICK_ACTION>"
       "</swf_data>",
       [](const Job& j) {
         return j.movie.loop == 2 && j.movie.movie_start_action == 3 && j.movie.click_action == 1 &&
                j.movie.click_target_type == 2 && j.movie.click_popup.width == 7;
       }},
      {"<swf_data><movie_end_action action=\"unload_movie\" target_type=\"\" /></swf_data>",
       [](const Job& j) { return j.movie.end_action == 3 && j.movie.end_target_type == 4; }},
      {"<image_data image_type=\"lossless_8_alpha\" duration=\"5\"><image_fx_in name=\"fade\" "
       "duration=\"3\" /><image_fx_out duration=\"3\" /></image_data>",
       [](const Job& j) {
         return j.image.image_type == 7 && j.image.duration == 5 && !j.image.transition_in &&
                !j.image.transition_out;
       }},
      {"<video_data><filter amount=\"1\" /><filter name=\"blur\" radius=\"2\" /></video_data>",
       [](const Job& j) { return j.video.filters.size() == 1 && j.video.filters[0]->Name() == L"blur"; }},
      {"<watermark_data h_align=\"Right\" v_align=\"bottom\" />",
       [](const Job& j) { return j.watermark.h_align == 0 && j.watermark.v_align == 2; }},
      {"<jukebox_data media_type=\"URL\" artwork_type=\"url\" artwork_path=\"rel/x.png\" />",
       [](const Job& j) { return j.jukebox.media_type == 0 && j.jukebox.artwork_type == 1 &&
                                 j.jukebox.artwork_path == L"rel/x.png"; }},
  };
  for (const Case& c : cases) {
    testsupport::WriteFile(dir / "c.xml", std::string("<xml version=\"1.0\" encoding=\"UTF-8\">\n"
                                                      "<castora_data export_format=\"Flv\">") +
                                              c.element + "</castora_data>\n</xml>\n");
    auto job = ReadJobFile(dir / "c.xml");
    ASSERT_TRUE(job) << c.element;
    EXPECT_EQ(job->export_format, 0u);
    EXPECT_TRUE(c.check(*job)) << c.element;
  }
}

TEST(JobXml, TargetTypesWithoutAWordAndCustomAudioOff) {
  ScratchDir dir;
  Job job(nullptr);
  job.movie.click_target_type = 3;
  job.audio.custom_audio = L"/x/y.wav";
  ASSERT_TRUE(WriteJobFile(job, dir / "a.xml"));
  const std::string text = ReadFile(dir / "a.xml");
  EXPECT_NE(text.find("<mouse_click_action action=\"none\" target_type=\"\" "), std::string::npos);
  EXPECT_EQ(text.find(" custom_audio="), std::string::npos);
  auto back = ReadJobFile(dir / "a.xml");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->movie.click_target_type, 4u);  // an empty word reads as no change
}

TEST(JobXml, MissingCustomSoundKeepsItsName) {
  ScratchDir dir;
  Job job(nullptr);
  job.audio.use_custom_audio = true;
  job.audio.custom_audio = FromNativeString((dir / "gone.wav").string());
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->audio.custom_audio, job.audio.custom_audio);
  EXPECT_EQ(back->audio.CustomSource(), nullptr);
}

TEST(JobXml, WatermarkWithoutImageKeepsItsSettings) {
  ScratchDir dir;
  Job job(nullptr);
  job.watermark.alpha = 128;
  job.watermark.SetHAlign(2);
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->watermark.alpha, 128u);
  EXPECT_EQ(back->watermark.h_align, 2u);
}

TEST(JobXml, WatermarkKeepsItsSizeThroughSaveAndOpen) {
  // A watermark whose proportions were freed, with and without an image, reopens at the
  // size it was saved with.
  ScratchDir dir;
  Job job(nullptr);
  job.watermark.SetKeepAspectRatio(false);
  job.watermark.SetSize(120, 40);
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->watermark.width, 120);
  EXPECT_EQ(back->watermark.height, 40);
  EXPECT_FALSE(back->watermark.keep_aspect_ratio);
  auto again = RoundTrip(*back, dir);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->watermark.width, 120);
  EXPECT_EQ(again->watermark.height, 40);
}

TEST(JobXml, WatermarkWithMissingImageStopsReading) {
  ScratchDir dir;
  WatermarkSettings w;
  w.width = 9;
  bool result = true;
  testsupport::WriteFile(dir / "w.xml", "<xml>\n<watermark_data src=\"/nonexistent/a.png\" "
                                        "width=\"50\" alpha=\"3\" />\n</xml>\n");
  ASSERT_TRUE(ReadElementFile(dir / "w.xml", [&](const XmlValue& v) { result = w.ReadXml(v); }));
  EXPECT_FALSE(result);
  EXPECT_EQ(w.width, 9);
  EXPECT_EQ(w.alpha, 255u);
  testsupport::WriteFile(dir / "w.xml", "<xml>\n<watermark_data width=\"50\" alpha=\"3\" />\n</xml>\n");
  ASSERT_TRUE(ReadElementFile(dir / "w.xml", [&](const XmlValue& v) { result = w.ReadXml(v); }));
  EXPECT_TRUE(result);
  EXPECT_EQ(w.width, 50);
  EXPECT_EQ(w.alpha, 3u);
}

TEST(JobXml, HugeWatermarkSizesAreBoundedBeforeAllocation) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space cap cannot be set under AddressSanitizer";
#endif
  ScratchDir dir;
  RasterImage picture;
  ASSERT_TRUE(picture.Allocate(40, 4, 24));
  const std::string png = (dir / "wide.png").string();
  ASSERT_TRUE(SavePngFile(FromNativeString(png), picture));
  testsupport::WriteFile(dir / "w.xml", "<xml>\n<watermark_data src=\"" + png +
                                            "\" width=\"100000\" height=\"-5\" />\n</xml>\n");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit cap{768u << 20, 768u << 20};
    setrlimit(RLIMIT_AS, &cap);
    WatermarkSettings w;
    bool ok = false;
    ReadElementFile(dir / "w.xml", [&](const XmlValue& v) { ok = w.ReadXml(v); });
    const bool bounded = w.width >= 1 && w.width <= 10000 && w.height >= 1 && w.height <= 10000;
    _exit(ok && bounded && w.width == 10000 && w.height == 1 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(JobXml, InputsAreOpenedOrRelocatedOrDropped) {
  ScratchDir dir;
  const PathString real = FromNativeString((dir / "song.fake").string());
  testsupport::WriteFile(dir / "song.fake", "x");
  AddFakeMediaAt(real, {0, 0, false, true, 9000});
  Job job(nullptr);
  ASSERT_TRUE(job.SetInputFile(real));
  job.end_msec = 5000;
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->input, real);
  EXPECT_EQ(back->source_duration, 9000u);
  EXPECT_EQ(back->end_msec, 5000u);

  // The input disappears: without a relocator the job is dropped; with one it moves.
  ASSERT_TRUE(WriteJobFile(job, dir / "a.xml"));
  std::filesystem::remove(dir / "song.fake");
  EXPECT_FALSE(ReadJobFile(dir / "a.xml"));
  static PathString moved;
  moved = FromNativeString((dir / "moved.fake").string());
  testsupport::WriteFile(dir / "moved.fake", "x");
  AddFakeMediaAt(moved, {0, 0, false, true, 9000});
  SetJobInputRelocator([](const PathString&, const PathString&, PathString& found) {
    found = moved;
    return true;
  });
  auto relocated = ReadJobFile(dir / "a.xml");
  SetJobInputRelocator(nullptr);
  ASSERT_TRUE(relocated);
  EXPECT_EQ(relocated->input, moved);
  // A file that exists but no source opens drops the job.
  testsupport::WriteFile(dir / "c.xml", "<xml>\n<castora_data input=\"" + (dir / "c.xml").string() +
                                            "\" >\n</castora_data>\n</xml>\n");
  EXPECT_FALSE(ReadJobFile(dir / "c.xml"));
}

TEST(JobXml, PresetIsFoundByNameOrFallsBackToTheCurrentEntry) {
  ScratchDir dir;
  PresetList* list = FindPresetList(0);
  if (!list) list = CreatePresetList(0);
  if (!list->current) list->SetCurrent(list->AddNewPreset(L"(none)", 0));
  Preset* named = list->FindByName(L"Voice & more");
  if (!named) named = list->AddNewPreset(L"Voice & more", 1);
  Job job(nullptr);
  job.preset = named;
  auto back = RoundTrip(job, dir);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->preset, named);
  testsupport::WriteFile(dir / "p.xml", "<xml>\n<castora_data preset=\"Gone\" >\n</castora_data>\n</xml>\n");
  auto gone = ReadJobFile(dir / "p.xml");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->preset, list->current);
}

TEST(JobXml, NumbersIgnoreTheProcessLocale) {
  ScratchDir dir;
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "tr_TR.utf8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "no comma-decimal locale is installed";
  std::locale::global(std::locale(std::setlocale(LC_ALL, nullptr)));
  Job job(nullptr);
  job.swf_fps = 12.5f;
  job.video.fps = 29.97f;
  std::string text;
  auto back = RoundTrip(job, dir, &text);
  std::setlocale(LC_ALL, saved.c_str());
  std::locale::global(std::locale::classic());
  ASSERT_TRUE(back);
  EXPECT_NE(text.find(" swf_fps=\"12.5\" "), std::string::npos);
  EXPECT_NE(text.find(" fps=\"29.97\" "), std::string::npos);
  EXPECT_EQ(back->swf_fps, 12.5f);
  EXPECT_EQ(back->video.fps, 29.97f);
}

}  // namespace

namespace {

// The flag is read before the video size, while the video has the input's size, which no
// movie can have here: the movie still follows the video size saved.
TEST(JobXml, MatchedVideoDimensionsReadBackOverAWideInput) {
  ScratchDir dir;
  Job job(nullptr);
  job.SetInputFile(MakeFakeInput(dir / "wide.fake", {12000, 100, true, true, 1000}));
  job.video.SetOutputWidth(600);
  job.SetMatchVideoDimensions(true);
  auto back = RoundTrip(job, dir);
  EXPECT_TRUE(back && back->match_video_dimensions && back->swf_width == 600u);
  // A file that says the video also matches that source reads without the claim.
  job.video.match_source_dimensions = true;
  ASSERT_TRUE(WriteJobFile(job, dir / "claim.xml"));
  back = ReadJobFile(dir / "claim.xml");
  EXPECT_TRUE(back && !back->video.match_source_dimensions && back->video.width == 600);
  // Nor does a job whose video follows that source (its movie free) keep following it once
  // its movie follows the video.
  job.SetMatchVideoDimensions(false);
  job.SetMatchVideoDimensions(true);
  EXPECT_FALSE(job.video.match_source_dimensions);
}

TEST(JobXml, PlayerIsReadFromLibraryZeroWithItsValues) {
  ScratchDir dir;
  Job job(nullptr);
  job.SetPlayer(LibraryZeroPlayer(L"Slim", {4000, 400, {{L"fixed_height", L"true"}, {L"ztaVarColor", L"red"}}})->Clone());
  job.Player()->SetVariable(L"ztaVarColor", L"green");
  std::string text;
  auto back = RoundTrip(job, dir, &text);
  ASSERT_TRUE(back);
  ASSERT_TRUE(back->Player());
  EXPECT_EQ(*back->Player()->GetVariable(L"ztaVarColor"), L"green");
  EXPECT_EQ(back->swf_height, 20u);
  EXPECT_NE(text.find(" />\n<player_data name=\"Slim\" >\n<var name=\"ztaVarColor\" "
                      "value=\"green\" />\n</player_data>\n</castora_data>\n"),
            std::string::npos);
  // The movie may be sized apart from the player's fixed side: the publish size stays the
  // player's through save and open.
  job.SetMovieSize(320, 240);
  ASSERT_EQ(job.publish.movie_height, 20);
  auto resized = RoundTrip(job, dir);
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->swf_height, 240u);
  EXPECT_EQ(resized->publish.movie_width, 320);
  EXPECT_EQ(resized->publish.movie_height, 20);
  // Names as they read back (no line feed, U+FFFD for a character XML cannot carry) find
  // their templates; of names that read alike, the one with the written variables.
  const wchar_t* names[] = {L"lf\nskin", L"lfskin", L"cr\r\tctl\x01\n"};
  for (const wchar_t* name : names)
    LibraryZeroPlayer(name, {4000, 400, {{L"ztaVar" + std::to_wstring(name[2]), L"1"}}});
  for (const wchar_t* name : names) {
    job.SetPlayer(LibraryZeroPlayer(name, {})->Clone());
    auto named = RoundTrip(job, dir);
    ASSERT_TRUE(named && named->Player());
    EXPECT_EQ(named->Player()->Name(), name);
  }
  // A template that is not in the library leaves the job without a player.
  testsupport::WriteFile(dir / "p.xml", "<xml>\n<castora_data >\n<player_data name=\"Gone\" >\n"
                                        "</player_data>\n</castora_data>\n</xml>\n");
  auto gone = ReadJobFile(dir / "p.xml");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->Player(), nullptr);
}

}  // namespace

namespace {

// Every attribute of every element of a full job, in turn, replaced by hostile values: the
// job reads without fault (the sanitizer builds check the arithmetic) and writes again.
TEST(JobXml, HostileAttributeValuesReadCleanly) {
  ScratchDir dir;
  Job job(nullptr);
  FillJob(job);
  ASSERT_TRUE(WriteJobFile(job, dir / "full.xml"));
  const std::string text = ReadFile(dir / "full.xml");
  const char* values[] = {"", "-1", "99999999999", "-99999999999", "1e39", "-1e39", "nan",
                          "inf", "0x10", "  7", "true", "\xc3\xa9", "4294967296"};
  size_t pos = 0, attributes = 0;
  while ((pos = text.find("=\"", pos)) != std::string::npos) {
    const size_t start = pos + 2, end = text.find('"', start);
    ASSERT_NE(end, std::string::npos);
    if (text.compare(start - 10, 8, "version=") != 0 && text.compare(start - 11, 9, "encoding=") != 0) {
      ++attributes;
      for (const char* v : values) {
        testsupport::WriteFile(dir / "h.xml", text.substr(0, start) + v + text.substr(end));
        auto read = ReadJobFile(dir / "h.xml");
        if (read) {
          EXPECT_TRUE(WriteJobFile(*read, dir / "o.xml"));
          EXPECT_GE(read->watermark.width, 1);
          EXPECT_LE(read->watermark.width, 10000);
        }
      }
    }
    pos = end + 1;
  }
  EXPECT_GT(attributes, 100u);
}

}  // namespace
