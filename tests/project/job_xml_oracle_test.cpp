// The job's XML judged by python3's xml.etree: the written document parses, and the
// attributes and child order are what was written.
#include <string>

#include "framework/platform/WideText.h"
#include "job_xml_support.h"
#include "project/Job.h"
#include "support/TestSupport.h"

namespace {

TEST(JobXmlOracle, WrittenJobParsesInPython) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  testsupport::ScratchDir dir;
  Job job(nullptr);
  FillJob(job);
  job.preset = NoPresetEntry();
  ASSERT_TRUE(WriteJobFile(job, dir / "job.xml"));
  int status = 0;
  const std::string out = testsupport::Python(
      "import xml.etree.ElementTree as ET\n"
      "root = ET.parse('" + (dir / "job.xml").string() + "').getroot()\n"
      "job = root.find('castora_data')\n"
      "print(root.tag, [c.tag for c in job])\n"
      "print(job.get('output'))\n"
      "print(job.get('swf_fps'), job.get('swf_bgcolor'), job.get('end_msec'))\n"
      "v = job.find('video_data')\n"
      "print([ (f.get('name'), sorted(f.attrib)) for f in v.findall('filter') ], v.get('crop_right'))\n"
      "s = job.find('swf_data')\n"
      "print(s.find('preload_data').attrib['text'], s.find('mouse_click_action').get('url'))\n"
      "print(s.find('movie_end_action').find('popup_data').attrib)\n"
      "j = job.find('jukebox_data')\n"
      "print(repr(j.get('artist')), repr(j.get('title')), repr(j.get('comment')))\n",
      &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "xml ['video_data', 'audio_data', 'image_data', 'swf_data', 'watermark_data', "
            "'publish_data', 'jukebox_data']\n"
            "/out/\xc3\x9cn\xc3\xaf" "code \"quoted\" & <angled>.flv\n"
            "29.97 4294967295 4000000000\n"
            "[('sharpen', ['amount', 'mode', 'name']), ('gamma', ['name'])] -32768\n"
            "Loading \"%\" http://example.com/?a=1&b=2\n"
            "{'width': '300', 'height': '200', 'x': '-1', 'y': '-2', 'toolbar': 'false', "
            "'location': 'true', 'directories': 'false', 'status': 'true', 'menubar': 'false', "
            "'scrollbars': 'true', 'resizable': 'false'}\n"
            "'\xc3\x84rtist' 'Title\\twith tab' \"'quoted'\"\n");
}

TEST(JobXmlOracle, XmllintAcceptsTheDocument) {
  if (!testsupport::HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  testsupport::ScratchDir dir;
  Job job(nullptr);
  FillJob(job);
  ASSERT_TRUE(WriteJobFile(job, dir / "job.xml"));
  int status = 0;
  testsupport::Run("xmllint --noout '" + (dir / "job.xml").string() + "' 2>&1", &status);
  EXPECT_EQ(status, 0);
}

}  // namespace
