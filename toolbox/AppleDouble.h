#pragma once
// The AppleDouble sidecar ("._name" beside a file) that keeps what a POSIX file system has no
// place for: the Finder information (type, creator, Finder flags, location) and the resource
// fork. The layout is the published AppleDouble version 2 format that macOS itself writes on
// foreign file systems, so a Mac reading the folder sees the same type, creator and fork.
#include <cstdint>
#include <string>
#include <string_view>

namespace toolbox {

using OSType = uint32_t;

constexpr OSType MakeOSType(const char (&code)[5]) {
  return (static_cast<OSType>(static_cast<unsigned char>(code[0])) << 24) |
         (static_cast<OSType>(static_cast<unsigned char>(code[1])) << 16) |
         (static_cast<OSType>(static_cast<unsigned char>(code[2])) << 8) |
         static_cast<OSType>(static_cast<unsigned char>(code[3]));
}

inline constexpr OSType kUnknownOSType = MakeOSType("????");
inline constexpr uint16_t kFinderFlagInvisible = 0x4000;
inline constexpr uint16_t kFinderFlagHasBundle = 0x2000;

// The 32 bytes of Finder information: the classic FileInfo record (type, creator, flags,
// location, folder field) followed by 16 bytes of extended information kept as they are.
struct FinderInfo {
  OSType type = 0;
  OSType creator = 0;
  uint16_t flags = 0;
  int16_t locationV = 0;
  int16_t locationH = 0;
  uint16_t reserved = 0;
  uint8_t extended[16] = {};

  // True when nothing here is worth a sidecar: no flags, no location, and a type and
  // creator that are either zero or the "????" of an unknown file.
  bool IsEmpty() const;
  void ToBytes(uint8_t out[32]) const;
  static FinderInfo FromBytes(const uint8_t in[32]);
  bool operator==(const FinderInfo&) const = default;
};

struct SidecarContents {
  FinderInfo finderInfo;
  std::string resourceFork;
  bool IsEmpty() const { return finderInfo.IsEmpty() && resourceFork.empty(); }
};

// AppleDouble magic number and version.
inline constexpr uint32_t kAppleDoubleMagic = 0x00051607;
inline constexpr uint32_t kAppleDoubleVersion = 0x00020000;

// Encodes the contents as an AppleDouble file: header, the Finder-information entry (id 9,
// 32 bytes) and then the resource-fork entry (id 2), the order macOS expects.
std::string EncodeAppleDouble(const SidecarContents& contents);

// Decodes an AppleDouble file. Every offset and length is checked against the data; false
// (and `out` left empty) for anything that is not a well-formed AppleDouble file.
bool DecodeAppleDouble(std::string_view data, SidecarContents& out);

// "folder/._name" for "folder/name"; empty for a path without a name ("/" or "").
std::string SidecarPathFor(const std::string& path);

// Whether the item at `path` can have a sidecar: false for a name too long to take the
// "._" before it (over 253 bytes), whose Finder information and resource fork cannot be
// kept. Such a file is written, moved and renamed without one.
bool CanHaveSidecar(const std::string& path);

// True when a file name is itself a sidecar name ("._" followed by something).
bool IsSidecarName(std::string_view name);

// Reads the sidecar of `path`; a missing or malformed sidecar gives empty contents.
SidecarContents ReadSidecar(const std::string& path);

// Writes the sidecar of `path` through a temporary sibling ("._sidecar-XXXXXX", locked
// while it is written) and a rename, or removes it when the contents are empty. False when
// the sidecar could not be written or removed.
bool WriteSidecar(const std::string& path, const SidecarContents& contents);

// Removes the temporary sidecars in the folder that writers which died left behind (those
// no writer holds locked).
void RemoveAbandonedSidecarTemporaries(const std::string& folder);

// Removes the sidecar of `path` if there is one; true when none is left.
bool RemoveSidecar(const std::string& path);

}  // namespace toolbox
