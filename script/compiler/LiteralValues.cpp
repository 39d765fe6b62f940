#include "script/compiler/LiteralValues.h"

#include <cctype>
#include <cmath>
#include <cstdlib>


bool IsHexLiteral(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

bool IsFractionalLiteral(std::string_view text) {
  return !IsHexLiteral(text) && text.find_first_of(".eE") != std::string_view::npos;
}

namespace {

// The literal's leading digits of its base, read exactly and rounded once to a double.
double ExactIntegerValue(std::string_view text) {
  const bool hex = IsHexLiteral(text);
  size_t end = hex ? 2 : 0;
  while (end < text.size() &&
         (hex ? std::isxdigit(static_cast<unsigned char>(text[end])) != 0 : (text[end] >= '0' && text[end] <= '9')))
    ++end;
  const size_t digits = end - (hex ? 2 : 0);
  if (digits == 0) return 0.0;
  // Up to 13 hexadecimal or 15 decimal digits the value is below 2^53: read exactly here.
  if (digits <= (hex ? 13u : 15u)) {
    uint64_t value = 0;
    for (size_t i = hex ? 2 : 0; i < end; ++i) {
      const char c = text[i];
      const uint64_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      value = value * (hex ? 16 : 10) + digit;
    }
    return static_cast<double>(value);
  }
  return std::strtod(std::string(text.substr(0, end)).c_str(), nullptr);
}

}  // namespace

PushItem IntegerLiteralValue(std::string_view text, bool negate) {
  double value = ExactIntegerValue(text);
  if (negate) value = -value;
  if (value >= -2147483648.0 && value <= 2147483647.0) return PushItem::Integer(static_cast<int32_t>(value));
  return PushItem::Double(value);
}

int64_t LiteralAsInteger(std::string_view text) {
  if (IsFractionalLiteral(text)) {
    const double d = std::trunc(std::atof(std::string(text).c_str()));
    if (std::isnan(d)) return 0;
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(d);
  }
  return ParseInteger(text);
}

namespace {

void AppendCharacter(std::string& out, uint32_t code, int version) {
  if (version >= 6) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  } else {
    out += code <= 0xFF ? static_cast<char>(code) : '?';
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the escape that starts at `at`: a backslash, one or more "u" and four hexadecimal
// digits. `end` receives the position after it.
bool ReadUnicodeEscape(const std::string& text, size_t at, uint32_t& code, size_t& end) {
  if (at + 1 >= text.size() || text[at] != '\\' || text[at + 1] != 'u') return false;
  size_t j = at + 1;
  while (j < text.size() && text[j] == 'u') ++j;
  code = 0;
  for (int digits = 0; digits < 4; ++digits, ++j) {
    if (j >= text.size() || HexDigit(text[j]) < 0) return false;
    code = code * 16 + static_cast<uint32_t>(HexDigit(text[j]));
  }
  end = j;
  return true;
}

bool IsHighSurrogate(uint32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
bool IsLowSurrogate(uint32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// What a surrogate that is not part of a pair becomes: it has no encoding of its own.
constexpr uint32_t kReplacementCharacter = 0xFFFD;

}  // namespace

std::string TranslateEscapes(const std::string& text, int version) {
  if (text.find('\\') == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'u': {
        uint32_t code = 0;
        size_t end = 0;
        if (!ReadUnicodeEscape(text, i - 1, code, end)) {
          out += '\\';
          out += c;
          break;
        }
        if (IsHighSurrogate(code)) {
          // A pair of escapes stands for one character beyond the 16-bit range.
          uint32_t low = 0;
          size_t lowEnd = 0;
          if (ReadUnicodeEscape(text, end, low, lowEnd) && IsLowSurrogate(low)) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            end = lowEnd;
          } else {
            code = kReplacementCharacter;
          }
        } else if (IsLowSurrogate(code)) {
          code = kReplacementCharacter;
        }
        AppendCharacter(out, code, version);
        i = end - 1;
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          // Up to three octal digits from 0-3, two from 4-7, as the lexer takes them.
          uint32_t code = static_cast<uint32_t>(c - '0');
          const int most = c <= '3' ? 3 : 2;
          int digits = 1;
          while (digits < most && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7') {
            code = code * 8 + static_cast<uint32_t>(text[++i] - '0');
            ++digits;
          }
          AppendCharacter(out, code, version);
        } else {
          out += c;  // \" \' \\ and any other character stand for themselves
        }
        break;
    }
  }
  return out;
}
