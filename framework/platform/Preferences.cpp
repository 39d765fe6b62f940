#include "framework/platform/Preferences.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Folders.h"
#include "toolbox/Utf8.h"

namespace {

constexpr const char* kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::wstring EncodeBase64(const std::vector<uint8_t>& bytes) {
  std::wstring out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = (uint32_t{bytes[i]} << 16) |
                       (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                       (i + 2 < bytes.size() ? uint32_t{bytes[i + 2]} : 0);
    out.push_back(static_cast<wchar_t>(kBase64Alphabet[(n >> 18) & 63]));
    out.push_back(static_cast<wchar_t>(kBase64Alphabet[(n >> 12) & 63]));
    out.push_back(i + 1 < bytes.size() ? static_cast<wchar_t>(kBase64Alphabet[(n >> 6) & 63]) : L'=');
    out.push_back(i + 2 < bytes.size() ? static_cast<wchar_t>(kBase64Alphabet[n & 63]) : L'=');
  }
  return out;
}

// Strict decoding: whole groups of four, the alphabet only, "=" only as the fill at the end.
bool DecodeBase64(const std::wstring& text, std::vector<uint8_t>& out) {
  if (text.size() % 4 != 0) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 4) {
    uint32_t n = 0;
    int fill = 0;
    for (size_t j = 0; j < 4; ++j) {
      const wchar_t c = text[i + j];
      uint32_t v = 0;
      if (c == L'=' && i + 4 == text.size() && j >= 2) {
        ++fill;
      } else {
        const char* p = c > 0 && c < 128 ? std::strchr(kBase64Alphabet, static_cast<char>(c)) : nullptr;
        if (!p || fill) return false;
        v = static_cast<uint32_t>(p - kBase64Alphabet);
      }
      n = (n << 6) | v;
    }
    out.push_back(static_cast<uint8_t>(n >> 16));
    if (fill < 2) out.push_back(static_cast<uint8_t>(n >> 8));
    if (fill < 1) out.push_back(static_cast<uint8_t>(n));
  }
  return true;
}

// Text a preferences file carries exactly: no control characters other than tab, line feed
// and carriage return, and only characters XML allows.
bool StorableText(const std::wstring& text) {
  for (wchar_t c : text) {
    const auto u = static_cast<uint32_t>(c);
    if ((u < 0x20 && u != 9 && u != 10 && u != 13) || (u >= 0xD800 && u <= 0xDFFF) ||
        u == 0xFFFE || u == 0xFFFF || u > 0x10FFFF)
      return false;
  }
  return true;
}

// Keys sit in attributes, which keep no line breaks: no control characters at all.
bool StorableKey(const wchar_t* key) {
  if (!key || !*key || !StorableText(key)) return false;
  for (const wchar_t* c = key; *c; ++c)
    if (static_cast<uint32_t>(*c) < 0x20) return false;
  return true;
}

// A whole decimal number in the signed 32-bit range.
bool ParseInt32(const std::wstring& text, int32_t& out) {
  if (text.empty() || text.size() > 11) return false;
  size_t i = text[0] == L'-' ? 1 : 0;
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    v = v * 10 + (text[i] - L'0');
  }
  if (text[0] == L'-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// The length in the file of text the writer escapes (XmlWriter::WriteEscaped): every
// character below U+0080 is one byte, the markup characters and line breaks a named or
// numeric reference, anything else a hexadecimal reference of its code.
uint64_t EscapedLength(std::wstring_view text) {
  uint64_t n = 0;
  for (wchar_t ch : text) {
    const auto c = static_cast<uint32_t>(ch);
    if (c == '"' || c == '\'' || c == '\n' || c == '\r' || c == '\t') n += 6;
    else if (c == '&') n += 5;
    else if (c == '<' || c == '>') n += 4;
    else if (c < 0x80) n += 1;
    else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) n += 8;
    else n += c < 0x100 ? 6 : c < 0x1000 ? 7 : c < 0x10000 ? 8 : c < 0x100000 ? 9 : 10;
  }
  return n;
}

