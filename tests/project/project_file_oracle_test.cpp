// The project file judged by python3's xml.etree and by xmllint, and its layout checked on
// the raw bytes.
#include <gtest/gtest.h>

#include <string>

#include "framework/platform/WideText.h"
#include "job_xml_support.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace {

// Three jobs with other values each, saved.
std::string SaveProject(const testsupport::ScratchDir& dir) {
  NoPresetEntry();
  ProjectDocument doc;
  for (int i = 0; i < 3; ++i) {
    const PathString in = MakeFakeInput(dir / ("in" + std::to_string(i) + ".fake"), {0, 0, false, true, 9000});
    Job* job = doc.jobs.AddJobForFile(in);
    job->ApplyPreset(FindPresetList(0)->current, true);
    job->swf_width = 100u + static_cast<uint32_t>(i);
    job->swf_fps = 12.5f + static_cast<float>(i);
    job->audio.bit_rate = 64 + i;
    job->movie.click_url = L"http://x/?q=" + std::to_wstring(i) + L"&\u00e9";
  }
  doc.jobs.SelectAt(2);
  const std::string path = (dir / "p.bva").string();
  EXPECT_TRUE(doc.Save(FromNativeString(path)));
  return path;
}

TEST(ProjectFileOracle, PythonFindsEveryJobsValues) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  const std::string path = SaveProject(dir);
  int status = 0;
  const std::string out = testsupport::Python(
      "import xml.etree.ElementTree as ET\n"
      "root = ET.parse('" + path + "').getroot()\n"
      "print(root.tag, root.attrib, [c.tag for c in root])\n"
      "b = root.find('brivane'); jobs = b.find('castora_jobs')\n"
      "print(list(b.attrib.items()), list(jobs.attrib.items()))\n"
      "for j in jobs.findall('castora_data'):\n"
      "  print(list(j.attrib)[:4], j.get('input').rsplit('/',1)[1], j.get('preset'), j.get('swf_width'),\n"
      "        j.get('swf_fps'), j.find('audio_data').get('bit_rate'),\n"
      "        j.find('swf_data').find('mouse_click_action').get('url'), [c.tag for c in j])\n",
      &status);
  EXPECT_EQ(status, 0) << out;
  const std::string children =
      "['video_data', 'audio_data', 'image_data', 'swf_data', 'watermark_data', 'publish_data', 'jukebox_data']";
  EXPECT_EQ(out,
            "xml {'version': '1.0', 'encoding': 'UTF-8'} ['brivane']\n"
            "[('version_major', '1'), ('version_minor', '8')] [('current_data', '2'), ('batch_mode', 'false')]\n"
            "['input', 'output', 'export_format', 'preset'] in0.fake (none) 100 12.5 64 http://x/?q=0&\xc3\xa9 " + children + "\n"
            "['input', 'output', 'export_format', 'preset'] in1.fake (none) 101 13.5 65 http://x/?q=1&\xc3\xa9 " + children + "\n"
            "['input', 'output', 'export_format', 'preset'] in2.fake (none) 102 14.5 66 http://x/?q=2&\xc3\xa9 " + children + "\n");
}

TEST(ProjectFileOracle, XmllintAcceptsItAndTheTagsEndAsSaved) {
  testsupport::ScratchDir dir;
  const std::string path = SaveProject(dir);
  const std::string bytes = testsupport::ReadFile(path);
  EXPECT_EQ(bytes.rfind("<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane version_major=\"1\" version_minor=\"8\">\n"
                        "<castora_jobs current_data=\"2\" batch_mode=\"false\" >\n<castora_data input=\"", 0), 0u);
  for (const char* part : {"\" generate_spectrum_data=\"false\" >\n<video_data ", "</video_data>\n<audio_data ",
                           "\" stream=\"true\" />\n<image_data ", "</image_data>\n<swf_data ", "\">\n<preload_data",
                           "</castora_data>\n</castora_jobs>\n</brivane>\n\n</xml>\n"})
    EXPECT_NE(bytes.find(part), std::string::npos) << part;
  if (!testsupport::HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  int status = 0;
  const std::string out = testsupport::Run("xmllint --noout '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
}

TEST(ProjectFileOracle, PythonAndXmllintReadAPresetFile) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  Preset preset(L"Mine & \u00e9", 15);
  preset.settings.video.SetFrameRate(29.97f);
  const std::string path = (dir / "p.xml").string();
  ASSERT_TRUE(preset.WriteFile(FromNativeString(path)));
  int status = 0;
  const std::string out = testsupport::Python(
      "import xml.etree.ElementTree as ET\n"
      "p = ET.parse('" + path + "').getroot().find('brivane_preset')\n"
      "print(p.get('name'), [c.tag for c in p], [c.tag for c in p.find('doc')], [c.tag for c in p.find('swf')])\n"
      "print(list(p.find('doc').attrib))\n"
      "print(list(p.find('video').attrib.items())[-4:], list(p.find('audio').attrib.values()))\n",
      &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "Mine & \xc3\xa9 ['doc', 'video', 'audio', 'image', 'swf'] ['watermark_data', 'publish_data'] "
            "['preload_data', 'mouse_click_action', 'movie_end_action']\n"
            "['width', 'height', 'match_vid_dim', 'fps', 'bgcolor', 'compress', 'protect', 'disable_printing', "
            "'use_watermark', 'export_format']\n"
            "[('video_fps', '29.97'), ('smoothing', 'false'), ('deblocking', 'false'), ('quality', '80')] "
            "['mp3', '44100', '160', 'stereo']\n");
  if (!testsupport::HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  const std::string lint = testsupport::Run("xmllint --noout '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << lint;
}

}  // namespace
