#include "framework/platform/WideText.h"

#include <locale.h>
#include <wchar.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <vector>

#include "toolbox/StringTable.h"
#include "toolbox/Utf8.h"

namespace {

// The "C" locale as an object, so that parsing and formatting never follow the process
// locale (which a toolkit may have set from the environment).
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// Switches the calling thread to the "C" locale for its lifetime.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// WideText

WideText::WideText() { Reserve(1); }

WideText::WideText(int number) : WideText() { LoadLocalizedString(*this, number); }

WideText::~WideText() = default;

void WideText::Reserve(uint32_t n) {
  if (data_ && capacity_ >= n) return;
  n = std::max<uint32_t>(n, 1);
  data_ = std::make_unique<wchar_t[]>(n);
  data_[0] = 0;
  capacity_ = n;
}

bool WideText::Assign(const wchar_t* text) {
  if (!text) return false;
  const size_t length = wcslen(text);
  if (length >= UINT32_MAX) return false;
  // The text may lie inside this buffer; then the buffer is already large enough and is
  // kept, and the copy may overlap.
  Reserve(static_cast<uint32_t>(length + 1));
  std::memmove(data_.get(), text, (length + 1) * sizeof(wchar_t));
  return true;
}

bool WideText::AssignCFString(const toolbox::CFStringRef& string) {
  if (!string) return false;
  return Assign(string->Text().c_str());
}

bool WideText::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatList(format, args);
  va_end(args);
  return ok;
}

bool WideText::FormatList(const wchar_t* format, va_list args) {
  if (!format) return false;
  CLocaleScope c_locale;
  std::vector<wchar_t> buffer;
  for (size_t capacity = 256; capacity <= kMaxFormatLength; capacity *= 2) {
    buffer.assign(capacity, 0);
    va_list attempt;
    va_copy(attempt, args);  // every attempt reads the arguments from the start
    errno = 0;
    const int result = vswprintf(buffer.data(), capacity, format, attempt);
    va_end(attempt);
    if (result >= 0) return Assign(buffer.data());
    // An argument that cannot be converted fails the same way with any buffer size.
    if (errno == EILSEQ) return false;
  }
  return false;
}

size_t WideText::Length() const { return wcslen(data_.get()); }

bool WideText::Equals(const wchar_t* text, bool caseSensitive) const {
  if (!text) return false;
  if (caseSensitive) return wcscmp(data_.get(), text) == 0;
  return CompareNoCase(data_.get(), text) == 0;
}

double WideText::ToDouble() const { return ParseDouble(data_.get(), nullptr); }

int32_t WideText::ToLong() const { return ParseLong(data_.get(), nullptr); }

// ---------------------------------------------------------------------------------------
// Platform strings

CFStringHolder::CFStringHolder(const wchar_t* wide) : string_(CFStringFromWide(wide)) {}

CFStringHolder CFStringHolder::FromCString(const char* narrow) {
  CFStringHolder holder;
  holder.string_ = CFStringFromCString(narrow);
  return holder;
}

void CFStringHolder::Adopt(toolbox::CFStringRef string) { string_ = std::move(string); }

bool CFStringHolder::AssignWide(const wchar_t* wide) {
  string_ = CFStringFromWide(wide);
  return string_ != nullptr;
}

void CFStringHolder::Release() { string_.reset(); }

size_t CFStringHolder::Length() const { return string_ ? string_->Length() : 0; }

bool CFStringHolder::ToPascal(toolbox::Str255 out) const {
  out[0] = 0;
  if (!string_) return false;
  const std::string bytes = toolbox::GetBytes(*string_, toolbox::StringEncoding::kUtf8);
  if (bytes.size() > 255) return false;
  out[0] = static_cast<unsigned char>(bytes.size());
  std::memcpy(out + 1, bytes.data(), bytes.size());
  return true;
}