uint64_t DecimalLength(int32_t v) {
  uint64_t n = v < 0 ? 2 : 1;
  for (int64_t a = v < 0 ? -int64_t{v} : v; a >= 10; a /= 10) ++n;
  return n;
}

std::wstring ExecutableName() {
  std::string path;
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  if (n > 0) path.assign(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return toolbox::Utf8ToWide(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The folder of the shared (read-only) preferences: the first absolute entry of
// $XDG_CONFIG_DIRS, else /etc/xdg.
std::string SharedConfigFolder() {
  if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
    std::string all = dirs;
    size_t start = 0;
    while (start <= all.size()) {
      const size_t colon = std::min(all.find(':', start), all.size());
      const std::string entry = all.substr(start, colon - start);
      if (!entry.empty() && entry[0] == '/') return entry.back() == '/' ? entry : entry + "/";
      start = colon + 1;
    }
  }
  return "/etc/xdg/";
}

// The number of a kept copy of a damaged file, as its decimal digits: "1" for
// "<name>.damaged", n for "<name>.damaged-n", with any number of digits, so that no copy
// is ever left uncounted (and never pruned); empty for any other name.
std::string KeptCopyNumber(const std::string& entry, const std::string& stem) {
  if (entry.size() < stem.size() || entry.compare(0, stem.size(), stem) != 0) return std::string();
  const std::string rest = entry.substr(stem.size());
  if (rest.empty()) return "1";
  if (rest.size() < 2 || rest[0] != '-' || rest[1] == '0' ||
      rest.find_first_not_of("0123456789", 1) != std::string::npos || rest == "-1")
    return std::string();
  return rest.substr(1);
}

bool IsNewerCopy(const std::string& a, const std::string& b) {
  return a.size() != b.size() ? a.size() > b.size() : a > b;
}

std::string NextCopyNumber(std::string n) {
  size_t i = n.size();
  while (i > 0 && n[i - 1] == '9') n[--i] = '0';
  if (i == 0) return "1" + n;
  ++n[i - 1];
  return n;
}

std::string KeptCopyName(const std::string& native, const std::string& n) {
  return native + ".damaged" + (n == "1" ? std::string() : "-" + n);
}

// The numbers of the kept copies of a damaged file, newest (highest) first.
std::vector<std::string> KeptCopies(const std::string& native) {
  const size_t slash = native.rfind('/');
  const std::string folder = native.substr(0, slash + 1);
  const std::string stem = native.substr(slash + 1) + ".damaged";
  std::vector<std::string> numbers;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir))
      if (std::string n = KeptCopyNumber(entry->d_name, stem); !n.empty()) numbers.push_back(std::move(n));
    closedir(dir);
  }
  std::sort(numbers.begin(), numbers.end(), IsNewerCopy);
  return numbers;
}

// Renames without replacing anything; false with errno set otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that form of rename: a new link cannot replace anything either.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) == 0) return true;
  const int error = errno;
  unlink(to.c_str());
  errno = error;
  return false;
}

// Numbers the kept copies again from 1, oldest first, once the next number's name would be
// too long for the folder: a higher number stays a newer copy, so that pruning by number
// keeps the newest. Where the names that fit cannot hold the copies and one more, the
// oldest go first. Each copy takes a number below every copy still to move, so the numbers
// keep the copies' order at every step. Returns the number for the next copy, or nothing
// when no name fits or a copy cannot be moved.
std::string RenumberKeptCopies(const std::string& native, const std::function<bool(const std::string&)>& fits) {
  const std::vector<std::string> kept = KeptCopies(native);
  size_t room = 0;
  while (room <= kPreferencesKeptCopies && fits(std::to_string(room + 1))) ++room;
  if (room == 0) return std::string();
  const size_t stay = std::min({kept.size(), room - 1, kPreferencesKeptCopies});
  for (size_t i = stay; i < kept.size(); ++i) unlink(KeptCopyName(native, kept[i]).c_str());
  size_t number = 0;
  for (size_t i = stay; i-- > 0;) {
    const std::string to = std::to_string(++number);
    if (kept[i] != to && !RenameNoReplace(KeptCopyName(native, kept[i]), KeptCopyName(native, to)))
      return std::string();
  }
  return std::to_string(number + 1);
}

