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
