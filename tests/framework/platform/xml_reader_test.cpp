#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "support/TestSupport.h"
#include "toolbox/Utf8.h"

namespace {

using testsupport::ScratchDir;
using testsupport::WriteFile;

std::wstring W(const std::string& s) { return toolbox::Utf8ToWide(s); }

// Loads the bytes as a document file in a scratch folder.
struct Loaded {
  ScratchDir dir;
  XmlDocument doc;
  bool ok = false;
  explicit Loaded(const std::string& bytes, const std::string& name = "doc.xml") {
    WriteFile(dir / name, bytes);
    ok = doc.Load(W((dir / name).string()));
  }
  // The wrapper element's node.
  XmlNode Root() {
    XmlValue root;
    XmlNode node;
    EXPECT_TRUE(doc.GetRoot(root));
    root.ToNode(node);
    return node;
  }
  XmlElement Child(int i) {
    XmlValue v;
    XmlElement e;
    EXPECT_TRUE(Root().ChildAt(i, v));
    EXPECT_TRUE(v.ToElement(e));
    return e;
  }
};

const char kWrapper[] = "<xml version=\"1.0\" encoding=\"UTF-8\">\n";

TEST(XmlReaderTest, WrapperFormGivesEncodingAndStandardDeclarationKeepsNone) {
  Loaded wrapper(std::string(kWrapper) + "<a/>\n</xml>\n");
  ASSERT_TRUE(wrapper.ok);
  EXPECT_EQ(wrapper.doc.Encoding(), 1);
  XmlValue root;
  ASSERT_TRUE(wrapper.doc.GetRoot(root));
  WideText name;
  EXPECT_TRUE(root.Name(name));
  EXPECT_STREQ(name.CStr(), L"xml");
  EXPECT_FALSE(wrapper.doc.GetRoot(root));  // only into an empty value

  Loaded standard("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<!-- c --><doc a=\"1\"/>\n");
  ASSERT_TRUE(standard.ok);
  EXPECT_EQ(standard.doc.Encoding(), 0);
  XmlValue first;
  ASSERT_TRUE(standard.doc.GetRoot(first));
  XmlElement e;
  EXPECT_FALSE(first.ToElement(e));  // the declaration is a node of its own
  EXPECT_TRUE(first.Name(name));
  EXPECT_STREQ(name.CStr(), L"xml");
}

TEST(XmlReaderTest, AttributeValuesAndTheirReaders) {
  Loaded l(std::string(kWrapper) +
           "<job n=\"12abc\" neg=\"-5\" big=\"99999999999\" small=\"-99999999999\" d=\" 44.1\" "
           "e=\"1e-07\" t=\"True\" one=\"1\" yes=\"yes\" "
           "s=\"a&lt;b &amp; &quot;c&quot;\" twice=\"&amp;lt;x&amp;#x41;\" "
           "lines=\"one&#x0a;two&#x0d;three\" tab=\"a&#x09;b\" raw=\"a\tb\" "
           "u=\"&#xc4;&#x4e2d;&#x1f600;&#65;\" Case=\"x\"/>\n</xml>\n");
  ASSERT_TRUE(l.ok);
  XmlElement job = l.Child(0);
  const auto attr = [&](const char* name) {
    XmlValue v;
    EXPECT_TRUE(job.Attribute(name, v)) << name;
    return v;
  };
  EXPECT_EQ(attr("n").AsLong(), 12);
  EXPECT_EQ(attr("neg").AsLong(), -5);
  EXPECT_EQ(attr("big").AsLong(), 2147483647);
  EXPECT_EQ(attr("small").AsLong(), -2147483647 - 1);
  EXPECT_DOUBLE_EQ(attr("d").AsDouble(), 44.1);
  EXPECT_DOUBLE_EQ(attr("e").AsDouble(), 1e-07);
  EXPECT_TRUE(attr("t").AsBool());
  EXPECT_FALSE(attr("one").AsBool());
  EXPECT_FALSE(attr("yes").AsBool());
  EXPECT_EQ(attr("s").AsString(), L"a<b & \"c\"");
  EXPECT_EQ(attr("twice").AsString(), L"&lt;x&#x41;");
  EXPECT_EQ(attr("twice").AsStringDecoded(), L"<xA");
  EXPECT_EQ(attr("lines").AsString(), L"onetwo\rthree");  // line feeds leave attributes
  EXPECT_EQ(attr("tab").AsString(), L"a\tb");
  EXPECT_EQ(attr("raw").AsString(), L"a b");  // what any parser makes of a raw tab
  EXPECT_EQ(attr("u").AsString(), L"\u00c4\u4e2d\U0001F600A");

  XmlValue absent;
  EXPECT_FALSE(job.Attribute("case", absent));  // names match exactly
  EXPECT_FALSE(job.Attribute("missing", absent));
  EXPECT_EQ(absent.AsLong(7), 7);
  EXPECT_EQ(absent.AsString(), L"");
  EXPECT_FALSE(absent.AsBool());
  WideText text;
  text.Assign(L"keep");
  EXPECT_FALSE(absent.Text(text, L"default"));
  EXPECT_STREQ(text.CStr(), L"default");
}

// Values are kept as the document holds them (UTF-8) and read as numbers or booleans without
// wide strings where they can be: the result is the wide readers' for every text.
TEST(XmlReaderTest, ValuesReadAsTheWideReadersReadThem) {
  const std::string texts[] = {
      "", "-", "+5", " 7", "007", "-0", "123456789", "-123456789", "1234567890", "-2147483648",
      "2147483648", "12abc", "1-2", "--1", "0x1F", "\xd9\xa3", "\xe3\x80\x80" "42", "1e3", " 44.1",
      "nan", "-inf", "true", "TRUE", "tRuE", "true ", " true", "tru", "truee", "\xef\xbd\x94rue",
      "\xc4\xb0", std::string(70, '9'), "-" + std::string(70, '1'),
  };
  std::string doc = std::string(kWrapper) + "<v";
  for (size_t i = 0; i < std::size(texts); ++i) doc += " a" + std::to_string(i) + "=\"" + texts[i] + "\"";
  doc += "/>\n</xml>\n";
  Loaded l(doc);
  ASSERT_TRUE(l.ok);
  XmlElement e = l.Child(0);
  for (size_t i = 0; i < std::size(texts); ++i) {
    XmlValue v;
    ASSERT_TRUE(e.Attribute(("a" + std::to_string(i)).c_str(), v));
    const std::wstring wide = W(texts[i]);
    EXPECT_EQ(v.AsString(), wide) << texts[i];
    EXPECT_EQ(v.AsLong(), ParseLong(wide.c_str(), nullptr)) << texts[i];
    EXPECT_EQ(v.AsBool(), CompareNoCase(wide.c_str(), L"true") == 0) << texts[i];
    const double d = v.AsDouble(), expected = ParseDouble(wide.c_str(), nullptr);
    EXPECT_TRUE(d == expected || (std::isnan(d) && std::isnan(expected))) << texts[i];
  }
  // Line feeds come into attribute values only through references, in any of their forms,
  // and are dropped there.
  for (const char* reference : {"&#x0a;", "&#10;", "&#xA;", "&#0010;", "&#x000A;"}) {
    Loaded one(std::string(kWrapper) + "<v lf=\"a" + reference + "b\"/>\n</xml>\n");
    ASSERT_TRUE(one.ok);
    XmlValue lf;
    ASSERT_TRUE(one.Child(0).Attribute("lf", lf));
    EXPECT_EQ(lf.AsString(), L"ab") << reference;
  }
}

// Trees live in blocks that a closed document hands to the next one: documents loaded side
// by side and one after another each keep their own values, whatever their size.
TEST(XmlReaderTest, DocumentsLoadedInTurnKeepTheirOwnTrees) {
  const auto make = [](char letter, int elements, size_t longValue) {
    std::string doc = std::string(kWrapper);
    for (int i = 0; i < elements; ++i)
      doc += "<e" + std::string(1, letter) + " n=\"" + std::to_string(i) + "\" t=\"" +
             std::string(static_cast<size_t>(i % 40), letter) + "\"/>\n";
    doc += "<long v=\"" + std::string(longValue, letter) + "\"/>\n</xml>\n";
    return doc;
  };
  const auto check = [](XmlDocument& doc, char letter, int elements, size_t longValue) {
    XmlValue root;
    XmlNode node;
    ASSERT_TRUE(doc.GetRoot(root));
    root.ToNode(node);
    ASSERT_EQ(node.ChildCount(), elements + 1);
    for (int i = 0; i <= elements; ++i) {
      XmlValue child, a;
      XmlElement e;
      ASSERT_TRUE(node.ChildAt(i, child));
      ASSERT_TRUE(child.ToElement(e));
      if (i == elements) {
        ASSERT_TRUE(e.Attribute("v", a));
        EXPECT_EQ(a.AsString(), std::wstring(longValue, wchar_t(letter)));
        continue;
      }
      ASSERT_TRUE(e.Attribute("t", a));
      EXPECT_EQ(a.AsString(), std::wstring(static_cast<size_t>(i % 40), wchar_t(letter)));
      ASSERT_TRUE(e.Attribute("n", a));
      EXPECT_EQ(a.AsLong(), i);
      WideText name;
      ASSERT_TRUE(child.Name(name));
      EXPECT_EQ(std::wstring(name.CStr()), std::wstring(L"e") + wchar_t(letter));
    }
  };
  ScratchDir dir;
  // Large enough for several blocks, with a value larger than a block of its own.
  WriteFile(dir / "a.xml", make('a', 40000, 3u << 20));
  WriteFile(dir / "b.xml", make('b', 30000, 10));
  WriteFile(dir / "bad.xml", make('c', 30000, 10) + "<unclosed>");
  const PathString a = W((dir / "a.xml").string()), b = W((dir / "b.xml").string()),
                   bad = W((dir / "bad.xml").string());
  auto first = std::make_unique<XmlDocument>();
  XmlDocument second;
  ASSERT_TRUE(first->Load(a));
  ASSERT_TRUE(second.Load(b));
  first.reset();  // its blocks go to the next document
  XmlDocument third;
  ASSERT_TRUE(third.Load(a));
  check(second, 'b', 30000, 10);
  check(third, 'a', 40000, 3u << 20);
  // A document loaded again drops its old tree, and a failed load leaves none.
  ASSERT_TRUE(second.Load(a));
  check(second, 'a', 40000, 3u << 20);
  EXPECT_FALSE(second.Load(bad));
  XmlValue root;
  EXPECT_FALSE(second.GetRoot(root));
  ASSERT_TRUE(second.Load(b));
  check(second, 'b', 30000, 10);
  check(third, 'a', 40000, 3u << 20);
}

TEST(XmlReaderTest, ElementTextAndChildren) {
  Loaded l(std::string(kWrapper) +
           "<a>line one&#x0a;line two</a>\n"
           "<b><inner/>tail</b>\n"
           "<c>&#x0a;</c>\n"
           "<d>   </d>\n"
           "<e>x &amp; <![CDATA[<y>]]></e>\n"
           "<!-- note -->\n"
           "</xml>\n");
  ASSERT_TRUE(l.ok);
  XmlNode root = l.Root();
  ASSERT_EQ(root.ChildCount(), 6);
  // The text of a value is its first child's: none for an empty element or a comment.
  std::wstring expected[] = {L"line one\nline two", L"inner", L"\n", L"", L"x & <y>", L""};
  bool present[] = {true, true, true, false, true, false};
  for (int i = 0; i < 6; ++i) {
    XmlValue v;
    ASSERT_TRUE(root.ChildAt(i, v));
    WideText text;
    text.Assign(L"unchanged");
    EXPECT_EQ(v.Text(text), present[i]) << i;
    EXPECT_EQ(std::wstring(text.CStr()), present[i] ? expected[i] : L"unchanged") << i;
  }
  XmlValue comment;
  XmlElement e;
  ASSERT_TRUE(root.ChildAt(5, comment));
  EXPECT_FALSE(comment.ToElement(e));
  WideText name;
  ASSERT_TRUE(comment.Name(name));
  EXPECT_STREQ(name.CStr(), L" note ");

  // A text larger than the tree's blocks, in lines and with references, is kept whole.
  std::string big, expectedText;
  for (int i = 0; i < 100000; ++i) big += "line &amp; \u00e9 " + std::to_string(i) + "\n";
  for (int i = 0; i < 100000; ++i) expectedText += "line & \u00e9 " + std::to_string(i) + "\n";
  Loaded large(std::string(kWrapper) + "<t>" + big + "</t>\n</xml>\n");
  XmlValue t;
  std::string_view text;
  ASSERT_TRUE(large.ok && large.Root().ChildAt(0, t) && t.Utf8Text(text));
  EXPECT_TRUE(text.size() > (1u << 20) && text == expectedText);
}

TEST(XmlReaderTest, ChildAtReplacesWhatTheValueHeld) {
  Loaded l(std::string(kWrapper) + "<first/><second/>\n</xml>\n");
  ASSERT_TRUE(l.ok);
  XmlNode root = l.Root();
  XmlValue v;
  WideText name;
  ASSERT_TRUE(root.ChildAt(0, v));
  ASSERT_TRUE(root.ChildAt(1, v));
  ASSERT_TRUE(v.Name(name));
  EXPECT_STREQ(name.CStr(), L"second");
  EXPECT_FALSE(root.ChildAt(2, v));
  EXPECT_FALSE(root.ChildAt(-1, v));
  ASSERT_TRUE(v.Name(name));
  EXPECT_STREQ(name.CStr(), L"second");
}

TEST(XmlReaderTest, BadDocumentsFailCleanly) {
  std::string deep;
  for (int i = 0; i < XmlDocument::kMaxDepth + 10; ++i) deep += "<a>";
  for (int i = 0; i < XmlDocument::kMaxDepth + 10; ++i) deep += "</a>";
  std::string fine;
  for (int i = 0; i < 100; ++i) fine += "<a>";
  for (int i = 0; i < 100; ++i) fine += "</a>";
  std::string manyAttributes = "<a";
  for (size_t i = 0; i <= XmlDocument::kMaxNodes; ++i) manyAttributes += " a" + std::to_string(i) + "=''";
  manyAttributes += "/>";
  const struct Case {
    const char* what;
    std::string bytes;
    bool ok;
  } cases[] = {
      {"too many attributes", manyAttributes, false},
      {"too large", "<a>" + std::string(XmlDocument::kMaxFileSize, 'x') + "</a>", false},
      {"empty file", "", false},
      {"only blanks", "  \n", false},
      {"truncated", std::string(kWrapper) + "<a b=\"1\"/>\n</xm", false},
      {"unclosed", std::string(kWrapper) + "<a>", false},
      {"mismatched", "<a></b>", false},
      {"two roots", "<a/><b/>", false},
      {"bad UTF-8", "<a>\xC3\x28</a>", false},
      {"Latin-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", false},
      {"undefined entity", "<a>&nbsp;</a>", true},
      {"upper-case X", "<a>&#X41;</a>", true},
      {"bare ampersand", "<a>a & b</a>", false},
      {"doctype", "<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>", false},
      {"nul byte", std::string("<a>\0</a>", 8), false},
      {"too deep", deep, false},
      {"deep but allowed", fine, true},
      {"decimal reference", "<a>&#65;</a>", true},
  };
  for (const Case& c : cases) {
    Loaded l(c.bytes);
    EXPECT_EQ(l.ok, c.ok) << c.what;
    XmlValue root;
    EXPECT_EQ(l.doc.GetRoot(root), c.ok) << c.what;
  }
  XmlDocument missing;
  EXPECT_FALSE(missing.Load(L"/nonexistent/folder/doc.xml"));
}

// A hand-edited file with a reference no reader resolves keeps that reference as text, in
// element text and in attribute values; comments and CDATA sections keep theirs as written.
TEST(XmlReaderTest, UnresolvableReferencesStayAsTheyStand) {
  const struct Case {
    std::string text;
    std::wstring value;
  } cases[] = {
      {"&nbsp;", L"&nbsp;"},
      {"a&nbsp;b&copy;", L"a&nbsp;b&copy;"},
      {"&#X41;&#x41;", L"&#X41;A"},
      {"&caf\xC3\xA9;&_x.1-y:z;", L"&caf\u00e9;&_x.1-y:z;"},
      {"&lt;&amp;nbsp;&#65;", L"<&nbsp;A"},
  };
  for (const Case& c : cases) {
    Loaded l(std::string(kWrapper) + "<v a=\"" + c.text + "\">" + c.text + "</v>\n<w/>\n</xml>\n");
    ASSERT_TRUE(l.ok) << c.text;
    XmlValue attribute, element;
    ASSERT_TRUE(l.Child(0).Attribute("a", attribute));
    EXPECT_EQ(attribute.AsString(), c.value) << c.text;
    ASSERT_TRUE(l.Root().ChildAt(0, element));
    WideText text;
    ASSERT_TRUE(element.Text(text));
    EXPECT_EQ(std::wstring(text.CStr()), c.value) << c.text;
    EXPECT_EQ(l.Root().ChildCount(), 2);  // the rest of the document loads
  }
  Loaded literal(std::string(kWrapper) + "<!--&nbsp;&#xd83d;--><v><![CDATA[&nbsp;&#X41;&#xd83d;]]></v>\n</xml>\n");
  ASSERT_TRUE(literal.ok);
  XmlValue comment, v;
  WideText text;
  ASSERT_TRUE(literal.Root().ChildAt(0, comment));
  ASSERT_TRUE(comment.Name(text));
  EXPECT_STREQ(text.CStr(), L"&nbsp;&#xd83d;");
  ASSERT_TRUE(literal.Root().ChildAt(1, v));
  ASSERT_TRUE(v.Text(text));
  EXPECT_STREQ(text.CStr(), L"&nbsp;&#X41;&#xd83d;");
}

TEST(XmlReaderTest, OlderFilesAreRepairedBeforeParsing) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a\x01" "b\x1f", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {"\t\n\r", "\t\n\r"},
      {"&#xd83d;&#xde00;", "&#x1f600;"},
      {"&#xd83d;x", "&#xfffd;x"},
      {"&#xde00;", "&#xfffd;"},
      {"&#xfffe;&#xffff;&#x110000;", "&#xfffd;&#xfffd;&#xfffd;"},
      {"&#xc4;&#xd7ff;", "&#xc4;&#xd7ff;"},
      {"&#xd83d", "&#xd83d"},
  };
  for (const Case& c : cases) EXPECT_EQ(RepairLegacyXml(c.in), c.out) << c.in;

  Loaded l(std::string(kWrapper) + "<a v=\"x\x02&#xd83d;&#xde00;\"/>\n</xml>\n");
  ASSERT_TRUE(l.ok);
  XmlValue v;
  ASSERT_TRUE(l.Child(0).Attribute("v", v));
  EXPECT_EQ(v.AsString(), L"x\uFFFD\U0001F600");
}

