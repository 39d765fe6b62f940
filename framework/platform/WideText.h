#pragma once
// Wide text (UTF-32 wchar_t), its conversions to the platform's string forms, numbered
// texts, and locale-free number parsing, formatting and comparison.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "toolbox/CFString.h"

// An owning, always 0-terminated wide text buffer.
class WideText {
 public:
  // The empty text, capacity 1.
  WideText();
  // The numbered text (see LoadLocalizedString); the empty text when the lookup fails.
  explicit WideText(int number);
  ~WideText();
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;

  // Makes room for n characters (n counts the terminator). Growing discards the old
  // contents and leaves the empty text; a large enough buffer is kept as it is.
  void Reserve(uint32_t n);

  // Copies the text; false and no change for a null pointer.
  bool Assign(const wchar_t* text);
  // Copies the string's characters; false and no change for a null string.
  bool AssignCFString(const toolbox::CFStringRef& string);

  // printf-style formatting (wide format; pass wide text with %ls). False, with the text
  // unchanged, when the arguments cannot be converted (a narrow %s argument that is not
  // ASCII) or the result would exceed kMaxFormatLength characters. Numbers are formatted
  // the same whatever the process locale.
  bool Format(const wchar_t* format, ...);
  bool FormatList(const wchar_t* format, va_list args);
  static constexpr uint32_t kMaxFormatLength = 1u << 20;

  size_t Length() const;
  // Exact comparison when caseSensitive is set, CompareNoCase otherwise. False for null.
  bool Equals(const wchar_t* text, bool caseSensitive) const;
  wchar_t* Data() { return data_.get(); }
  const wchar_t* Data() const { return data_.get(); }
  const wchar_t* CStr() const { return data_.get(); }
  uint32_t Capacity() const { return capacity_; }

  double ToDouble() const;
  int32_t ToLong() const;

 private:
  std::unique_ptr<wchar_t[]> data_;
  uint32_t capacity_ = 0;
};

// Owns one platform string, or none.
class CFStringHolder {
 public:
  CFStringHolder() = default;
  // The string made from wide text; a null pointer gives an empty holder.
  explicit CFStringHolder(const wchar_t* wide);
  // The string made from a narrow (UTF-8) string; null gives an empty holder.
  static CFStringHolder FromCString(const char* narrow);

  CFStringHolder(CFStringHolder&&) = default;
  CFStringHolder& operator=(CFStringHolder&&) = default;
  CFStringHolder(const CFStringHolder&) = delete;
  CFStringHolder& operator=(const CFStringHolder&) = delete;

  void Adopt(toolbox::CFStringRef string);
  // Releases the held string and holds one made from wide text; true when one was made.
  bool AssignWide(const wchar_t* wide);
  void Release();

  const toolbox::CFStringRef& Get() const { return string_; }
  bool IsEmpty() const { return !string_; }
  // Number of characters; 0 when empty.
  size_t Length() const;

  // The text in the narrow (UTF-8) encoding as a length-prefixed string. False when empty
  // or when it does not fit in 255 bytes.
  bool ToPascal(toolbox::Str255 out) const;
  // The first at most 255 UTF-16 units (a surrogate pair is never split); the length field
  // receives the number stored. True when at least one was stored.
  bool ToHFSUniStr255(toolbox::HFSUniStr255& out) const;
  // A 0-terminated UTF-16 copy; null when empty.
  std::unique_ptr<char16_t[]> ToUniChars() const;
  // The text in an encoding (characters it lacks become '?'); empty when there is no
  // string or it is empty.
  std::string ToNarrow(toolbox::StringEncoding encoding) const;
  std::wstring ToWide() const;

 private:
  toolbox::CFStringRef string_;
};

// A new platform string from wide text; null for a null pointer.
toolbox::CFStringRef CFStringFromWide(const wchar_t* wide);
// A new platform string from a narrow (UTF-8) string; null for a null pointer.
toolbox::CFStringRef CFStringFromCString(const char* narrow);
// Copies at most n - 1 characters into out (n is out's size in characters, terminator
// included) and terminates it. False for a null string or n of 0.
bool CopyCFStringToWide(const toolbox::CFStringRef& string, wchar_t* out, size_t n);

// Wide text to the narrow form the operating system takes (UTF-8), and back (invalid
// bytes become U+FFFD). Null or empty gives an empty result.
std::string ToNativeString(const wchar_t* wide);
std::string ToNativeString(const std::wstring& wide);
std::wstring FromNativeString(const char* narrow);
std::wstring FromNativeString(const std::string& narrow);

// Length-prefixed byte strings: each byte is one character, and back. WideToPascal stores
// at most 255 characters; a character above 0xFF is stored as '?'. `out` of PascalToWide
// must hold 256 characters.
void PascalToWide(const unsigned char* pascal, wchar_t* out);
void WideToPascal(const wchar_t* wide, toolbox::Str255 out);

// Numbered texts: the wording stored under the decimal number as key. A number without an
// entry yields its own decimal text.
bool LoadLocalizedString(WideText& out, int number);
// The same lookup, but false (and out null) when the number has no entry.
bool GetLocalizedCFString(toolbox::CFStringRef& out, int number);

// Decimal integer at the start of the text (after white space, with an optional sign),
// saturated to the 32-bit range; 0 when there is none. Stored in *out when out is given.
int32_t ParseLong(const wchar_t* text, int32_t* out);
// Hexadecimal number at the start of the text (an optional "0x"), saturated at 0xFFFFFFFF.
uint32_t ParseHex(const wchar_t* text);
// Decimal (or hexadecimal floating) number at the start of the text, '.' as the decimal
// point whatever the locale; 0 when there is none.
double ParseDouble(const wchar_t* text, double* out);

// "%d" into a buffer of 256 characters; returns the number of characters written.
int FormatInt(int value, wchar_t* buffer);
// Minutes, seconds and hundredths "mm:ss.hh" (minutes not wrapped into hours) into a
// buffer of n characters; returns the number of characters, -1 when it does not fit.
int FormatTimeCode(uint32_t milliseconds, wchar_t* buffer, size_t n);

// Case-insensitive comparison, character by character: -1, 0 or 1. Null counts as empty.
int CompareNoCase(const wchar_t* a, const wchar_t* b);
// Locale-free simple lower-case mapping (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
wchar_t FoldCase(wchar_t c);
// Locale-free white space: ASCII white space and the Unicode space separators that are
// not no-break spaces.
bool IsWhiteSpace(wchar_t c);
// The text without leading and trailing white space; empty for null or empty input.
std::wstring TrimWhitespace(const wchar_t* text);
