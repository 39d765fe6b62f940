// Image filters and transitions in XML: unknown filters keep their attributes in order;
// transitions write and read their duration and their own attributes.
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "imaging/ImageFilter.h"
#include "imaging/ImageTransition.h"
#include "support/TestSupport.h"

namespace {

std::string Write(const testsupport::ScratchDir& dir, const std::function<void(XmlWriter&)>& f) {
  XmlWriter w;
  EXPECT_TRUE(w.Open(FromNativeString((dir / "x.xml").string()), XmlWriterOptions(), true));
  f(w);
  EXPECT_TRUE(w.Close());
  return testsupport::ReadFile(dir / "x.xml");
}

// Every child element of the document's root, in order.
void ForEachElement(const testsupport::ScratchDir& dir, const std::string& body,
                    const std::function<void(const XmlValue&)>& f) {
  testsupport::WriteFile(dir / "in.xml", "<xml>\n" + body + "</xml>\n");
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(FromNativeString((dir / "in.xml").string())));
  XmlValue root;
  ASSERT_TRUE(doc.GetRoot(root));
  element_xml::ForEachChildElement(root, [&](const XmlValue& v, const std::wstring&) { f(v); });
}

TEST(ImageFilterXml, GenericFiltersKeepEveryAttributeInOrder) {
  testsupport::ScratchDir dir;
  std::vector<std::unique_ptr<ImageFilter>> filters;
  ForEachElement(dir,
                 "<filter zeta=\"1\" name=\"blur &amp; more\" alpha=\"&lt;2&gt;\" mid=\"\" />\n"
                 "<filter radius=\"3\" />\n<filter name=\"\" />\n",
                 [&](const XmlValue& v) {
                   XmlElement e;
                   ASSERT_TRUE(v.ToElement(e));
                   filters.emplace_back(ReadFilterElement(FindFilterList(0), e));
                 });
  ASSERT_EQ(filters.size(), 3u);
  ASSERT_TRUE(filters[0]);
  EXPECT_FALSE(filters[1]);  // no name: no filter
  ASSERT_TRUE(filters[2]);
  EXPECT_EQ(filters[0]->Name(), L"blur & more");
  const std::string text = Write(dir, [&](XmlWriter& w) { filters[0]->WriteXml(w); filters[2]->WriteXml(w); });
  EXPECT_NE(text.find("<filter name=\"blur &amp; more\" zeta=\"1\" alpha=\"&lt;2&gt;\" mid=\"\" />\n"
                      "<filter name=\"\" />\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(FindFilterList(1), nullptr);
  XmlElement none;
  EXPECT_EQ(ReadFilterElement(nullptr, none), nullptr);
}

// A transition with one parameter of its own.
class Wipe : public ImageTransition {
 public:
  const wchar_t* Name() const override { return L"wipe"; }
  ImageTransition* Duplicate() const override { return new Wipe(); }
  int32_t angle = 90;

 protected:
  void WriteAttributes(XmlWriter& w) const override { element_xml::Long(w, L"angle", angle); }
  void ReadAttributes(const XmlElement& e) override { element_xml::ReadLong(e, "angle", angle); }
};

TEST(ImageTransitionXml, DurationAndOwnAttributes) {
  testsupport::ScratchDir dir;
  Wipe wipe;
  wipe.SetDuration(1500);
  wipe.angle = -45;
  const std::string text = Write(dir, [&](XmlWriter& w) { wipe.WriteXml(w, L"image_fx_in"); });
  EXPECT_NE(text.find("<image_fx_in name=\"wipe\" duration=\"1500\" angle=\"-45\" />\n"), std::string::npos);
  std::unique_ptr<ImageTransition> copy(wipe.Duplicate());
  EXPECT_EQ(copy->Duration(), 0u);
  EXPECT_EQ(static_cast<Wipe*>(copy.get())->angle, 90);
  ForEachElement(dir, "<image_fx_in name=\"wipe\" duration=\"1500\" angle=\"-45\" />\n",
                 [&](const XmlValue& v) {
                   XmlElement e;
                   ASSERT_TRUE(v.ToElement(e));
                   EXPECT_TRUE(copy->ReadXml(e));
                 });
  EXPECT_EQ(copy->Duration(), 1500u);
  EXPECT_EQ(static_cast<Wipe*>(copy.get())->angle, -45);
  EXPECT_EQ(FindTransitionList(0), nullptr);
  EXPECT_EQ(FindTransitionByName(nullptr, L"wipe"), nullptr);
  EXPECT_EQ(TransitionList::FindByName(nullptr, L"wipe"), nullptr);
}

// The settings readers parse numbers and match words on the document's own text: the result
// is the wide readers' for every text, however long and whatever characters it holds.
TEST(ElementXmlTest, ValueReadersMatchTheWideReaders) {
  testsupport::ScratchDir dir;
  const std::string texts[] = {
      "", "12", "+12", " 12", "\xe3\x80\x80" "12", "\xc2\xa0" "12", "-3", "4294967296", "12x", "x",
      "mono", "MONO", "Stereo", "stereo ", "mon", "\xc4\xb0", "\xef\xbd\x8d" "ono", std::string(80, '7'),
      std::string(80, 'm'),
  };
  const wchar_t* const words[] = {L"mono", nullptr, L"", L"stereo"};
  std::string body = "<v";
  for (size_t i = 0; i < std::size(texts); ++i) body += " a" + std::to_string(i) + "=\"" + texts[i] + "\"";
  body += "/>\n<\xc3\xa9l\xc3\xa9ment/>\n<" + std::string(70, 'n') + "/>\n";
  testsupport::WriteFile(dir / "in.xml", "<xml>\n" + body + "</xml>\n");
  XmlDocument doc;
  XmlValue root;
  ASSERT_TRUE(doc.Load(FromNativeString((dir / "in.xml").string())));
  ASSERT_TRUE(doc.GetRoot(root));
  std::vector<std::wstring> names;
  element_xml::ForEachChildElement(root, [&](const XmlValue& value, const std::wstring& name) {
    names.push_back(name);
    EXPECT_EQ(element_xml::ElementName(value), name);
    XmlElement e;
    if (!value.ToElement(e) || e.AttributeCount() == 0) return;
    for (size_t i = 0; i < std::size(texts); ++i) {
      XmlValue v;
      ASSERT_TRUE(e.Attribute(("a" + std::to_string(i)).c_str(), v));
      const std::wstring wide = v.AsString();
      EXPECT_EQ(element_xml::ParseUnsigned(v), element_xml::ParseUnsigned(wide)) << texts[i];
      for (bool ignoreCase : {false, true}) {
        uint32_t fast = 9, slow = 9;
        EXPECT_EQ(element_xml::MatchWord(v, words, std::size(words), ignoreCase, fast),
                  element_xml::MatchWord(wide, words, std::size(words), ignoreCase, slow))
            << texts[i];
        EXPECT_EQ(fast, slow) << texts[i];
      }
    }
  });
  const std::vector<std::wstring> expected = {L"v", L"\u00e9l\u00e9ment", std::wstring(70, L'n')};
  EXPECT_EQ(names, expected);
}

}  // namespace