TEST(XmlReaderTest, SecondDecodingPass) {
  struct Case {
    std::wstring in, out;
  } cases[] = {
      {L"&lt;&gt;&amp;&quot;&apos;", L"<>&\"'"},
      {L"&#x41;&#x1f600;", L"A\U0001F600"},
      {L"&#x;&#x41&#X41;&#65;&#x1234567;", L"&#x;&#x41&#X41;&#65;&#x1234567;"},
      {L"&#xd800;&#x1;&#x110000;", L"&#xd800;&#x1;&#x110000;"},
      {L"a&", L"a&"},
      {L"&amp;lt;", L"&lt;"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeXmlEscapes(c.in), c.out);
}

TEST(XmlReaderTest, Base64TextUsesItsOwnDocumentsEncoding) {
  // "QUI=" is the bytes "AB": as UTF-16 (big-endian) that is U+4142, as a narrow string "AB".
  Loaded a(std::string(kWrapper) + "<v t=\"QUI=\"/>\n</xml>\n");
  ASSERT_TRUE(a.ok);
  XmlValue va;
  ASSERT_TRUE(a.Child(0).Attribute("t", va));
  Loaded b("<?xml version=\"1.0\"?>\n<v t=\"QUI=\"/>\n");
  ASSERT_TRUE(b.ok);
  Loaded c("<v t=\"QUI=\"/>\n");  // no header: no encoding declared
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.doc.Encoding(), 0);
  XmlValue vc, rc;
  XmlElement ec;
  ASSERT_TRUE(c.doc.GetRoot(rc));
  ASSERT_TRUE(rc.ToElement(ec));
  ASSERT_TRUE(ec.Attribute("t", vc));

  WideText text;
  EXPECT_TRUE(va.AsBase64Text(text));
  EXPECT_STREQ(text.CStr(), L"\u4142");
  EXPECT_TRUE(vc.AsBase64Text(text));
  EXPECT_STREQ(text.CStr(), L"AB");
}

