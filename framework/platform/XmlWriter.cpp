#include "framework/platform/XmlWriter.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "framework/platform/PathLayer.h"
#include "framework/platform/TextEncoding.h"
#include "toolbox/Utf8.h"

namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

template <typename String>
void AppendAscii(String& out, std::string_view ascii) {
  out.append(ascii.begin(), ascii.end());
}

template <typename String>
void AppendHexReference(String& out, uint32_t code) {
  static const char kDigits[] = "0123456789abcdef";
  char text[16] = {'&', '#', 'x'};
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[code & 15];
    code >>= 4;
  } while (code != 0);
  if (n < 2) digits[n++] = '0';
  size_t length = 3;
  while (n > 0) text[length++] = digits[--n];
  text[length++] = ';';
  AppendAscii(out, std::string_view(text, length));
}

// The escaped text is ASCII whatever the value holds, so the same code fills a wide string
// and the writer's encoded buffer.
template <typename String>
void AppendEscaped(String& out, std::wstring_view text) {
  for (wchar_t ch : text) {
    const uint32_t c = static_cast<uint32_t>(ch);
    switch (c) {
      case 0x22: AppendAscii(out, "&quot;"); continue;
      case 0x27: AppendAscii(out, "&apos;"); continue;
      case 0x26: AppendAscii(out, "&amp;"); continue;
      case 0x3C: AppendAscii(out, "&lt;"); continue;
      case 0x3E: AppendAscii(out, "&gt;"); continue;
      case 0x0A: AppendAscii(out, "&#x0a;"); continue;
      case 0x0D: AppendAscii(out, "&#x0d;"); continue;
      // A raw tab in an attribute value would come back as a blank.
      case 0x09: AppendAscii(out, "&#x09;"); continue;
      default: break;
    }
    if (!IsXmlChar(c))
      AppendAscii(out, "&#xfffd;");
    else if (c < 0x80)
      out.push_back(static_cast<typename String::value_type>(c));
    else
      AppendHexReference(out, c);
  }
}

// One character as toolbox::WideToUtf8 writes it (surrogates and values above U+10FFFF
// become U+FFFD), at `out`, which has room for four bytes; gives the end.
char* EncodeUtf8(char* out, wchar_t wc) {
  auto cp = static_cast<uint32_t>(wc);
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
    return out;
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = toolbox::kReplacementChar;
  if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
  } else {
    if (cp < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (cp >> 12));
    } else {
      *out++ = static_cast<char>(0xF0 | (cp >> 18));
      *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  return out;
}

// printf's "%g" (six significant digits, trailing zeros dropped) without the locale.
std::string_view FormatG(double value, char (&buffer)[64]) {
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return std::string_view(buffer, static_cast<size_t>(r.ptr - buffer));
}

template <typename T>
std::string_view Decimal(T value, char (&buffer)[24]) {
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string_view(buffer, static_cast<size_t>(r.ptr - buffer));
}

}  // namespace

std::wstring EscapeXmlText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 4);
  AppendEscaped(out, text);
  return out;
}

std::wstring FormatXmlDouble(double value) {
  char buffer[64];
  const std::string_view text = FormatG(value, buffer);
  return std::wstring(text.begin(), text.end());
}

XmlWriter::XmlWriter() : encoding_(GetDocumentEncoding()) {}

XmlWriter::~XmlWriter() {
  if (!open_) return;
  buffer_.Clear();
  file_.Abandon();
}

