#include "flash/swf/SwfText.h"

#include <atomic>
#include <mutex>

#include "toolbox/Utf8.h"

namespace {
constexpr uint8_t kFirstUtf8Version = 6;
}

std::string EncodeSwfText(std::wstring_view text, uint8_t version) {
  if (version >= kFirstUtf8Version) return toolbox::WideToUtf8(text);
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const auto code = static_cast<uint32_t>(text[i]);
    out[i] = code < 256 ? static_cast<char>(code) : '?';
  }
  return out;
}

std::wstring DecodeSwfText(std::string_view bytes, uint8_t version) {
  if (version >= kFirstUtf8Version) return toolbox::Utf8ToWide(bytes);
  std::wstring out(bytes.size(), L'\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return out;
}

// Never changed once made, except for the text of bytes read, which is decoded once, when
// first asked for.
struct SwfString::Rep {
  std::atomic<uint32_t> refs{1};
  bool fromFile = false;
  uint8_t version = 0;
  std::once_flag decodeOnce;
  std::wstring text;
  std::string bytes;
};

SwfString::SwfString(const wchar_t* text) {
  if (!text || !*text) return;
  rep_ = new Rep;
  rep_->text = text;
}

SwfString::SwfString(std::wstring text) {
  if (text.empty()) return;
  rep_ = new Rep;
  rep_->text = std::move(text);
}

SwfString::SwfString(const SwfString& other) noexcept : rep_(other.rep_) {
  if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
}

SwfString& SwfString::operator=(const SwfString& other) noexcept {
  if (other.rep_) other.rep_->refs.fetch_add(1, std::memory_order_relaxed);
  if (rep_) Release();
  rep_ = other.rep_;
  return *this;
}

SwfString& SwfString::operator=(SwfString&& other) noexcept {
  if (this != &other) {
    if (rep_) Release();
    rep_ = other.rep_;
    other.rep_ = nullptr;
  }
  return *this;
}

void SwfString::Release() noexcept {
  if (rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete rep_;
  rep_ = nullptr;
}

SwfString SwfString::FromFile(std::string bytes, uint8_t version) {
  SwfString s;
  s.rep_ = new Rep;
  s.rep_->fromFile = true;
  s.rep_->version = version;
  s.rep_->bytes = std::move(bytes);
  return s;
}

const std::wstring& SwfString::Text() const {
  static const std::wstring kEmpty;
  if (!rep_) return kEmpty;
  if (rep_->fromFile) {
    Rep& rep = *rep_;
    std::call_once(rep.decodeOnce, [&rep] { rep.text = DecodeSwfText(rep.bytes, rep.version); });
  }
  return rep_->text;
}

bool SwfString::IsFromFile() const { return rep_ && rep_->fromFile; }

bool SwfString::empty() const { return !rep_ || (rep_->fromFile ? rep_->bytes.empty() : rep_->text.empty()); }

std::string_view SwfString::FileBytes() const { return IsFromFile() ? std::string_view(rep_->bytes) : std::string_view(); }

std::string SwfString::Encode(uint8_t version) const {
  if (!rep_) return std::string();
  return rep_->fromFile ? rep_->bytes : EncodeSwfText(rep_->text, version);
}

uint32_t SwfString::EncodedSize(uint8_t version) const {
  if (!rep_) return 0;
  if (rep_->fromFile) return static_cast<uint32_t>(rep_->bytes.size());
  if (version < kFirstUtf8Version) return static_cast<uint32_t>(rep_->text.size());
  return static_cast<uint32_t>(toolbox::Utf8Size(rep_->text));
}

bool operator==(const SwfString& a, const SwfString& b) {
  if (a.rep_ == b.rep_) return true;
  return a.IsFromFile() == b.IsFromFile() && a.FileBytes() == b.FileBytes() && a.Text() == b.Text();
}
