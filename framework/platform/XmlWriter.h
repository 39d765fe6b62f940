#pragma once
// Writes XML documents as a stream of text pieces: the callers hand over fixed markup and
// values in between; the writer adds the header and trailer, escapes values, and gives
// numbers, booleans and paths their text form.
#include <string>
#include <string_view>

// A value escaped for element text and attribute values alike: the markup characters,
// tab, line feed and carriage return as references, every character from U+0080 up as a
// hexadecimal reference of its full code, and every character XML 1.0 cannot carry
// (control characters, surrogates, U+FFFE, U+FFFF, values above U+10FFFF) as "&#xfffd;".
std::wstring EscapeXmlText(std::wstring_view text);

// printf's "%g": at most six significant digits, whatever the process locale.
std::wstring FormatXmlDouble(double value);
