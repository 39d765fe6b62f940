#pragma once
// Helpers of the SWF tests: hex bytes, writing an object, feeding bytes to a reader, and the
// round-trip table shape (version, object, bytes): reading the bytes gives the object and
// writing the object gives the bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "framework/platform/PathString.h"

namespace swftest {

using Bytes = std::vector<uint8_t>;

// "3F 03 0A" (spaces optional) as bytes.
Bytes Hex(const std::string& text);
// Bytes as "3F 03 0A".
std::string ToHex(const Bytes& bytes);
std::string ToHex(const std::string& bytes);

// The bytes an object writes for a movie of `version`.
Bytes Written(SwfObject& object, uint8_t version);
// Makes `reader` read `bytes` as part of a movie of `version`.
void Load(SwfReader& reader, const Bytes& bytes, uint8_t version);

// Every field of an object as text (strings as the bytes they are written as), so that two
// objects compare equal exactly when they describe the same thing.
std::string Describe(const SwfObject& object, uint8_t version);
// The same for the styles, shapes, morph shapes, bitmaps and buttons; false for other objects.
bool DescribeDrawing(const SwfObject& object, uint8_t version, std::string& out);

enum class Kind { kTag, kAction, kRecord };

struct RoundTrip {
  std::string name;
  uint8_t version;
  std::function<std::unique_ptr<SwfObject>()> make;
  std::string hex;
  Kind kind = Kind::kTag;
  // For records: an empty object of the same class to read into.
  std::function<std::unique_ptr<SwfObject>()> blank = nullptr;
};

// Reads one object of `kind` from the reader (a tag through the tag factory, an action
// through the action factory).
std::unique_ptr<SwfObject> ReadOne(SwfReader& reader, const RoundTrip& c);

// Writes the object and compares with the bytes; reads the bytes and compares with the object;
// writes the read object again and compares with the bytes.
void ExpectRoundTrip(const RoundTrip& c);

template <class T, class... Args>
std::function<std::unique_ptr<SwfObject>()> Blank(Args... args) {
  return [=] { return std::unique_ptr<SwfObject>(new T(args...)); };
}

// A maker of a new T that `fill` sets up, for the `make` of a RoundTrip.
template <class T>
std::function<std::unique_ptr<SwfObject>()> MadeBy(std::function<void(T&)> fill) {
  return [fill] {
    auto o = std::make_unique<T>();
    fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

// Reads the movie at `from` into a tag list and writes it again to `to` through the movie
// writer; the written length, 0 on failure.
uint32_t RewriteMovie(const PathString& from, const PathString& to);

// A file-system path as the system's path type.
PathString PathOf(const std::filesystem::path& path);

// A whole FWS movie of `version` (550 x 400 pixels, 12 fps, the frame count given) holding
// the tags, which are written and deleted.
std::string MovieBytes(uint8_t version, const std::vector<SwfTag*>& tags, uint16_t frames = 1);
// The same deflated into its CWS form (zlib level 9).
std::string Compressed(const std::string& fws);

// Points the application's private temporary folder at a fresh scratch folder for the life
// of the object, so that a test can see every temporary file the readers leave there.
class PrivateTemporaryFolder {
 public:
  PrivateTemporaryFolder();
  ~PrivateTemporaryFolder();
  // The files in it.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path base_;
  std::string saved_;
  bool hadSaved_;
};

}  // namespace swftest
