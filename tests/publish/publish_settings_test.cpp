// Publish settings and popup records: defaults, copying, and their elements written, read
// and written again to the same bytes.
#include <functional>

#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "publish/PopupSettings.h"
#include "publish/PublishSettings.h"
#include "support/TestSupport.h"

namespace {

std::string WriteDoc(const testsupport::ScratchDir& dir, const char* name,
                     const std::function<void(XmlWriter&)>& write) {
  XmlWriter w;
  EXPECT_TRUE(w.Open(FromNativeString((dir / name).string()), XmlWriterOptions(), true));
  write(w);
  EXPECT_TRUE(w.Close());
  return testsupport::ReadFile(dir / name);
}

void ReadDoc(const testsupport::ScratchDir& dir, const char* name,
             const std::function<void(const XmlValue&)>& read) {
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(FromNativeString((dir / name).string())));
  XmlValue root;
  ASSERT_TRUE(doc.GetRoot(root));
  int n = 0;
  element_xml::ForEachChildElement(root, [&](const XmlValue& v, const std::wstring&) {
    if (n++ == 0) read(v);
  });
  EXPECT_EQ(n, 1);
}

TEST(PublishSettings, DefaultsAndAssign) {
  PublishSettings p;
  EXPECT_EQ(p.base_name, L"Untitled");
  EXPECT_TRUE(p.output_folder.empty());
  EXPECT_FALSE(p.publish_flv);
  PublishSettings q;
  q.html.display_width = 99;
  HtmlPublishSettings::Assign(p.html, q.html);
  EXPECT_EQ(p.html.display_width, 99);
  PopupSettings popup;
  EXPECT_EQ(popup, (PopupSettings{100, 100, 0, 0, false, false, false, false, false, false, false}));
}

TEST(PublishSettings, ElementRoundTrip) {
  testsupport::ScratchDir dir;
  PublishSettings p;
  p.SetBaseName(L"Mein \"Lied\" <1>");
  p.SetOutputFolder(L"/out/ordner");
  p.SetMovieWidth(-4);
  p.SetMovieHeight(99999);
  p.SetUseDefaultBaseName(false);
  p.SetPublishFlv(true);
  p.SetPublishSwf(false);
  p.SetPublishInstaller(true);
  p.html.display_height = 7;
  const std::string first = WriteDoc(dir, "a.xml", [&](XmlWriter& w) { p.WriteXml(w); });
  EXPECT_NE(first.find("<publish_data base_name=\"Mein &quot;Lied&quot; &lt;1&gt;\" "
                       "output_folder=\"/out/ordner\" use_default_base_name=\"false\" "
                       "publish_swf=\"false\" publish_flv=\"true\" publish_html=\"true\" "
                       "publish_mac_projector=\"false\" publish_win_projector=\"false\" "
                       "publish_quicktime=\"false\" publish_screen_saver=\"false\" "
                       "publish_installer=\"true\" movie_width=\"-4\" movie_height=\"99999\" "
                       "html_display_width=\"320\" html_display_height=\"7\" />\n"),
            std::string::npos)
      << first;
  PublishSettings back;
  ReadDoc(dir, "a.xml", [&](const XmlValue& v) { EXPECT_TRUE(back.ReadXml(v)); });
  EXPECT_EQ(WriteDoc(dir, "b.xml", [&](XmlWriter& w) { back.WriteXml(w); }), first);
}

TEST(PopupSettings, ElementRoundTripAndAbsentAttributes) {
  testsupport::ScratchDir dir;
  PopupSettings p{1, 2, -3, 4, true, false, true, false, true, false, true};
  const std::string first = WriteDoc(dir, "a.xml", [&](XmlWriter& w) { p.WriteXml(w, L"popup_data"); });
  PopupSettings back;
  ReadDoc(dir, "a.xml", [&](const XmlValue& v) { back.ReadXml(v); });
  EXPECT_EQ(back, p);
  EXPECT_EQ(WriteDoc(dir, "b.xml", [&](XmlWriter& w) { back.WriteXml(w, L"popup_data"); }), first);
  testsupport::WriteFile(dir / "c.xml", "<xml>\n<popup_data x=\"9\" resizable=\"TRUE\" />\n</xml>\n");
  PopupSettings partial;
  ReadDoc(dir, "c.xml", [&](const XmlValue& v) { partial.ReadXml(v); });
  EXPECT_EQ(partial, (PopupSettings{100, 100, 9, 0, false, false, false, false, false, false, true}));
}

}  // namespace
