#pragma once
// Values of number literals as the lexer gives them ("12", "0x1F", "1.5", "2e3", ".5").
#include <cstdint>
#include <string>
#include <string_view>

#include "script/compiler/CodeRecords.h"

// "0x" or "0X" followed by hexadecimal digits.
bool IsHexLiteral(std::string_view text);
// A decimal literal holding "." or an exponent.
bool IsFractionalLiteral(std::string_view text);

// The exact value of an integer literal (decimal or hexadecimal), negated when asked, as a
// push value: an integer when it lies within the signed 32-bit range, otherwise the nearest
// double. Nothing wraps.
PushItem IntegerLiteralValue(std::string_view text, bool negate);

// The value of a literal where an integer is needed (frame numbers, depths): integers are
// read with ParseInteger, fractional literals through the double conversion, truncated.
int64_t LiteralAsInteger(std::string_view text);

// A string literal's text with its escape sequences (\n, \t, \", \\, \u00E9, octal \101 and
// the others the lexer accepts) turned into the characters they stand for, encoded as the
// movie's strings are: UTF-8 from SWF 6 on, Latin-1 below ("?" for a character beyond it).
// Two escapes that form a surrogate pair stand for the one character of the pair; a surrogate
// without its partner stands for U+FFFD.
std::string TranslateEscapes(const std::string& text, int version);