TEST(XmlReaderTest, Base64TextOfEveryLengthStaysInside) {
  // Decoded byte counts 0, 1, 2, 3 and 5 in a document that declares an encoding.
  const struct Case {
    const char* base64;
    std::wstring text;
  } cases[] = {
      {"", L""},
      {"AA==", L""},            // one byte: the odd byte is ignored
      {"AEE=", L"A"},           // 00 41
      {"AEEA", L"A"},           // 00 41 00
      {"AEEAQgA=", L"AB"},      // 00 41 00 42 00
      {"//5BAA==", L"A"},       // little-endian byte-order mark, 41 00
      {"2D3eAA==", L"\U0001F600"},
      {"2D0=", L"\uFFFD"},      // a lone surrogate
  };
  std::string doc = kWrapper;
  for (const Case& c : cases) doc += std::string("<v t=\"") + c.base64 + "\"/>\n";
  Loaded l(doc + "</xml>\n");
  ASSERT_TRUE(l.ok);
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    XmlValue v;
    ASSERT_TRUE(l.Child(i).Attribute("t", v));
    WideText text;
    text.Assign(L"x");
    EXPECT_TRUE(v.AsBase64Text(text)) << cases[i].base64;
    EXPECT_EQ(std::wstring(text.CStr()), cases[i].text) << cases[i].base64;
  }
  XmlValue absent;
  WideText text;
  EXPECT_FALSE(absent.AsBase64Text(text, L"dflt"));
  EXPECT_STREQ(text.CStr(), L"dflt");
}

}  // namespace
