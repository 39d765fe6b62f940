#include "toolbox/StringTable.h"

#include <fstream>
#include <iterator>

#include "toolbox/AppLocation.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  // Skips white space and comments; false on an unterminated block comment.
  bool SkipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (text_.compare(pos_, 2, "//") == 0) {
        const size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.compare(pos_, 2, "/*") == 0) {
        const size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
          pos_ = text_.size();
          return false;
        }
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool Expect(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // A quoted string with its escapes resolved, still as UTF-8 bytes. A line end inside the
  // quotes is an error.
  bool Quoted(std::string& out) {
    out.clear();
    if (!Expect('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (c == '\n') return false;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char e = text_[pos_++];
      out.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e);
    }
    return false;
  }

  size_t Position() const { return pos_; }

  // After an error in the entry that began at `start`: continue on the following line.
  void Recover(size_t start) {
    const size_t end = text_.find('\n', start);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

bool StringTable::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // byte order mark
  Reader r(text);
  bool clean = true;
  std::string key, value;
  while (true) {
    if (!r.SkipSpace()) return false;
    if (r.AtEnd()) break;
    const size_t start = r.Position();
    const bool ok = r.Quoted(key) && r.SkipSpace() && r.Expect('=') && r.SkipSpace() &&
                    r.Quoted(value) && r.SkipSpace() && r.Expect(';');
    if (!ok) {
      clean = false;
      r.Recover(start);
      continue;
    }
    entries_[Utf8ToWide(key)] = Utf8ToWide(value);
  }
  return clean;
}

bool StringTable::LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  return Parse(bytes);
}

const std::wstring* StringTable::Find(const std::wstring& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

const StringTable& MainStringTable() {
  // Read again whenever the data folder changes (a test points it elsewhere), so that what
  // is found never depends on which folder happened to be asked first.
  static StringTable table;
  static std::string loadedFrom;
  static bool loaded = false;
  const std::string folder = ResourcesFolder();
  if (!loaded || folder != loadedFrom) {
    table = StringTable();
    if (!folder.empty()) table.LoadFile(folder + "Localizable.strings");
    loadedFrom = folder;
    loaded = true;
  }
  return table;
}

CFStringRef CopyLocalizedString(const CFStringRef& key, const CFStringRef& value) {
  if (!key) return nullptr;
  if (const std::wstring* text = MainStringTable().Find(key->Text())) return CreateString(*text);
  return value ? value : key;
}

}  // namespace toolbox
