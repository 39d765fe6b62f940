// Text conversions judged by python3's codecs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "framework/platform/TextEncoding.h"
#include "framework/platform/WideText.h"
#include "support/TestSupport.h"

namespace {

#define SKIP_WITHOUT_PYTHON() \
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed"

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

// A python expression for the wide text, as a list of code points.
std::string PythonText(const std::wstring& text) {
  std::ostringstream s;
  s << "''.join(map(chr, [";
  for (wchar_t c : text) s << static_cast<long>(c) << ",";
  s << "]))";
  return s.str();
}

TEST(MacRomanOracle, AllByteValuesDecodeAsPythonDoes) {
  SKIP_WITHOUT_PYTHON();
  std::istringstream expected(testsupport::Python(
      "for b in range(256): print(ord(bytes([b]).decode('mac_roman')))\n"));
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::wstring decoded = MacRomanToWide(all);
  ASSERT_EQ(decoded.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    long code = -1;
    expected >> code;
    EXPECT_EQ(static_cast<long>(decoded[b]), code) << "byte " << b;
  }
}

TEST(MacRomanOracle, AllCharactersEncodeAsPythonDoes) {
  SKIP_WITHOUT_PYTHON();
  // Python's characters of the 256 bytes, encoded back one by one.
  std::istringstream chars(testsupport::Python(
      "for b in range(256): print(ord(bytes([b]).decode('mac_roman')))\n"));
  std::wstring text;
  for (long code; chars >> code;) text.push_back(static_cast<wchar_t>(code));
  ASSERT_EQ(text.size(), 256u);
  const std::string ours = WideToMacRoman(text);
  const std::string python = testsupport::Python(
      "import sys; sys.stdout.buffer.write(" + PythonText(text) + ".encode('mac_roman'))\n");
  EXPECT_EQ(Hex(ours), Hex(python));
  for (int b = 0; b < 256; ++b) EXPECT_EQ(static_cast<unsigned char>(ours[b]), b);
}

TEST(MacRomanOracle, UnmappableCharactersBecomeQuestionMarks) {
  SKIP_WITHOUT_PYTHON();
  const std::wstring texts[] = {
      L"a\u20ACb\u2713",                      // euro and check mark: 61 DB 62 3F
      L"\u4E2D\u6587 caf\u00E9 \U0001F600",   // CJK, accented, emoji
      L"\u0100\u00E9\u00FF\uFFFD",            // near the table's edges
  };
  for (const auto& text : texts) {
    const std::string python = testsupport::Python(
        "import sys; sys.stdout.buffer.write(" + PythonText(text) +
        ".encode('mac_roman', 'replace'))\n");
    EXPECT_EQ(Hex(WideToMacRoman(text)), Hex(python));
  }
  EXPECT_EQ(Hex(WideToMacRoman(L"a\u20ACb\u2713")), "61db623f");
}

TEST(NativeStringOracle, Utf8AgreesWithPython) {
  SKIP_WITHOUT_PYTHON();
  std::wstring cjk;
  for (int i = 0; i < 100; ++i) cjk.push_back(static_cast<wchar_t>(0x4E00 + i * 197));
  const std::wstring texts[] = {L"\u00E9", L"\u4E2D", L"\U0001F600", L"\u00E9\u4E2D\U0001F600",
                                cjk};
  for (const auto& text : texts) {
    const std::string python = testsupport::Python(
        "import sys; sys.stdout.buffer.write(" + PythonText(text) + ".encode('utf-8'))\n");
    const std::string ours = ToNativeString(text);
    EXPECT_EQ(Hex(ours), Hex(python));
    EXPECT_EQ(FromNativeString(python), text);
  }
  EXPECT_EQ(ToNativeString(cjk).size(), 300u);  // three bytes each, none dropped
}

TEST(NativeStringOracle, CjkNamesMakeFilesThatReopen) {
  SKIP_WITHOUT_PYTHON();
  // 100 CJK characters are 300 UTF-8 bytes, more than one name may hold on Linux (255), so
  // they are spread over a folder and a file of 50 characters each.
  std::wstring folder, file;
  for (int i = 0; i < 50; ++i) {
    folder.push_back(static_cast<wchar_t>(0x4E00 + i));
    file.push_back(static_cast<wchar_t>(0x6000 + i));
  }
  testsupport::ScratchDir dir;
  const std::string folderPath = dir.str() + "/" + ToNativeString(folder);
  const std::string filePath = folderPath + "/" + ToNativeString(file);
  ASSERT_EQ(mkdir(folderPath.c_str(), 0700), 0);
  int fd = open(filePath.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "x", 1), 1);
  close(fd);
  // Python lists the folder and gives the names back as code points.
  const std::string listed = testsupport::Python(
      "import os\n"
      "top = bytes.fromhex('" + Hex(dir.str()) + "')\n"
      "for n in os.listdir(top):\n"
      "  for m in os.listdir(os.path.join(top, n)):\n"
      "    print(' '.join(str(ord(c)) for c in (n + b'/' + m).decode('utf-8')))\n");
  std::istringstream codes(listed);
  std::wstring seen;
  for (long c; codes >> c;) seen.push_back(static_cast<wchar_t>(c));
  EXPECT_EQ(seen, folder + L"/" + file);
  fd = open(ToNativeString(FromNativeString(filePath)).c_str(), O_RDONLY);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
}

}  // namespace