enum class AsideResult { Moved, Gone, Replaced, Failed };

// Moves the damaged file that was read (`read`) to the next numbered name after the copies
// kept before ("<name>.damaged", then "<name>.damaged-2" and so on): a kept copy is never
// replaced. Only the newest kPreferencesKeptCopies copies stay; older ones are removed.
// What is moved is compared with what was read only once it is aside (looking first and
// moving then would leave a moment for a good file to take the name): a file that is not
// the one read goes back where it was, unless yet another has taken its place (Replaced).
// The folder's lock is held throughout: to anyone who looks under it, a file that was not the
// one read is never seen under a kept copy's name, and two recoveries never interleave.
AsideResult MoveAside(const std::string& native, const struct stat& read) {
  const std::string folder = native.substr(0, native.rfind('/') + 1);
  const FolderLock lock(folder);
  const std::vector<std::string> kept = KeptCopies(native);
  const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
  const size_t limit = nameMax > 0 ? static_cast<size_t>(nameMax) : NAME_MAX;
  const auto fits = [&](const std::string& n) { return KeptCopyName(native, n).size() - folder.size() <= limit; };
  std::string next = kept.empty() ? "1" : NextCopyNumber(kept.front());
  // Another process moving its copy aside at the same moment may take a number first.
  for (int attempt = 0; attempt < 1000; ++attempt, next = NextCopyNumber(next)) {
    if (!fits(next) && (next = RenumberKeptCopies(native, fits)).empty()) return AsideResult::Failed;
    const std::string aside = KeptCopyName(native, next);
    if (!RenameNoReplace(native, aside)) {
      if (errno == ENOENT) return AsideResult::Gone;
      if (errno == EEXIST) continue;
      return AsideResult::Failed;
    }
    struct stat moved;
    if (lstat(aside.c_str(), &moved) != 0) return AsideResult::Gone;
    if (moved.st_dev != read.st_dev || moved.st_ino != read.st_ino) {
      // Saved after the read: it goes back. Where a newer save has taken the name meanwhile,
      // this one is what that save would have replaced, and is not kept as a damaged copy.
      if (!RenameNoReplace(aside, native) && errno == EEXIST) unlink(aside.c_str());
      return AsideResult::Replaced;
    }
    // The copy just made stays, whatever its number, with the newest of the others.
    size_t count = 1;
    for (const std::string& n : KeptCopies(native))
      if (n != next && count++ >= kPreferencesKeptCopies) unlink(KeptCopyName(native, n).c_str());
    return AsideResult::Moved;
  }
  return AsideResult::Failed;
}

}  // namespace

// The bytes one value takes in the file, as Save writes it:
// "  <kind key="KEY">VALUE</kind>" and a line feed.
uint64_t Preferences::EntrySize(const std::wstring& key, const Value& value) {
  static const uint64_t kindLength[] = {4, 7, 7, 6};  // data, boolean, integer, string
  uint64_t v = 0;
  if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value)) {
    v = (bytes->size() + 2) / 3 * 4;
  } else if (const bool* b = std::get_if<bool>(&value)) {
    v = *b ? 4 : 5;
  } else if (const int32_t* n = std::get_if<int32_t>(&value)) {
    v = DecimalLength(*n);
  } else {
    const std::wstring& text = std::get<std::wstring>(value);
    v = !text.empty() && text.find_first_not_of(L' ') == std::wstring::npos ? text.size() + 5
                                                                             : EscapedLength(text);
  }
  return 15 + 2 * kindLength[value.index()] + EscapedLength(key) + v;
}

bool Preferences::Fits(uint64_t bytes, size_t entries) {
  // The declaration, "<preferences>", its end and the closing line feed; the writer counts
  // at most seven nodes a value (two tags, the key and the padding of base64 data) and a few
  // for the rest.
  return kDocumentOverhead + bytes <= XmlDocument::kMaxFileSize &&
         7 * static_cast<uint64_t>(entries) + 16 <= XmlDocument::kMaxNodes;
}

