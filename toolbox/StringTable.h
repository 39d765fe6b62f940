#pragma once
// The application's numbered texts: a strings file "Localizable.strings" in the data
// folder, UTF-8, with entries of the form
//     "10019" = "This program needs a newer system.";
// Keys and values are quoted; inside quotes \" \\ \n and \t are escapes. Comments are
// /* ... */ or // to the end of the line.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "toolbox/CFString.h"

namespace toolbox {

class StringTable {
 public:
  // Adds the entries of a strings file's text; a later entry replaces an earlier one of the
  // same key. Returns false when some part is malformed; the well-formed entries are kept
  // and reading resumes on the line after the one where the bad entry began.
  bool Parse(std::string_view text);

  // Reads and parses a file; false when it cannot be read or is malformed.
  bool LoadFile(const std::string& path);

  // The value of a key, or null.
  const std::wstring* Find(const std::wstring& key) const;
  size_t Size() const { return entries_.size(); }

 private:
  std::unordered_map<std::wstring, std::wstring> entries_;
};

// The table of the data folder (ResourcesFolder() + "Localizable.strings"), read on first
// use and again when the data folder changes. Empty when the file is missing.
const StringTable& MainStringTable();

// The localized text of `key` in the main table; `value` when the key has no entry (the
// key itself when `value` is null). Null only for a null key.
CFStringRef CopyLocalizedString(const CFStringRef& key, const CFStringRef& value);

}  // namespace toolbox
