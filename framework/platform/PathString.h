#pragma once
// PathString: a path or a general piece of wide text (UTF-32 wchar_t). Paths are POSIX style
// ('/' separators; absolute paths start with '/'; folders made from file references end
// with '/'). The path operations themselves are in PathLayer.h.
#include <string>
#include <string_view>

namespace toolbox {
struct FileRef;
struct FileUrl;
}  // namespace toolbox

class PathString : public std::wstring {
 public:
  PathString() = default;
  // A null pointer gives the empty string.
  PathString(const wchar_t* text) { Assign(text); }  // NOLINT: implicit by design
  PathString(const std::wstring& text) : std::wstring(text) {}  // NOLINT
  PathString(std::wstring&& text) : std::wstring(std::move(text)) {}  // NOLINT
  PathString(std::wstring_view text) : std::wstring(text) {}  // NOLINT
  PathString(const PathString&) = default;
  PathString(PathString&&) = default;
  // The path of a file-system reference (through PathFromFSRef) or of a URL (through
  // PathFromCFURL); an empty reference or URL gives the empty string.
  explicit PathString(const toolbox::FileRef& ref);
  explicit PathString(const toolbox::FileUrl& url);

  PathString& operator=(const PathString&) = default;
  PathString& operator=(PathString&&) = default;
  PathString& operator=(const wchar_t* text) { return Assign(text); }
  PathString& operator=(const std::wstring& text) {
    std::wstring::operator=(text);
    return *this;
  }

  // Copies a text; a null pointer clears the path.
  PathString& Assign(const wchar_t* text) {
    if (text)
      std::wstring::assign(text);
    else
      std::wstring::clear();
    return *this;
  }

  const std::wstring& str() const { return *this; }
};