bool Preferences::Open(const wchar_t* domain, int mode) {
  if (mode != kPrefsAnyUser && mode != kPrefsCurrentUser) return false;
  const std::wstring name = domain ? std::wstring(domain) : ExecutableName();
  const std::string fileName = toolbox::WideToUtf8(name) + ".xml";
  if (name.empty() || !StorableText(name) || !toolbox::IsValidItemName(fileName)) return false;
  std::string folder;
  if (mode == kPrefsAnyUser) {
    folder = SharedConfigFolder();
  } else {
    folder = toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::Preferences, false);
    if (folder.empty()) return false;
  }
  domain_ = name;
  mode_ = mode;
  file_ = PathString(toolbox::Utf8ToWide(folder + fileName));
  dirty_ = false;
  values_.clear();
  unkept_.reset();
  if (!Load()) {
    domain_.clear();
    file_.clear();
    values_.clear();
    return false;
  }
  return true;
}

// Reads the domain's file. A missing file is an empty store; one that is there but cannot
// be read (no permission, an I/O error, not a file) fails, and is left as it is; one that
// was read but is not a preferences document is moved aside (the current user's only) and
// also gives an empty store.
bool Preferences::Load(int attempt) {
  const std::string native = toolbox::WideToUtf8(file_);
  std::map<std::wstring, Value> values;
  XmlDocument doc;
  XmlNode top;
  // The item at the name is held (not opened for reading: a device or a pipe is not touched)
  // until it has been judged, so that no newer file can take its inode number meanwhile and
  // be taken for it when the damaged file is moved aside.
  struct stat read;
  const int held = open(native.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  const bool wasThere = held >= 0 && fstat(held, &read) == 0;
  struct Release {
    int fd;
    ~Release() {
      if (fd >= 0) close(fd);
    }
  } release{held};
  bool good = doc.Load(file_);
  if (!good && doc.Status() != XmlDocument::LoadStatus::Malformed) {
    // Nothing there is an empty store; a folder, a pipe or an unreadable file is not.
    struct stat st;
    values_.clear();
    size_ = 0;
    if (doc.Status() != XmlDocument::LoadStatus::NotAFile) return false;
    if (stat(native.c_str(), &st) != 0) {
      if (errno != ENOENT && errno != ENOTDIR) return false;
      // No file, or one that a recovery in another process holds aside for a moment, under
      // the folder's lock, to compare it and perhaps put it back. Read as missing, it would
      // give an empty store whose save takes the place of the good file put back. Once the
      // lock is free, the file is wherever it stays.
      if (mode_ != kPrefsCurrentUser || attempt >= 3) return true;
      bool back = false;
      {
        const FolderLock lock(native.substr(0, native.rfind('/') + 1));
        back = lstat(native.c_str(), &st) == 0;
      }
      return !back || Load(attempt + 1);
    }
    // Gone when it was opened and back now: another process that was keeping a damaged
    // file aside put back one that was not the one it read, or a new file took the name.
    // Read again: each time round, another process has changed the name meanwhile, and a
    // file that is there is no reason for the open to fail, however busy the others are.
    return S_ISREG(st.st_mode) && attempt < 50 && Load(attempt + 1);
  }
  good = good && doc.GetDocumentNode(top);
  int roots = 0;
  for (int i = 0; good && i < top.ChildCount(); ++i) {
    XmlValue child;
    XmlElement root;
    WideText name;
    if (!top.ChildAt(i, child) || !child.ToElement(root)) continue;
    ++roots;
    XmlNode entries;
    good = child.Name(name) && name.Equals(L"preferences", true) && child.ToNode(entries);
    for (int j = 0; good && j < entries.ChildCount(); ++j) {
      XmlValue entry;
      XmlElement element;
      WideText kind;
      if (!entries.ChildAt(j, entry) || !entry.ToElement(element)) continue;
      XmlValue keyValue;
      XmlNode content;
      good = entry.Name(kind) && element.Attribute("key", keyValue) && entry.ToNode(content) &&
             content.ChildCount() <= 1;
      if (!good) break;
      // The value is the element's text: nothing for an empty string, else one text node.
      WideText textValue;
      XmlValue only;
      XmlElement nested;
      if (content.ChildAt(0, only)) {
        good = !only.ToElement(nested) && entry.Text(textValue);
        if (!good) break;
      }
      const std::wstring key = keyValue.AsString();
      const std::wstring text = textValue.CStr();
      good = !key.empty();
      if (kind.Equals(L"string", true)) {
        values[key] = text;
      } else if (kind.Equals(L"integer", true)) {
        int32_t n = 0;
        good = good && ParseInt32(text, n);
        values[key] = n;
      } else if (kind.Equals(L"boolean", true)) {
        good = good && (text == L"true" || text == L"false");
        values[key] = text == L"true";
      } else if (kind.Equals(L"data", true)) {
        std::vector<uint8_t> bytes;
        good = good && DecodeBase64(text, bytes);
        values[key] = std::move(bytes);
      } else {
        good = false;
      }
    }
  }
  if (good && roots == 1) {
    values_ = std::move(values);
    size_ = 0;
    for (const auto& [key, value] : values_) size_ += EntrySize(key, value);
    return true;
  }
  // Damaged: keep it for the user under another name, and start from defaults. Another
  // process starting at the same time may have moved it aside already (then there is no
  // file: defaults, nothing lost), or saved a good file in its place, which is read instead.
  if (mode_ == kPrefsCurrentUser) {
    struct stat now;
    const bool same = wasThere && lstat(native.c_str(), &now) == 0 && now.st_dev == read.st_dev &&
                      now.st_ino == read.st_ino;
    const AsideResult aside = same ? MoveAside(native, read) : AsideResult::Replaced;
    if (aside == AsideResult::Replaced && attempt < 3) return Load(attempt + 1);
    // A damaged file that cannot be moved aside stays where it is: defaults all the same,
    // which no save may put in its place.
    struct stat left;
    if (aside == AsideResult::Failed && lstat(native.c_str(), &left) == 0)
      unkept_ = {left.st_dev, left.st_ino};
  }
  values_.clear();
  size_ = 0;
  return true;
}

bool Preferences::Save() {
  if (mode_ != kPrefsCurrentUser) return false;
  struct stat now;
  if (unkept_ && lstat(toolbox::WideToUtf8(file_).c_str(), &now) == 0 &&
      *unkept_ == std::pair<uint64_t, uint64_t>(now.st_dev, now.st_ino))
    return false;
  if (toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::Preferences, true).empty())
    return false;
  XmlWriter writer;
  XmlWriterOptions options;
  options.standardHeader = true;
  if (!writer.Open(file_, options, true)) return false;
  if (failAfter_ != SIZE_MAX) writer.FailWritesAfter(failAfter_);
  failAfter_ = SIZE_MAX;
  writer.Write(L"<preferences>\n");
  for (const auto& [key, value] : values_) {
    static const wchar_t* const kinds[] = {L"data", L"boolean", L"integer", L"string"};
    writer.Write(L"  <").Write(kinds[value.index()]).Write(L" key=\"");
    writer.WriteEscaped(key);
    writer.Write(L"\">");
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value)) {
      writer.Write(EncodeBase64(*bytes));
    } else if (const bool* b = std::get_if<bool>(&value)) {
      writer.WriteBool(*b);
    } else if (const int32_t* n = std::get_if<int32_t>(&value)) {
      writer.WriteLong(*n);
    } else {
      // Text of nothing but spaces would read back as no text: its first space goes as a
      // character reference, which readers keep.
      const std::wstring& text = std::get<std::wstring>(value);
      if (!text.empty() && text.find_first_not_of(L' ') == std::wstring::npos) {
        writer.Write(L"&#x20;");
        writer.WriteEscaped(std::wstring_view(text).substr(1));
      } else {
        writer.WriteEscaped(text);
      }
    }
    writer.Write(L"</").Write(kinds[value.index()]).Write(L">\n");
  }
  writer.Write(L"</preferences>");
  return writer.Close();
}