void XmlWriter::Buffer::append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == kBlockSize) Flush();
    const size_t n = std::min(bytes.size(), kBlockSize - used_);
    std::memcpy(data_.get() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void XmlWriter::Buffer::AppendUtf8(const wchar_t* text) {
  // Kept in locals: the bytes written could otherwise be the buffer's own fields.
  char* const data = data_.get();
  char* out = data + used_;
  char* const last = data + kBlockSize - 4;  // room for one more character
  uint64_t opens = 0, equals = 0;
  for (; *text; ++text) {
    if (out > last) {
      used_ = static_cast<size_t>(out - data);
      Flush();
      out = data;
    }
    opens += *text == L'<';
    equals += *text == L'=';
    out = EncodeUtf8(out, *text);
  }
  used_ = static_cast<size_t>(out - data);
  markupOpens += opens;
  equalsSigns += equals;
}

void XmlWriter::Buffer::AppendUtf8(std::wstring_view text) {
  char* const data = data_.get();
  char* out = data + used_;
  char* const last = data + kBlockSize - 4;
  for (wchar_t c : text) {
    if (out > last) {
      used_ = static_cast<size_t>(out - data);
      Flush();
      out = data;
    }
    out = EncodeUtf8(out, c);
  }
  used_ = static_cast<size_t>(out - data);
  CountMarkup(text);
}

void XmlWriter::Buffer::CountMarkup(std::wstring_view text) {
  for (wchar_t c : text) {
    markupOpens += c == L'<';
    equalsSigns += c == L'=';
  }
}

void XmlWriter::Buffer::Flush() {
  if (used_ != 0 && !file_.Failed()) {
    bytes += used_;
    // A document past the caps is not kept: the file fails, as on a full disk.
    if (Exceeded()) file_.FailWritesAfter(0);
    file_.Write(data_.get(), used_);
  }
  used_ = 0;
}

bool XmlWriter::Open(const PathString& path, const XmlWriterOptions& options, bool replace) {
  if (open_) return false;
  // One resolved path serves for the temporary file, the target and relative paths.
  path_ = MakeAbsolutePath(path);
  relativePaths_ = options.relativePaths;
  standardHeader_ = options.standardHeader;
  writeHeader_ = options.writeHeader;
  FileCreateInfo info;
  info.creator = options.creator;
  info.type = options.fileType;
  file_.SetDurable(options.durable);
  if (path_.empty() || !file_.Open(path_, &info, replace)) return false;
  encoding_ = GetDocumentEncoding();
  buffer_.Clear();
  buffer_.bytes = buffer_.markupOpens = buffer_.equalsSigns = 0;
  tooLarge_ = false;
  open_ = true;
  if (!writeHeader_) return true;
  Write(standardHeader_ ? L"<?xml version=\"1.0\" encoding=\"" : L"<xml version=\"1.0\" encoding=\"");
  Write(GetDocumentEncodingName());
  Write(standardHeader_ ? L"\" ?>\n" : L"\">\n");
  return true;
}

bool XmlWriter::Close() {
  if (!open_) return true;
  if (!writeHeader_ || standardHeader_)
    Write(L"\n");
  else
    Write(L"\n</xml>\n");
  buffer_.Flush();
  tooLarge_ = buffer_.Exceeded();
  const bool written = !file_.Failed() && !tooLarge_;
  open_ = false;
  if (!written) {
    file_.Abandon();
    return false;
  }
  return file_.Commit();
}

void XmlWriter::WriteText(std::wstring_view text) {
  if (!Writing() || text.empty()) return;
  if (encoding_ == toolbox::StringEncoding::kUtf8) {
    buffer_.AppendUtf8(text);
  } else {
    buffer_.append(toolbox::EncodeText(text, encoding_));
    buffer_.CountMarkup(text);
  }
}

// Most pieces are the markup's short literals: encoded as they are read, without measuring
// them first.
void XmlWriter::WriteText(const wchar_t* text) {
  if (!Writing() || !text) return;
  if (encoding_ == toolbox::StringEncoding::kUtf8) {
    buffer_.AppendUtf8(text);
  } else {
    WriteText(std::wstring_view(text));
  }
}

XmlWriter& XmlWriter::Write(const wchar_t* text) {
  WriteText(text);
  return *this;
}

XmlWriter& XmlWriter::Write(const std::wstring& text) {
  WriteText(text);
  return *this;
}

void XmlWriter::WriteAscii(std::string_view text) {
  if (Writing()) buffer_.append(text);
}

void XmlWriter::WriteEscaped(const wchar_t* text) {
  if (text) WriteEscaped(std::wstring_view(text));
}

void XmlWriter::WriteEscaped(std::wstring_view text) {
  if (!Writing() || text.empty()) return;
  // The escaped form is ASCII, the same bytes in every encoding the writer knows.
  AppendEscaped(buffer_, text);
}

XmlWriter& XmlWriter::WriteBool(bool value) {
  WriteAscii(value ? "true" : "false");
  return *this;
}

XmlWriter& XmlWriter::WriteShort(int16_t value) {
  char buffer[24];
  WriteAscii(Decimal(value, buffer));
  return *this;
}

XmlWriter& XmlWriter::WriteUShort(uint16_t value) {
  char buffer[24];
  WriteAscii(Decimal(value, buffer));
  return *this;
}

XmlWriter& XmlWriter::WriteLong(int32_t value) {
  char buffer[24];
  WriteAscii(Decimal(value, buffer));
  return *this;
}

XmlWriter& XmlWriter::WriteULong(uint32_t value) {
  char buffer[24];
  WriteAscii(Decimal(value, buffer));
  return *this;
}

XmlWriter& XmlWriter::WriteFloat(float value) { return WriteDouble(static_cast<double>(value)); }

XmlWriter& XmlWriter::WriteDouble(double value) {
  char buffer[64];
  WriteAscii(FormatG(value, buffer));
  return *this;
}

XmlWriter& XmlWriter::WritePath(const PathString& path) {
  // A path longer than the system takes would not be read back: the document fails, as
  // on a full disk, before anything of the path is copied.
  if (!FitsPathMax(path)) {
    file_.FailWritesAfter(0);
    return *this;
  }
  PathString text;
  if (relativePaths_) {
    MakeRelativePath(text, path_, path);
    // A file in or below the document's own folder is written as its bare relative name
    // ("x.mp3", "media/a.aif"); the reader resolves both that and the "./" form.
    if (text.size() > 2 && text.compare(0, 2, L"./") == 0) text.erase(0, 2);
  } else
    text = MakeAbsolutePath(path);
  WriteEscaped(std::wstring_view(text));
  return *this;
}
