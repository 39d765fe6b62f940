// Times the XML reader on a project-sized document beside expat parsing the same bytes with
// no handlers, so that the cost of building and reading the tree stays visible.
#include <expat.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "framework/platform/XmlReader.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

namespace {

std::string JobElement(int i) {
  std::string n = std::to_string(i);
  std::string s = "<castora_data input=\"/home/user/Music/Album &amp; Co/track " + n +
                  " &#xe9;t&#xe9;.aif\" output=\"/home/user/Movies/track" + n +
                  ".swf\" export_format=\"swf\" preset=\"Default &lt;web&gt;\" enable_video=\"false\" "
                  "enable_audio=\"true\" swf_width=\"320\" swf_height=\"240\" "
                  "match_video_dimensions=\"true\" start_msec=\"0\" end_msec=\"183000\" "
                  "match_source_duration=\"true\" fade_in=\"false\" fade_in_msec=\"1000\" "
                  "fade_out=\"true\" fade_out_msec=\"2000\" swf_fps=\"12\" swf_bgcolor=\"16777215\" "
                  "compress=\"true\" protect=\"false\" disable_printing=\"false\" use_watermark=\"false\" "
                  "player_auto_play=\"true\" generate_spectrum_data=\"false\" >\n";
  s += "<video_data codec=\"0\" quality=\"80\" keyframe=\"48\" smoothing=\"true\" />\n";
  s += "<audio_data codec=\"2\" sample_rate=\"44100\" bit_rate=\"128\" channels=\"2\" "
       "use_custom_audio=\"false\" stream=\"true\" />\n";
  s += "<image_data path=\"/home/user/Pictures/cover" + n + ".png\" scale=\"1\" x=\"0\" y=\"0\" />\n";
  s += "<swf_data version=\"8\" title=\"Track " + n + " &#x2014; live\" loop=\"false\" />\n";
  s += "<watermark_data text=\"\" opacity=\"50\" position=\"3\" />\n";
  s += "<publish_data html=\"true\" template=\"default\" width=\"100%\" />\n";
  s += "<jukebox_data enabled=\"false\" />\n";
  s += "</castora_data>\n";
  return s;
}

template <typename F>
double Millis(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int CountAttributes(const XmlValue& value) {
  int count = 0;
  XmlElement element;
  if (value.ToElement(element)) {
    for (const char* name : {"input", "output", "swf_fps", "enable_audio", "end_msec", "title"}) {
      XmlValue a;
      if (element.Attribute(name, a)) {
        (void)a.AsString();
        (void)a.AsLong();
        ++count;
      }
    }
  }
  XmlNode node;
  value.ToNode(node);
  for (int i = 0; i < node.ChildCount(); ++i) {
    XmlValue child;
    if (node.ChildAt(i, child)) count += CountAttributes(child);
  }
  return count;
}

TEST(XmlBenchmarkTest, ThousandJobsBesideExpatAlone) {
  std::string doc = "<xml version=\"1.0\" encoding=\"UTF-8\">\n<brivane version_major=\"1\" "
                    "version_minor=\"8\"><castora_jobs current_data=\"0\" batch_mode=\"false\" >\n";
  for (int i = 0; i < 1000; ++i) doc += JobElement(i);
  doc += "</castora_jobs>\n</brivane>\n</xml>\n";
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "project.bva", doc);

  double expatMs = 0, readerMs = 0;
  bool expatOk = false, readerOk = false;
  int attributes = 0;
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    expatMs += Millis([&] {
      XML_Parser p = XML_ParserCreate("UTF-8");
      expatOk = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
      XML_ParserFree(p);
    });
    readerMs += Millis([&] {
      XmlDocument d;
      readerOk = d.Load(toolbox::Utf8ToWide((dir / "project.bva").string()));
      XmlValue root;
      if (readerOk && d.GetRoot(root)) attributes = CountAttributes(root);
    });
  }
  ASSERT_TRUE(expatOk);
  ASSERT_TRUE(readerOk);
  EXPECT_EQ(attributes, 1000 * 6);
  std::printf("1,000 jobs, %zu bytes: expat alone %.2f ms, XML reader (load, tree, reads) %.2f ms\n",
              doc.size(), expatMs / kRounds, readerMs / kRounds);
}

}  // namespace
