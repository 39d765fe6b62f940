#include <gtest/gtest.h>

#include <filesystem>

#include "framework/platform/ForkStreams.h"
#include "framework/platform/TextEncoding.h"
#include "toolbox/Utf8.h"
#include "support/TestSupport.h"

namespace {

using std::ios_base;
using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;

PathString P(const std::filesystem::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

TEST(ForkStreamBufTest, OpenModes) {
  const ios_base::openmode in = ios_base::in, out = ios_base::out, bin = ios_base::binary,
                           app = ios_base::app, trunc = ios_base::trunc;
  struct Case {
    ios_base::openmode mode;
    bool opens, reads, writes;
  } cases[] = {
      {in, true, true, false},           {in | bin, true, true, false},
      {out, true, false, true},          {out | app, true, false, true},
      {out | bin, true, true, true},     {out | bin | app, true, true, true},
      {in | out, true, true, true},      {in | out | bin, true, true, true},
      {out | trunc, true, false, true},  {out | trunc | bin, true, true, true},
      {in | out | trunc, true, true, true}, {in | out | trunc | bin, true, true, true},
      {in | app, false, false, false},   {trunc, false, false, false},
      {ios_base::openmode{}, false, false, false},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const auto path = dir / "f";
    WriteFile(path, "xyz");
    ForkStreamBuf buf;
    ASSERT_EQ(buf.Open(P(path), c.mode) != nullptr, c.opens) << c.mode;
    if (!c.opens) continue;
    EXPECT_EQ(buf.sgetc() == 'x', c.reads) << c.mode;
    buf.pubseekpos(0);
    EXPECT_EQ(buf.sputc('A') == 'A' && buf.pubsync() == 0, c.writes) << c.mode;
    buf.Close();
    // Truncating modes do not shorten the file: the system creates every file afresh.
    EXPECT_EQ(ReadFile(path), c.writes ? "Ayz" : "xyz") << c.mode;
  }
}

TEST(ForkStreamBufTest, UnsupportedModeTouchesNothingAndOpeningCreates) {
  ScratchDir dir;
  ForkStreamBuf buf;
  EXPECT_EQ(buf.Open(P(dir / "none"), ios_base::in | ios_base::app), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir / "none"));
  ASSERT_NE(buf.Open(P(dir / "made"), ios_base::in), nullptr);
  EXPECT_TRUE(std::filesystem::exists(dir / "made"));
  EXPECT_EQ(buf.Open(P(dir / "made"), ios_base::in), nullptr);  // already open
  EXPECT_NE(buf.Close(), nullptr);
  EXPECT_EQ(buf.Close(), nullptr);  // nothing left to close
  EXPECT_EQ(buf.Open(P(dir / "no" / "such"), ios_base::out), nullptr);
}

TEST(ForkStreamBufTest, AtEndAppendsAndBufferedWritesArriveInOrder) {
  ScratchDir dir;
  const auto path = dir / "f";
  WriteFile(path, "head:");
  ForkOutputStream out;
  out.Open(P(path), ios_base::out | ios_base::ate);
  ASSERT_TRUE(out.IsOpen());
  for (char c = 'a'; c < 'a' + 20; ++c) out.put(c);  // more than the 16-byte buffer
  out << 42;
  out.Close();
  EXPECT_TRUE(out.good());
  EXPECT_EQ(ReadFile(path), "head:abcdefghijklmnopqrst42");
}

TEST(ForkStreamBufTest, ReadingPutBackAndWritingShareOnePosition) {
  ScratchDir dir;
  const auto path = dir / "f";
  WriteFile(path, "0123456789abcdefghijklmnopqrstuvwxyz");
  ForkStreamBuf buf;
  ASSERT_NE(buf.Open(P(path), ios_base::in | ios_base::out), nullptr);
  std::string got;
  for (int i = 0; i < 20; ++i) got.push_back(static_cast<char>(buf.sbumpc()));
  EXPECT_EQ(got, "0123456789abcdefghij");
  for (int i = 0; i < 4; ++i) EXPECT_NE(buf.sungetc(), EOF);  // four can always go back
  EXPECT_EQ(buf.sgetc(), 'g');
  EXPECT_EQ(buf.sputc('#'), '#');  // writes where reading stopped
  EXPECT_EQ(buf.pubseekoff(0, ios_base::cur, ios_base::out), 17);
  buf.pubseekpos(30);
  EXPECT_EQ(buf.sbumpc(), 'u');
  EXPECT_NE(buf.Close(), nullptr);
  EXPECT_EQ(ReadFile(path), "0123456789abcdef#hijklmnopqrstuvwxyz");
}

TEST(ForkStreamBufTest, UnbufferedReadAndWrite) {
  ScratchDir dir;
  const auto path = dir / "f";
  WriteFile(path, "abc");
  ForkStreamBuf buf;
  buf.pubsetbuf(nullptr, 0);
  ASSERT_NE(buf.Open(P(path), ios_base::in | ios_base::out), nullptr);
  EXPECT_EQ(buf.sgetc(), 'a');
  EXPECT_EQ(buf.sbumpc(), 'a');
  EXPECT_EQ(buf.sbumpc(), 'b');
  EXPECT_EQ(buf.sputc('Z'), 'Z');
  EXPECT_EQ(buf.sgetc(), EOF);
  EXPECT_NE(buf.Close(), nullptr);
  EXPECT_EQ(ReadFile(path), "abZ");
}

TEST(ForkStreamBufTest, AFailedWriteIsReportedByCloseAndTheStream) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EncodedOutputStream out(GetDocumentEncoding());
  ASSERT_TRUE(out.Open(L"/dev/full", ios_base::out, GetDocumentEncoding()));
  out.WriteWide(std::wstring(100, L'x'));
  EXPECT_TRUE(out.bad());
  out.Close();
  EXPECT_TRUE(out.fail());
}

TEST(EncodedOutputStreamTest, WritesWideTextAsUtf8) {
  ScratchDir dir;
  const auto path = dir / "t";
  {
    EncodedOutputStream out(GetDocumentEncoding());
    ASSERT_TRUE(out.Open(P(path), ios_base::out, GetDocumentEncoding()));
    out.WriteWide(L"a\nb ");
    out.WriteWide(static_cast<const wchar_t*>(nullptr));
    out.WriteWide(L"");
    out.WriteWide(std::wstring{L'\u00e9', L'\U0001F600', wchar_t(0xD800), wchar_t(0x110000), L'.'});
    out << 12;
  }  // the destructor flushes and closes
  EXPECT_EQ(ReadFile(path), "a\nb \xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD.12");
}

}  // namespace
