#pragma once
// Text inside SWF movies. Text the system converts into a movie is UTF-8 from version 6 on
// (what players of those versions read) and Latin-1 below; text read from a movie keeps its
// bytes, so that writing it again gives the same bytes whatever its encoding was. Every
// writer and every size computation goes through EncodeSwfText, so sizes always agree with
// the bytes written. Nothing here consults the process locale.
#include <cstdint>
#include <string>
#include <string_view>

// Wide text as the bytes of a movie of `version`: UTF-8 from 6 on; below 6 Latin-1, with one
// '?' for every character that Latin-1 cannot hold.
std::string EncodeSwfText(std::wstring_view text, uint8_t version);

// Bytes of a movie of `version` as wide text: UTF-8 from 6 on (invalid sequences become
// U+FFFD), Latin-1 below.
std::wstring DecodeSwfText(std::string_view bytes, uint8_t version);

// A string field of a SWF object: wide text set by the system, or the bytes read from a
// movie (with their decoded text for look-ups, decoded when first asked for). Assigning new
// text drops the bytes read. The field is one pointer: an empty string holds nothing, and
// copies share the same unchanging text.
class SwfString {
 public:
  SwfString() = default;
  SwfString(const wchar_t* text);
  SwfString(std::wstring text);
  SwfString(const SwfString& other) noexcept;
  SwfString(SwfString&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  SwfString& operator=(const SwfString& other) noexcept;
  SwfString& operator=(SwfString&& other) noexcept;
  ~SwfString() {
    if (rep_) Release();
  }

  // A string read from a movie of `version`: written back as exactly these bytes.
  static SwfString FromFile(std::string bytes, uint8_t version);

  const std::wstring& Text() const;
  bool IsFromFile() const;
  bool empty() const;
  void clear() { *this = SwfString(); }

  // The bytes written into a movie of `version` (without a terminating zero).
  std::string Encode(uint8_t version) const;
  // The number of those bytes.
  uint32_t EncodedSize(uint8_t version) const;
  // The bytes read, for a string read from a movie; empty otherwise.
  std::string_view FileBytes() const;

  // Same text; strings read from a movie must also have the same bytes.
  friend bool operator==(const SwfString& a, const SwfString& b);

 private:
  struct Rep;
  // Drops this string's share of its text, which there must be.
  void Release() noexcept;

  Rep* rep_ = nullptr;
};
