#include "flash/swf/SwfText.h"

#include "toolbox/Utf8.h"

namespace {
constexpr uint8_t kFirstUtf8Version = 6;
}

std::string EncodeSwfText(std::wstring_view text, uint8_t version) {
  if (version >= kFirstUtf8Version) return toolbox::WideToUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto code = static_cast<uint32_t>(c);
    out.push_back(code < 256 ? static_cast<char>(code) : '?');
  }
  return out;
}

std::wstring DecodeSwfText(std::string_view bytes, uint8_t version) {
  if (version >= kFirstUtf8Version) return toolbox::Utf8ToWide(bytes);
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

SwfString SwfString::FromFile(std::string bytes, uint8_t version) {
  SwfString s;
  s.text_ = DecodeSwfText(bytes, version);
  s.bytes_ = std::move(bytes);
  s.fromFile_ = true;
  return s;
}

std::string SwfString::Encode(uint8_t version) const {
  return fromFile_ ? bytes_ : EncodeSwfText(text_, version);
}

uint32_t SwfString::EncodedSize(uint8_t version) const {
  if (fromFile_) return static_cast<uint32_t>(bytes_.size());
  if (version < kFirstUtf8Version) return static_cast<uint32_t>(text_.size());
  return static_cast<uint32_t>(toolbox::WideToUtf8(text_).size());
}