bool Preferences::Close() {
  if (!IsOpen() || !dirty_) return false;
  const bool saved = Save();
  if (!saved) lastError_ = kPrefsErrSync;
  domain_.clear();
  file_.clear();
  values_.clear();
  size_ = 0;
  dirty_ = false;
  return saved;
}

size_t Preferences::GetData(const wchar_t* key, void* buffer, size_t capacity) const {
  if (!key) return 0;
  auto it = values_.find(key);
  if (it == values_.end()) return 0;
  const auto* bytes = std::get_if<std::vector<uint8_t>>(&it->second);
  if (!bytes || bytes->size() > capacity || (!buffer && !bytes->empty())) return 0;
  if (!bytes->empty()) std::memcpy(buffer, bytes->data(), bytes->size());
  return bytes->size();
}

template <typename T>
bool Preferences::Get(const wchar_t* key, T& out) const {
  if (!key) return false;
  auto it = values_.find(key);
  if (it == values_.end() || !std::holds_alternative<T>(it->second)) return false;
  out = std::get<T>(it->second);
  return true;
}

bool Preferences::GetBool(const wchar_t* key, bool& out) const { return Get(key, out); }
bool Preferences::GetLong(const wchar_t* key, int32_t& out) const { return Get(key, out); }
bool Preferences::GetString(const wchar_t* key, std::wstring& out) const { return Get(key, out); }

