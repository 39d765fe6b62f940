#include "script/compiler/LiteralValues.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "script/compiler/CodeRecords.h"

bool IsHexLiteral(const std::string& text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

bool IsFractionalLiteral(const std::string& text) {
  return !IsHexLiteral(text) && text.find_first_of(".eE") != std::string::npos;
}

namespace {

// The literal's leading digits of its base, read exactly and rounded once to a double.
double ExactIntegerValue(const std::string& text) {
  const bool hex = IsHexLiteral(text);
  size_t end = hex ? 2 : 0;
  while (end < text.size() &&
         (hex ? std::isxdigit(static_cast<unsigned char>(text[end])) != 0 : (text[end] >= '0' && text[end] <= '9')))
    ++end;
  if (end == (hex ? 2u : 0u)) return 0.0;
  return std::strtod(text.substr(0, end).c_str(), nullptr);
}

}  // namespace

PushValue* IntegerLiteralValue(const std::string& text, bool negate) {
  double value = ExactIntegerValue(text);
  if (negate) value = -value;
  if (value >= -2147483648.0 && value <= 2147483647.0) return new PushInteger(static_cast<int32_t>(value));
  return new PushDouble(value);
}

int64_t LiteralAsInteger(const std::string& text) {
  if (IsFractionalLiteral(text)) {
    const double d = std::trunc(std::atof(text.c_str()));
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
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
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
        size_t j = i;
        while (j < text.size() && text[j] == 'u') ++j;
        uint32_t code = 0;
        int digits = 0;
        for (; digits < 4 && j < text.size() && HexDigit(text[j]) >= 0; ++digits, ++j)
          code = code * 16 + static_cast<uint32_t>(HexDigit(text[j]));
        if (digits < 4) {
          out += '\\';
          out += c;
          break;
        }
        AppendCharacter(out, code, version);
        i = j - 1;
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
