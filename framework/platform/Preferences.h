#pragma once
// A store of preference values for one domain, read and written value by value under wide
// keys. Each domain is one XML document: "$XDG_CONFIG_HOME/<domain>.xml" for the current
// user (mode 1), or, read-only, "<first folder of $XDG_CONFIG_DIRS>/<domain>.xml" (default
// /etc/xdg) for every user of this machine (mode 0). Values are strings (UTF-8 in the file),
// signed 32-bit numbers, booleans and bytes (base64).
//
// Open reads the file once; Close writes every value back when something was set, by the
// safe-save rule, so a failed save leaves the previous file as it was. A file that was read
// but is not a preferences document (truncated, not XML, another program's layout) opens
// as an empty store, after it has been renamed to "<name>.damaged" (or "<name>.damaged-2"
// and so on, never over a copy kept before) so that no later save destroys what the user
// may still want from it. A higher number is always a newer copy: once the next number's
// name would be too long for the folder, the copies kept are numbered again from 1. The
// newest kPreferencesKeptCopies copies are kept (as many as the folder's longest name has
// numbers for, where that is fewer), older ones removed. Where it cannot be moved aside, it
// opens as an empty store all the same, and while it is there no save replaces it: Close
// fails. A file that cannot be read at all is not touched: Open fails.
//
// The store holds only what its file can carry back: a value that would make the file
// larger than the reader takes is refused when it is set.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "framework/platform/PathString.h"

// lastError numbers.
inline constexpr int32_t kPrefsErrSync = 603;
inline constexpr int32_t kPrefsErrStringKey = 604;
inline constexpr int32_t kPrefsErrStringValue = 605;
inline constexpr int32_t kPrefsErrLongKey = 608;
inline constexpr int32_t kPrefsErrLongValue = 609;
inline constexpr int32_t kPrefsErrBoolKey = 610;
inline constexpr int32_t kPrefsErrDataKey = 611;
// The value would make the file too large to be read back.
inline constexpr int32_t kPrefsErrDataValue = 612;

// How many copies of damaged files are kept beside the preferences file.
inline constexpr size_t kPreferencesKeptCopies = 10;

inline constexpr int kPrefsAnyUser = 0;      // any user on this machine: read-only
inline constexpr int kPrefsCurrentUser = 1;  // the current user

class Preferences {
 public:
  Preferences() = default;
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;

  // No name selects the running application's own domain (its executable's name). False
  // for another mode, a name that cannot be a file name, or a file that cannot be read.
  bool Open(const wchar_t* domain, int mode);
  // When open and changed since opening: writes the file (failure: lastError 603), forgets
  // the domain and returns whether the file was written. Otherwise false, changing nothing.
  bool Close();

  // Readers: false (or 0) with the out value unchanged when the key is missing or holds
  // another kind of value.
  // Copies the bytes when they fit in the capacity and returns their count; 0 otherwise.
  size_t GetData(const wchar_t* key, void* buffer, size_t capacity) const;
  bool GetBool(const wchar_t* key, bool& out) const;
  bool GetLong(const wchar_t* key, int32_t& out) const;
  // The whole string.
  bool GetString(const wchar_t* key, std::wstring& out) const;

  // Writers: true when stored (the value reaches the file at Close). A store that is not
  // open refuses every value, with the writer's key number in lastError. A key or value that a
  // preferences file cannot hold (empty key, control characters, not a character, more
  // than the file can carry) is refused with the writer's lastError number: the key's, or
  // the value's (605 string, 609 number, 612 data) when the value is too large.
  bool SetData(const wchar_t* key, const void* bytes, size_t length);
  bool SetBool(const wchar_t* key, bool value);
  bool SetLong(const wchar_t* key, int32_t value);
  bool SetString(const wchar_t* key, const std::wstring& value);
  // Removes a key; true when it was there.
  bool Remove(const wchar_t* key);

  int32_t LastError() const { return lastError_; }
  bool IsOpen() const { return !domain_.empty(); }
  // The file of the open domain.
  const PathString& FilePath() const { return file_; }

  // Makes the next Close's writes fail after `bytes` bytes, as a full disk would (tests).
  void FailWritesAfter(size_t bytes) { failAfter_ = bytes; }

 private:
  using Value = std::variant<std::vector<uint8_t>, bool, int32_t, std::wstring>;
  bool Load(int attempt = 0);
  bool Save();
  bool Store(const wchar_t* key, Value value, int32_t keyError, int32_t valueError);
  static uint64_t EntrySize(const std::wstring& key, const Value& value);
  // Whether a file of values taking `bytes` in all, `entries` of them, can be read back.
  static bool Fits(uint64_t bytes, size_t entries);
  // The declaration, "<preferences>" and its end tag, and the closing line feed.
  static constexpr uint64_t kDocumentOverhead = 40 + 14 + 14 + 1;
  template <typename T>
  bool Get(const wchar_t* key, T& out) const;

  int32_t lastError_ = 0;
  std::wstring domain_;
  PathString file_;
  int mode_ = kPrefsCurrentUser;
  bool dirty_ = false;
  std::map<std::wstring, Value> values_;
  // The device and inode of a damaged file that Open could not move aside.
  std::optional<std::pair<uint64_t, uint64_t>> unkept_;
  // The bytes the values take in the file.
  uint64_t size_ = 0;
  size_t failAfter_ = SIZE_MAX;
};
