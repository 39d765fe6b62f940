// The XML writer's files: header forms, value text, paths, the round trip through the XML
// reader, and saves that fail midway.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <stdexcept>

#include "framework/platform/ForkStreams.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Utf8.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

XmlWriterOptions Options(bool standard, bool header = true, bool relative = false) {
  XmlWriterOptions o;
  o.standardHeader = standard;
  o.writeHeader = header;
  o.relativePaths = relative;
  return o;
}

// Runs `body` in a child process and returns its exit status (-1 when it was killed).
template <typename F>
int InChild(F&& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t FilesIn(const std::filesystem::path& dir) {
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

TEST(XmlWriterFileTest, HeaderForms) {
  struct Case {
    XmlWriterOptions options;
    std::string bytes;
  } cases[] = {
      {Options(false), "<xml version=\"1.0\" encoding=\"UTF-8\">\n<a/>\n</xml>\n"},
      {Options(true), "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<a/>\n"},
      {Options(false, false), "<a/>\n"},
      {Options(true, false), "<a/>\n"},
      // A file that need not survive a crash is put in place just as whole.
      {[] {
         XmlWriterOptions o = Options(false);
         o.durable = false;
         return o;
       }(),
       "<xml version=\"1.0\" encoding=\"UTF-8\">\n<a/>\n</xml>\n"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    XmlWriter w;
    ASSERT_TRUE(w.Open(P(dir / "d.xml"), c.options, true));
    w.Write(L"<a/>");
    EXPECT_TRUE(w.Close());
    EXPECT_TRUE(w.Close());  // the trailer goes out once
    EXPECT_EQ(ReadFile(dir / "d.xml"), c.bytes);
    EXPECT_EQ(FilesIn(dir.path()), 1u);  // no temporary file is left
  }
}

TEST(XmlWriterFileTest, ValueText) {
  ScratchDir dir;
  {
    XmlWriter w;
    ASSERT_TRUE(w.Open(P(dir / "d.xml"), Options(false, false), true));
    w.Write(L"|").WriteBool(false).Write(L"|").WriteBool(true).Write(L"|").WriteLong(-5);
    w.Write(L"|").WriteLong(INT32_MIN).Write(L"|").WriteULong(UINT32_MAX);
    w.Write(L"|").WriteShort(-32768).Write(L"|").WriteUShort(65535);
    w.Write(L"|").WriteFloat(0.5f).Write(L"|").WriteDouble(1234567.0).Write(L"|");
    w.WriteEscaped(L"a<b & \"c\"");
    w.WriteEscaped(L"");
    w.Write(L"|");
    w.WriteEscaped(std::wstring_view(L"\u00c4\n\t"));
    EXPECT_TRUE(w.Close());
  }
  EXPECT_EQ(ReadFile(dir / "d.xml"),
            "|false|true|-5|-2147483648|4294967295|-32768|65535|0.5|1.23457e+06|"
            "a&lt;b &amp; &quot;c&quot;|&#xc4;&#x0a;&#x09;\n");
}

// The writer gathers its pieces in blocks: characters of every UTF-8 length, escapes and
// numbers that straddle a block's end reach the file unchanged.
TEST(XmlWriterFileTest, PiecesAcrossBlocksReachTheFileUnchanged) {
  ScratchDir dir;
  std::string expected;
  {
    XmlWriter w;
    ASSERT_TRUE(w.Open(P(dir / "d.xml"), Options(false, false), true));
    // Pieces of 1 to 13 characters put every kind at every offset of a block's end.
    const std::wstring kinds = std::wstring(L"a\u00e9\u4e2d\U0001F600<&\n") + wchar_t(0xD800);
    for (int i = 0; i < 60000; ++i) {
      std::wstring piece;
      for (int k = 0; k <= i % 13; ++k) piece.push_back(kinds[static_cast<size_t>(i + k) % kinds.size()]);
      if (i % 3 == 0) {
        w.Write(piece);
        expected += toolbox::WideToUtf8(piece);
      } else if (i % 3 == 1) {
        w.WriteEscaped(piece);
        expected += toolbox::WideToUtf8(EscapeXmlText(piece));
      } else {
        w.WriteLong(-i * 7919).WriteDouble(i / 7.0);
        expected += std::to_string(-i * 7919) + toolbox::WideToUtf8(FormatXmlDouble(i / 7.0));
      }
    }
    EXPECT_TRUE(w.Close());
  }
  ASSERT_GT(expected.size(), 4u * 64 * 1024);
  EXPECT_TRUE(ReadFile(dir / "d.xml") == expected + "\n");
}

TEST(XmlWriterFileTest, UnopenedWriterWritesNothing) {
  XmlWriter w;
  w.Write(L"x").WriteLong(1).WritePath(L"/a");
  EXPECT_TRUE(w.Close());
}

// Relative paths are written without a leading "./"; the reader resolves that form and the
// older "./" form of earlier files alike.
TEST(XmlWriterFileTest, PathsRelativeOrAbsolute) {
  ScratchDir dir;
  const auto p = dir / "p";
  std::filesystem::create_directories(p);
  const PathString doc = P(p / "doc.bva");
  const struct Case {
    std::filesystem::path target;
    std::string relative;
  } cases[] = {
      {p / "x.mp3", "x.mp3"},
      {p / "media" / "a & b.aif", "media/a &amp; b.aif"},
      {dir / "other" / "y.mp3", "../other/y.mp3"},
      {dir / "z.mp3", "../z.mp3"},
  };
  for (const Case& c : cases) {
    for (bool relative : {true, false}) {
      XmlWriter w;
      ASSERT_TRUE(w.Open(doc, Options(false, false, relative), true));
      w.WritePath(P(c.target));
      ASSERT_TRUE(w.Close());
      std::string expected = relative ? c.relative : c.target.string();
      for (size_t at = 0; !relative && (at = expected.find('&', at)) != std::string::npos; at += 5)
        expected.replace(at, 1, "&amp;");
      EXPECT_EQ(ReadFile(p / "doc.bva"), expected + "\n");
    }
    for (std::string stored : {c.relative, "./" + c.relative}) {
      if (stored.starts_with("./..")) continue;
      WriteFile(p / "doc.bva", "<v p=\"" + stored + "\"/>");
      XmlDocument d;
      XmlValue root, v;
      XmlElement e;
      PathString path;
      ASSERT_TRUE(d.Load(doc) && d.GetRoot(root) && root.ToElement(e) && e.Attribute("p", v));
      ASSERT_TRUE(v.AsPath(path));
      EXPECT_EQ(path, P(c.target)) << stored;
    }
  }
}

TEST(XmlWriterFileTest, RelativeDocumentPathIsResolvedOnce) {
  ScratchDir dir;
  const std::string saved = toolbox::ApplicationFolder();
  toolbox::SetApplicationFolder(dir.str() + "/");
  {
    XmlWriter w;
    ASSERT_TRUE(w.Open(L"doc.xml", Options(false, false, true), true));
    w.WritePath(L"media/a.aif");  // relative to the application folder, like the document
    EXPECT_TRUE(w.Close());
  }
  toolbox::SetApplicationFolder(saved);
  EXPECT_EQ(ReadFile(dir / "doc.xml"), "media/a.aif\n");
}

TEST(XmlWriterFileTest, ARelativeDocumentIsReadFromWhereItWasWritten) {
  ScratchDir app, work;
  WriteFile(work / "doc.xml", "<decoy/>\n");  // the working folder holds another file
  const std::string saved = toolbox::ApplicationFolder();
  const std::filesystem::path cwd = std::filesystem::current_path();
  toolbox::SetApplicationFolder(app.str() + "/");
  std::filesystem::current_path(work.path());
  bool written = false, loaded = false;
  WideText name;
  {
    XmlWriter w;
    if (w.Open(L"doc.xml", Options(true), true)) {
      w.Write(L"<saved/>");
      written = w.Close();
    }
    XmlDocument doc;
    XmlNode top;
    XmlValue element;
    loaded = doc.Load(L"doc.xml") && doc.GetDocumentNode(top) && top.ChildAt(1, element) &&
             element.Name(name);
  }
  std::filesystem::current_path(cwd);
  toolbox::SetApplicationFolder(saved);
  EXPECT_TRUE(written);
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(name.Equals(L"saved", true));
}

TEST(XmlWriterFileTest, WhatOpenRefuses) {
  ScratchDir dir;
  WriteFile(dir / "old.xml", "old");
  std::filesystem::create_directory(dir / "folder");
  XmlWriter w;
  EXPECT_FALSE(w.Open(P(dir / "old.xml"), Options(false), false));  // exists, no replace
  EXPECT_FALSE(w.Open(P(dir / "folder"), Options(false), true));
  EXPECT_FALSE(w.Open(P(dir / "missing" / "d.xml"), Options(false), true));
  EXPECT_FALSE(w.Open(L"", Options(false), true));
  EXPECT_EQ(ReadFile(dir / "old.xml"), "old");
}

// Every way a save can fail leaves the previous file byte for byte and reports failure.
TEST(XmlWriterFileTest, FailedSavesKeepThePreviousFile) {
  const std::string previous = "<xml version=\"1.0\" encoding=\"UTF-8\">\n<old/>\n</xml>\n";
  const auto writeLarge = [](XmlWriter& w) {
    for (int i = 0; i < 2000; ++i) w.Write(L"<job name=\"").WriteEscaped(L"x\u00e9<y>");
    w.Write(L"\"/>");
  };

  {  // a write fails partway (injected, as a full disk would)
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    XmlWriter w;
    ASSERT_TRUE(w.Open(P(dir / "d.xml"), Options(false), true));
    w.FailWritesAfter(100);
    writeLarge(w);
    EXPECT_FALSE(w.Close());
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
    EXPECT_EQ(FilesIn(dir.path()), 1u);
  }
  {  // the writer is destroyed without Close (an exception or an early return midway)
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    try {
      XmlWriter w;
      ASSERT_TRUE(w.Open(P(dir / "d.xml"), Options(false), true));
      writeLarge(w);
      throw std::runtime_error("the save gives up");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
    EXPECT_EQ(FilesIn(dir.path()), 1u);
    {
      XmlWriter w;  // a new document that is never closed is never created
      ASSERT_TRUE(w.Open(P(dir / "new.xml"), Options(false), true));
      w.Write(L"<a/>");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.xml"));
    EXPECT_EQ(FilesIn(dir.path()), 1u);
  }
  {  // only the trailer fails
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    XmlWriter w;
    ASSERT_TRUE(w.Open(P(dir / "d.xml"), Options(false), true));
    w.Write(L"<a/>");
    w.FailWritesAfter(0);
    EXPECT_FALSE(w.Close());
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
  }
  {  // the file system refuses to grow the file (a size limit, as a full disk would)
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    const int status = InChild([&] {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{4096, 4096};
      setrlimit(RLIMIT_FSIZE, &limit);
      XmlWriter w;
      if (!w.Open(P(dir / "d.xml"), Options(false), true)) _exit(2);
      writeLarge(w);
      _exit(w.Close() ? 3 : 0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
  }
  {  // no permission to write into the folder
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
    const int status = InChild([&] {
      if (geteuid() == 0 && setuid(65534) != 0) _exit(4);
      XmlWriter w;
      _exit(w.Open(P(dir / "d.xml"), Options(false), true) ? 3 : 0);
    });
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
  }
  {  // the process is killed after writing, before the file is put in place
    ScratchDir dir;
    WriteFile(dir / "d.xml", previous);
    const int status = InChild([&] {
      XmlWriter w;
      if (!w.Open(P(dir / "d.xml"), Options(false), true)) _exit(2);
      writeLarge(w);
      raise(SIGKILL);
    });
    EXPECT_EQ(status, -1);
    EXPECT_EQ(ReadFile(dir / "d.xml"), previous);
  }
}

TEST(TextFileWriterTest, WritesTextAndReportsAFailedClose) {
  ScratchDir dir;
  {
    TextFileWriter w;
    ASSERT_TRUE(w.Open(P(dir / "t.txt"), nullptr, true));
    w.Write(L"a\n\u00e9 ").WriteLong(-42);
    EXPECT_TRUE(w.Close());
    EXPECT_TRUE(w.Close());
  }
  EXPECT_EQ(ReadFile(dir / "t.txt"), "a\n\xC3\xA9 -42");
  const int status = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    TextFileWriter w;
    if (!w.Open(P(dir / "big.txt"), nullptr, true)) _exit(2);
    for (int i = 0; i < 200; ++i) w.Write(L"0123456789");
    _exit(w.Close() ? 3 : 0);
  });
  EXPECT_EQ(status, 0);
}

// Every value kind the writer has, read back through the reader.
TEST(XmlWriterFileTest, EveryValueKindReadsBack) {
  for (bool standard : {false, true}) {
    ScratchDir dir;
    const PathString doc = P(dir / "d.xml");
    const std::wstring text = std::wstring(L"<a href=\"x\">'&'\t\r") + L"\u0080\u00c4\u07ff\u0800\u4e2d" +
                              L"\ud7ff\ue000\ufffd\U00010000\U0001F600\U0010FFFF";
    const std::wstring lines = L"one\ntwo\r\nthree";
    {
      XmlWriter w;
      ASSERT_TRUE(w.Open(doc, Options(standard, true, true), true));
      if (standard) w.Write(L"<doc>\n");
      w.Write(L"<v b=\"").WriteBool(true).Write(L"\" f=\"").WriteBool(false);
      w.Write(L"\" l=\"").WriteLong(INT32_MIN).Write(L"\" u=\"").WriteULong(4000000000u);
      w.Write(L"\" s=\"").WriteShort(-32768).Write(L"\" us=\"").WriteUShort(65535);
      w.Write(L"\" x=\"").WriteFloat(44.1f).Write(L"\" d=\"").WriteDouble(1e-07);
      w.Write(L"\" rel=\"").WritePath(P(dir / "media" / "a.aif"));
      w.Write(L"\" t=\"");
      w.WriteEscaped(text);
      w.Write(L"\">");
      w.WriteEscaped(lines);
      w.Write(L"</v>\n");
      if (standard) w.Write(L"</doc>");
      ASSERT_TRUE(w.Close());
    }
    XmlDocument d;
    ASSERT_TRUE(d.Load(doc));
    EXPECT_EQ(d.Encoding(), standard ? 0 : 1);
    // The declaration of the standard form is a node of its own before the root element.
    XmlNode top, rootNode;
    XmlValue root;
    XmlElement e;
    ASSERT_TRUE(d.GetDocumentNode(top));
    ASSERT_EQ(top.ChildCount(), standard ? 2 : 1);
    ASSERT_TRUE(top.ChildAt(standard ? 1 : 0, root));
    EXPECT_EQ(root.ToElement(e), true);
    root.ToNode(rootNode);
    XmlValue v;
    ASSERT_TRUE(rootNode.ChildAt(0, v));
    ASSERT_TRUE(v.ToElement(e));
    const auto attr = [&](const char* name) {
      XmlValue a;
      EXPECT_TRUE(e.Attribute(name, a)) << name;
      return a;
    };
    EXPECT_TRUE(attr("b").AsBool());
    EXPECT_FALSE(attr("f").AsBool());
    EXPECT_EQ(attr("l").AsLong(), INT32_MIN);
    EXPECT_EQ(attr("u").AsString(), L"4000000000");
    EXPECT_EQ(attr("s").AsLong(), -32768);
    EXPECT_EQ(attr("us").AsLong(), 65535);
    EXPECT_EQ(static_cast<float>(attr("x").AsDouble()), 44.1f);
    EXPECT_EQ(attr("d").AsDouble(), 1e-07);
    PathString path;
    ASSERT_TRUE(attr("rel").AsPath(path));
    EXPECT_EQ(path, P(dir / "media" / "a.aif"));
    EXPECT_EQ(attr("t").AsString(), text);
    WideText body;
    ASSERT_TRUE(v.Text(body));
    EXPECT_EQ(std::wstring(body.CStr()), lines);
  }
}

// Only a regular file is read, and opening never waits: a named pipe fails at once. Why a
// load failed tells a file that is not there from one that cannot be read.
TEST(XmlDocumentLoadTest, OnlyRegularFilesAreReadAndNothingWaits) {
  using Status = XmlDocument::LoadStatus;
  enum Kind { Missing, Folder, Pipe, NoReadPermission, NotXml, PastTheCaps, RepairPastTheCaps };
  const struct {
    Kind kind;
    Status status;
  } cases[] = {
      {Missing, Status::NotAFile}, {Folder, Status::NotAFile},          {Pipe, Status::NotAFile},
      {NoReadPermission, Status::CannotRead}, {NotXml, Status::Malformed}, {PastTheCaps, Status::Malformed},
      // Within the file cap, but each control byte repairs to three.
      {RepairPastTheCaps, Status::Malformed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    ScratchDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    const auto file = dir / "d.xml";
    if (c.kind == Folder) std::filesystem::create_directory(file);
    if (c.kind == Pipe) {
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    }
    if (c.kind == NoReadPermission || c.kind == PastTheCaps) WriteFile(file, "<xml><a b=\"1\"/></xml>");
    if (c.kind == NoReadPermission) std::filesystem::permissions(file, std::filesystem::perms::none);
    if (c.kind == NotXml) WriteFile(file, "<xml><a></xml>");
    if (c.kind == RepairPastTheCaps) WriteFile(file, "<xml><a b=\"" + std::string(2000, '\x01') + "\"/></xml>");
    // In a child, which is not root where a file's permission must count, and which a load
    // that waits cannot hang.
    const int status = InChild([&] {
      alarm(20);
      if (c.kind == NoReadPermission && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
      XmlDocument doc;
      XmlLimits caps;
      caps.maxNodes = c.kind == PastTheCaps ? 2 : caps.maxNodes;
      caps.maxFileSize = c.kind == RepairPastTheCaps ? 4096 : caps.maxFileSize;
      if (doc.Load(P(file), caps)) _exit(1);
      _exit(doc.Status() == c.status ? 0 : 10 + static_cast<int>(doc.Status()));
    });
    EXPECT_EQ(status, 0);
    if (c.kind == NoReadPermission) std::filesystem::permissions(file, std::filesystem::perms(0600));
  }
}

// A writer given caps keeps its document within what the reader takes with the same caps:
// every document it saves loads, and one past them is refused, leaving the old file.
TEST(XmlWriterFileTest, DocumentsWithinTheWritersCapsLoadWithTheSame) {
  const XmlLimits capsList[] = {{4096, 1u << 19}, {1u << 20, 150}};
  for (const XmlLimits& caps : capsList) {
    SCOPED_TRACE(caps.maxFileSize);
    ScratchDir dir;
    WriteFile(dir / "d.xml", "old");
    XmlWriterOptions options = Options(false);
    options.durable = false;
    int saved = 0;
    for (int n = 1; n < 200; ++n) {
      XmlWriter w;
      w.SetLimits(caps);
      ASSERT_TRUE(w.Open(P(dir / "d.xml"), options, true));
      w.Write(L"<list>\n");
      for (int i = 0; i < n; ++i) {
        // An attribute value and a text with '=' and markup characters, escaped.
        w.Write(L"<item a=\"").WriteEscaped(L"x=y<&>\u00e9");
        w.Write(L"\" b=\"").WriteLong(i).Write(L"\">").WriteEscaped(L"t=1 <2>");
        w.Write(L"</item>\n");
      }
      w.Write(L"</list>");
      if (!w.Close()) {
        EXPECT_TRUE(w.TooLarge());
        EXPECT_EQ(ReadFile(dir / "d.xml").substr(0, 5), saved ? "<xml " : "old");
        EXPECT_EQ(FilesIn(dir.path()), 1u);
        break;
      }
      EXPECT_FALSE(w.TooLarge());
      saved = n;
      XmlDocument doc;
      ASSERT_TRUE(doc.Load(P(dir / "d.xml"), caps)) << n << " items";
    }
    EXPECT_GT(saved, 5);
    EXPECT_LT(saved, 199);
  }
}

}  // namespace
