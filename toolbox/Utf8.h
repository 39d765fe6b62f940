#pragma once
// UTF-8 <-> UTF-32 conversion used at every operating-system boundary (paths, URLs, the
// environment, resource files). It never consults the process locale.
#include <string>
#include <string_view>

namespace toolbox {

inline constexpr wchar_t kReplacementChar = 0xFFFD;

// Decodes UTF-8 to code points. Invalid or truncated sequences, overlong forms, surrogate
// code points and values above U+10FFFF each become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);

// Encodes code points as UTF-8. Surrogate code points and values above U+10FFFF are
// written as U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// The number of bytes WideToUtf8 writes for the text.
size_t Utf8Size(std::wstring_view text);

// Decodes UTF-8 for a person to read, with each byte that is not part of a valid sequence
// shown as "\xHH" (two upper-case hexadecimal digits): a file name that is not UTF-8, in
// a message.
std::wstring Utf8ToWideShowingBytes(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no replacement would be needed).
bool IsValidUtf8(std::string_view bytes);

}  // namespace toolbox
