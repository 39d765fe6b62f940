#include "framework/platform/XmlWriter.h"

#include <charconv>
#include <cstdint>

#include "framework/platform/PathLayer.h"
#include "framework/platform/TextEncoding.h"

namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendHexReference(std::wstring& out, uint32_t code) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  wchar_t digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[code & 15];
    code >>= 4;
  } while (code != 0);
  if (n < 2) digits[n++] = L'0';
  out += L"&#x";
  while (n > 0) out.push_back(digits[--n]);
  out.push_back(L';');
}

}  // namespace

std::wstring EscapeXmlText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 4);
  for (wchar_t ch : text) {
    const uint32_t c = static_cast<uint32_t>(ch);
    switch (c) {
      case 0x22: out += L"&quot;"; continue;
      case 0x27: out += L"&apos;"; continue;
      case 0x26: out += L"&amp;"; continue;
      case 0x3C: out += L"&lt;"; continue;
      case 0x3E: out += L"&gt;"; continue;
      case 0x0A: out += L"&#x0a;"; continue;
      case 0x0D: out += L"&#x0d;"; continue;
      // A raw tab in an attribute value would come back as a blank.
      case 0x09: out += L"&#x09;"; continue;
      default: break;
    }
    if (!IsXmlChar(c))
      out += L"&#xfffd;";
    else if (c < 0x80)
      out.push_back(ch);
    else
      AppendHexReference(out, c);
  }
  return out;
}

std::wstring FormatXmlDouble(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  return std::wstring(buf, r.ptr);
}

XmlWriter::XmlWriter() : stream_(GetDocumentEncoding()) {}

XmlWriter::~XmlWriter() {
  if (!open_) return;
  stream_.Close();
  file_.Abandon();
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
  if (path_.empty() || !file_.Open(path_, &info, replace)) return false;
  stream_.clear();
  if (!stream_.Open(file_, GetDocumentEncoding())) {
    file_.Abandon();
    stream_.clear();
    return false;
  }
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
  stream_.Close();
  const bool written = !stream_.fail() && !file_.Failed();
  stream_.clear();
  open_ = false;
  if (!written) {
    file_.Abandon();
    return false;
  }
  return file_.Commit();
}

XmlWriter& XmlWriter::Write(const wchar_t* text) {
  if (open_ && stream_.good()) stream_.WriteWide(text);
  return *this;
}

XmlWriter& XmlWriter::Write(const std::wstring& text) {
  if (open_ && stream_.good()) stream_.WriteWide(text);
  return *this;
}

void XmlWriter::WriteAscii(std::string_view text) {
  if (open_ && stream_.good()) stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void XmlWriter::WriteEscaped(const wchar_t* text) {
  if (text) WriteEscaped(std::wstring_view(text));
}

void XmlWriter::WriteEscaped(std::wstring_view text) {
  if (!text.empty()) Write(EscapeXmlText(text));
}

XmlWriter& XmlWriter::WriteBool(bool value) {
  WriteAscii(value ? "true" : "false");
  return *this;
}

namespace {

template <typename T>
std::string Decimal(T value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

}  // namespace

XmlWriter& XmlWriter::WriteShort(int16_t value) {
  WriteAscii(Decimal(value));
  return *this;
}

XmlWriter& XmlWriter::WriteUShort(uint16_t value) {
  WriteAscii(Decimal(value));
  return *this;
}

XmlWriter& XmlWriter::WriteLong(int32_t value) {
  WriteAscii(Decimal(value));
  return *this;
}

XmlWriter& XmlWriter::WriteULong(uint32_t value) {
  WriteAscii(Decimal(value));
  return *this;
}

XmlWriter& XmlWriter::WriteFloat(float value) { return WriteDouble(static_cast<double>(value)); }

XmlWriter& XmlWriter::WriteDouble(double value) { return Write(FormatXmlDouble(value)); }

XmlWriter& XmlWriter::WritePath(const PathString& path) {
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