bool Preferences::Store(const wchar_t* key, Value value, int32_t keyError, int32_t valueError) {
  // A store that is not open has nowhere to keep a value: nothing would ever be saved.
  if (!IsOpen() || !StorableKey(key)) {
    lastError_ = keyError;
    return false;
  }
  // A value is kept only when the file that holds it can be read back.
  const std::wstring name(key);
  auto it = values_.find(name);
  const uint64_t old = it == values_.end() ? 0 : EntrySize(name, it->second);
  const uint64_t added = EntrySize(name, value);
  if (!Fits(size_ - old + added, values_.size() + (it == values_.end() ? 1 : 0))) {
    // Too large for its file: the value's fault, unless the key alone is (or nearly is).
    lastError_ = Fits(EntrySize(name, Value(false)) + size_ - old, values_.size() + 1) ? valueError
                                                                                          : keyError;
    return false;
  }
  if (it == values_.end())
    values_.emplace(name, std::move(value));
  else
    it->second = std::move(value);
  size_ = size_ - old + added;
  dirty_ = true;
  return true;
}

bool Preferences::SetData(const wchar_t* key, const void* bytes, size_t length) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  // Refused before a copy is made: the file could not hold more than this.
  if (b && length > XmlDocument::kMaxFileSize) {
    lastError_ = IsOpen() && StorableKey(key) ? kPrefsErrDataValue : kPrefsErrDataKey;
    return false;
  }
  return Store(key, std::vector<uint8_t>(b, b + (b ? length : 0)), kPrefsErrDataKey, kPrefsErrDataValue);
}

bool Preferences::SetBool(const wchar_t* key, bool value) {
  return Store(key, value, kPrefsErrBoolKey, kPrefsErrBoolKey);
}

bool Preferences::SetLong(const wchar_t* key, int32_t value) {
  return Store(key, value, kPrefsErrLongKey, kPrefsErrLongValue);
}

bool Preferences::SetString(const wchar_t* key, const std::wstring& value) {
  if (IsOpen() && StorableKey(key) && !StorableText(value)) {
    lastError_ = kPrefsErrStringValue;
    return false;
  }
  return Store(key, value, kPrefsErrStringKey, kPrefsErrStringValue);
}

bool Preferences::Remove(const wchar_t* key) {
  if (!key) return false;
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  size_ -= EntrySize(it->first, it->second);
  values_.erase(it);
  dirty_ = true;
  return true;
}
