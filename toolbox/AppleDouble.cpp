#include "toolbox/AppleDouble.h"

#include "toolbox/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <vector>

namespace toolbox {
namespace {

constexpr uint32_t kEntryResourceFork = 2;
constexpr uint32_t kEntryFinderInfo = 9;
constexpr size_t kHeaderSize = 26;  // magic, version, 16 filler bytes, entry count
constexpr size_t kEntrySize = 12;   // id, offset, length
constexpr size_t kFinderInfoSize = 32;
// A resource fork is at most 16 MiB by the Resource Manager's own offsets; refuse more.
constexpr size_t kMaxSidecarSize = 16u * 1024 * 1024 + 4096;

void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v >> 16));
  Put16(s, static_cast<uint16_t>(v));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Get32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxSidecarSize) {
    close(fd);
    return false;
  }
  out.clear();
  char buf[8192];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (out.size() > kMaxSidecarSize) {
      close(fd);
      return false;
    }
  }
  close(fd);
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool FinderInfo::IsEmpty() const {
  if (type != 0 && type != kUnknownOSType) return false;
  if (creator != 0 && creator != kUnknownOSType) return false;
  if (flags != 0 || locationV != 0 || locationH != 0 || reserved != 0) return false;
  for (uint8_t b : extended)
    if (b != 0) return false;
  return true;
}

void FinderInfo::ToBytes(uint8_t out[32]) const {
  std::string s;
  Put32(s, type);
  Put32(s, creator);
  Put16(s, flags);
  Put16(s, static_cast<uint16_t>(locationV));
  Put16(s, static_cast<uint16_t>(locationH));
  Put16(s, reserved);
  std::memcpy(out, s.data(), 16);
  std::memcpy(out + 16, extended, 16);
}

FinderInfo FinderInfo::FromBytes(const uint8_t in[32]) {
  FinderInfo f;
  f.type = Get32(in);
  f.creator = Get32(in + 4);
  f.flags = Get16(in + 8);
  f.locationV = static_cast<int16_t>(Get16(in + 10));
  f.locationH = static_cast<int16_t>(Get16(in + 12));
  f.reserved = Get16(in + 14);
  std::memcpy(f.extended, in + 16, 16);
  return f;
}

std::string EncodeAppleDouble(const SidecarContents& contents) {
  std::string s;
  Put32(s, kAppleDoubleMagic);
  Put32(s, kAppleDoubleVersion);
  s.append(16, '\0');
  Put16(s, 2);
  const uint32_t finderOffset = kHeaderSize + 2 * kEntrySize;
  const uint32_t forkOffset = finderOffset + kFinderInfoSize;
  Put32(s, kEntryFinderInfo);
  Put32(s, finderOffset);
  Put32(s, kFinderInfoSize);
  Put32(s, kEntryResourceFork);
  Put32(s, forkOffset);
  Put32(s, static_cast<uint32_t>(contents.resourceFork.size()));
  uint8_t info[32];
  contents.finderInfo.ToBytes(info);
  s.append(reinterpret_cast<const char*>(info), sizeof info);
  s += contents.resourceFork;
  return s;
}

bool DecodeAppleDouble(std::string_view data, SidecarContents& out) {
  out = SidecarContents();
  const auto* p = reinterpret_cast<const uint8_t*>(data.data());
  if (data.size() < kHeaderSize) return false;
  if (Get32(p) != kAppleDoubleMagic || Get32(p + 4) != kAppleDoubleVersion) return false;
  const size_t count = Get16(p + 24);
  if (count > (data.size() - kHeaderSize) / kEntrySize) return false;
  SidecarContents result;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = p + kHeaderSize + i * kEntrySize;
    const uint32_t id = Get32(e);
    const uint64_t offset = Get32(e + 4);
    const uint64_t length = Get32(e + 8);
    if (offset > data.size() || length > data.size() - offset) return false;
    if (id == kEntryFinderInfo) {
      // macOS may append extended attributes after the first 32 bytes; only those 32 are
      // Finder information.
      if (length < kFinderInfoSize) return false;
      result.finderInfo = FinderInfo::FromBytes(p + offset);
    } else if (id == kEntryResourceFork) {
      result.resourceFork.assign(data.substr(offset, length));
    }
  }
  out = std::move(result);
  return true;
}

std::string SidecarPathFor(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || p == "/") return std::string();
  const size_t slash = p.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  if (name == "." || name == "..") return std::string();
  return folder + "._" + name;
}

bool CanHaveSidecar(const std::string& path) {
  const std::string sidecar = SidecarPathFor(path);
  return !sidecar.empty() && sidecar.size() - (sidecar.rfind('/') + 1) <= NAME_MAX;
}

bool IsSidecarName(std::string_view name) { return name.size() > 2 && name.substr(0, 2) == "._"; }

SidecarContents ReadSidecar(const std::string& path) {
  SidecarContents contents;
  const std::string sidecar = SidecarPathFor(path);
  std::string data;
  if (!sidecar.empty() && ReadWholeFile(sidecar, data)) DecodeAppleDouble(data, contents);
  return contents;
}

bool RemoveSidecar(const std::string& path) {
  const std::string sidecar = SidecarPathFor(path);
  if (sidecar.empty()) return true;
  // A name too long for its sidecar cannot have one.
  return unlink(sidecar.c_str()) == 0 || errno == ENOENT || errno == ENAMETOOLONG;
}

namespace {

// Temporary sidecars are "._sidecar-" and six random characters in the sidecar's folder.
constexpr std::string_view kTemporarySidecarPrefix = "._sidecar-";
constexpr size_t kTemporaryRandom = 6;

}  // namespace

bool WriteSidecar(const std::string& path, const SidecarContents& contents) {
  if (contents.IsEmpty()) return RemoveSidecar(path);
  const std::string sidecar = SidecarPathFor(path);
  if (sidecar.empty() || contents.resourceFork.size() > kMaxSidecarSize - 4096) return false;
  // The temporary name is short (so that the longest names still get a sidecar) and
  // itself a sidecar name (so that listings never show it). It stays locked until it has
  // its real name, so that a clean-up (RemoveAbandonedSidecarTemporaries) takes only those
  // of a writer that died.
  std::string temp;
  const int fd = CreateLockedTemporary(
      sidecar.substr(0, sidecar.rfind('/') + 1) + std::string(kTemporarySidecarPrefix) + "XXXXXX", temp);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, EncodeAppleDouble(contents)) && fchmod(fd, 0644) == 0 &&
                  fsync(fd) == 0 && rename(temp.c_str(), sidecar.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return close(fd) == 0 && ok;
}

void RemoveAbandonedSidecarTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() == kTemporarySidecarPrefix.size() + kTemporaryRandom &&
        name.starts_with(kTemporarySidecarPrefix))
      names.emplace_back(name);
  }
  closedir(dir);
  for (const std::string& name : names)
    RemoveUnlockedTemporary(folder + (folder.ends_with('/') ? "" : "/") + name);
}

}  // namespace toolbox