bool CFStringHolder::ToHFSUniStr255(toolbox::HFSUniStr255& out) const {
  out.length = 0;
  if (!string_) return false;
  const std::u16string units = toolbox::GetUtf16(*string_);
  size_t n = std::min<size_t>(units.size(), 255);
  if (n < units.size() && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;
  std::copy_n(units.begin(), n, out.unicode);
  out.length = static_cast<uint16_t>(n);
  return n > 0;
}

std::unique_ptr<char16_t[]> CFStringHolder::ToUniChars() const {
  if (!string_ || string_->Length() == 0) return nullptr;
  const std::u16string units = toolbox::GetUtf16(*string_);
  auto copy = std::make_unique<char16_t[]>(units.size() + 1);
  std::copy(units.begin(), units.end(), copy.get());
  copy[units.size()] = 0;
  return copy;
}

std::string CFStringHolder::ToNarrow(toolbox::StringEncoding encoding) const {
  if (!string_) return std::string();
  return toolbox::GetBytes(*string_, encoding);
}

std::wstring CFStringHolder::ToWide() const { return string_ ? string_->Text() : std::wstring(); }

toolbox::CFStringRef CFStringFromWide(const wchar_t* wide) {
  return wide ? toolbox::CreateString(wide) : nullptr;
}

toolbox::CFStringRef CFStringFromCString(const char* narrow) {
  return narrow ? toolbox::CreateStringWithBytes(narrow, toolbox::StringEncoding::kUtf8) : nullptr;
}

bool CopyCFStringToWide(const toolbox::CFStringRef& string, wchar_t* out, size_t n) {
  if (!string || !out || n == 0) return false;
  const std::wstring& text = string->Text();
  const size_t count = std::min(text.size(), n - 1);
  std::copy_n(text.begin(), count, out);
  out[count] = 0;
  return true;
}

std::string ToNativeString(const wchar_t* wide) {
  return wide ? toolbox::WideToUtf8(wide) : std::string();
}

std::string ToNativeString(const std::wstring& wide) { return toolbox::WideToUtf8(wide); }

std::wstring FromNativeString(const char* narrow) {
  return narrow ? toolbox::Utf8ToWide(narrow) : std::wstring();
}

std::wstring FromNativeString(const std::string& narrow) { return toolbox::Utf8ToWide(narrow); }

void PascalToWide(const unsigned char* pascal, wchar_t* out) {
  if (!out) return;
  size_t length = pascal ? pascal[0] : 0;
  for (size_t i = 0; i < length; ++i) out[i] = pascal[i + 1];
  out[length] = 0;
}

void WideToPascal(const wchar_t* wide, toolbox::Str255 out) {
  const size_t length = wide ? std::min<size_t>(wcslen(wide), 255) : 0;
  out[0] = static_cast<unsigned char>(length);
  for (size_t i = 0; i < length; ++i) {
    const wchar_t c = wide[i];
    out[i + 1] = c >= 0 && c <= 0xFF ? static_cast<unsigned char>(c) : '?';
  }
}

// ---------------------------------------------------------------------------------------
// Numbered texts

namespace {

toolbox::CFStringRef NumberKey(int number) {
  wchar_t key[16];
  swprintf(key, 16, L"%d", number);
  return toolbox::CreateString(key);
}

}  // namespace

bool LoadLocalizedString(WideText& out, int number) {
  const toolbox::CFStringRef key = NumberKey(number);
  const toolbox::CFStringRef text = toolbox::CopyLocalizedString(key, key);
  if (!text) return false;
  return out.AssignCFString(text);
}

bool GetLocalizedCFString(toolbox::CFStringRef& out, int number) {
  const toolbox::CFStringRef key = NumberKey(number);
  toolbox::CFStringRef text = toolbox::CopyLocalizedString(key, key);
  if (!text || toolbox::EqualStrings(text, key)) {
    out.reset();
    return false;
  }
  out = std::move(text);
  return true;
}

// ---------------------------------------------------------------------------------------
// Numbers

int32_t ParseLong(const wchar_t* text, int32_t* out) {
  long value = text ? wcstol_l(text, nullptr, 10, CLocale()) : 0;
  value = std::clamp<long>(value, INT32_MIN, INT32_MAX);
  const auto result = static_cast<int32_t>(value);
  if (out) *out = result;
  return result;
}

uint32_t ParseHex(const wchar_t* text) {
  if (!text) return 0;
  const wchar_t* p = text;
  while (IsWhiteSpace(*p)) ++p;
  const bool negative = *p == L'-';
  errno = 0;
  const unsigned long value = wcstoul_l(text, nullptr, 16, CLocale());
  if (errno == ERANGE) return UINT32_MAX;
  if (!negative) return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
  // A negative number wraps, as it did with a 32-bit unsigned long, when its magnitude fits.
  const unsigned long magnitude = 0ul - value;
  if (magnitude > UINT32_MAX) return UINT32_MAX;
  return static_cast<uint32_t>(0ul - magnitude);
}

double ParseDouble(const wchar_t* text, double* out) {
  const double value = text ? wcstod_l(text, nullptr, CLocale()) : 0.0;
  if (out) *out = value;
  return value;
}

int FormatInt(int value, wchar_t* buffer) { return swprintf(buffer, 256, L"%d", value); }

int FormatTimeCode(uint32_t milliseconds, wchar_t* buffer, size_t n) {
  if (!buffer || n == 0) return -1;
  const int hundredths = static_cast<int>((milliseconds % 1000) / 10);
  if (milliseconds == 0) return swprintf(buffer, std::min<size_t>(n, 32), L"00:00.00");
  if (milliseconds < 1000) {
    return swprintf(buffer, n, L"00:00.%02d", static_cast<int>(milliseconds / 10));
  }
  if (milliseconds < 60000) {
    return swprintf(buffer, n, L"00:%02d.%02d", static_cast<int>(milliseconds / 1000), hundredths);
  }
  return swprintf(buffer, n, L"%02d:%02d.%02d", static_cast<int>(milliseconds / 60000),
                  static_cast<int>((milliseconds / 1000) % 60), hundredths);
}

// ---------------------------------------------------------------------------------------
// Comparison and white space

wchar_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 letters, not the multiplication sign
  if (c >= 0x100 && c <= 0x17F) {                 // Latin Extended-A: pairs of upper, lower
    if (c == 0x130) return L'i';                  // capital I with dot above
    if (c == 0x178) return 0xFF;                  // capital Y with diaeresis
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) ? c : c + 1;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 32;  // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

bool IsWhiteSpace(wchar_t c) {
  switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0x1680: case 0x2028: case 0x2029: case 0x205F: case 0x3000:
      return true;
    default:
      return (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A);
  }
}

int CompareNoCase(const wchar_t* a, const wchar_t* b) {
  if (!a) a = L"";
  if (!b) b = L"";
  for (;; ++a, ++b) {
    const wchar_t ca = FoldCase(*a);
    const wchar_t cb = FoldCase(*b);
    if (ca < cb) return -1;
    if (ca > cb) return 1;
    if (ca == 0) return 0;
  }
}

std::wstring TrimWhitespace(const wchar_t* text) {
  if (!text) return std::wstring();
  const wchar_t* begin = text;
  while (*begin && IsWhiteSpace(*begin)) ++begin;
  const wchar_t* end = begin + wcslen(begin);
  while (end > begin && IsWhiteSpace(end[-1])) --end;
  return std::wstring(begin, end);
}
