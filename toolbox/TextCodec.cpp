#include "toolbox/TextCodec.h"

#include <algorithm>
#include <array>
#include <utility>

#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

// Characters of the Mac Roman bytes 0x80 to 0xFF (0xDB is the euro sign, 0xF0 the
// private-use Apple logo); 0x00 to 0x7F are ASCII.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// (character, byte) pairs of the upper half, sorted by character for the reverse lookup.
using ReverseTable = std::array<std::pair<char16_t, unsigned char>, 128>;

const ReverseTable& MacRomanReverse() {
  static const ReverseTable table = [] {
    ReverseTable t{};
    for (size_t i = 0; i < kMacRomanHigh.size(); ++i) {
      t[i] = {kMacRomanHigh[i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(t.begin(), t.end());
    return t;
  }();
  return table;
}

char MacRomanByte(wchar_t c) {
  if (c >= 0 && c < 0x80) return static_cast<char>(c);
  if (c < 0 || c > 0xFFFF) return kLossByte;
  const auto& table = MacRomanReverse();
  const auto key = static_cast<char16_t>(c);
  auto it = std::lower_bound(table.begin(), table.end(), key,
                             [](const auto& entry, char16_t k) { return entry.first < k; });
  return it != table.end() && it->first == key ? static_cast<char>(it->second) : kLossByte;
}

}  // namespace

bool IsKnownEncoding(StringEncoding encoding) {
  switch (encoding) {
    case StringEncoding::kMacRoman:
    case StringEncoding::kIsoLatin1:
    case StringEncoding::kUtf8:
      return true;
  }
  return false;
}

std::string EncodeText(std::wstring_view text, StringEncoding encoding) {
  if (encoding == StringEncoding::kUtf8) return WideToUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (encoding == StringEncoding::kMacRoman) {
      out.push_back(MacRomanByte(c));
    } else {
      out.push_back(c >= 0 && c <= 0xFF ? static_cast<char>(c) : kLossByte);
    }
  }
  return out;
}

std::wstring DecodeText(std::string_view bytes, StringEncoding encoding) {
  if (encoding == StringEncoding::kUtf8) return Utf8ToWide(bytes);
  std::wstring out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (encoding == StringEncoding::kMacRoman && b >= 0x80) {
      out.push_back(static_cast<wchar_t>(kMacRomanHigh[b - 0x80]));
    } else {
      out.push_back(static_cast<wchar_t>(b));
    }
  }
  return out;
}

}  // namespace toolbox
