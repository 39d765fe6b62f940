#include "flash/flv/FlvFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <vector>

#include "flash/flv/FlvTag.h"
#include "flash/flv/StreamBitWriter.h"
#include "toolbox/Utf8.h"

// A file written under a temporary name in the target's folder and renamed over the target
// only when complete.
class FlvOutputFile {
 public:
  ~FlvOutputFile() { Abandon(); }

  bool Create(const std::string& target, bool replaceExisting) {
    struct stat st;
    if (!replaceExisting && lstat(target.c_str(), &st) == 0) return false;
    target_ = target;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) return false;
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[20];
      snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
      std::string temp = folder + "." + name + suffix;
      int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        fd_ = fd;
        temp_ = temp;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool Write(const uint8_t* bytes, size_t count) {
    while (count > 0) {
      ssize_t n = ::write(fd_, bytes, count);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) return false;
      bytes += n;
      count -= static_cast<size_t>(n);
      position_ += static_cast<uint64_t>(n);
    }
    return true;
  }

  uint64_t Position() const { return position_; }

  // Flushes, closes and renames over the target; on any failure the temporary file goes.
  bool Commit() {
    if (fd_ < 0) return false;
    bool ok = fsync(fd_) == 0;
    ok = close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok) ok = rename(temp_.c_str(), target_.c_str()) == 0;
    if (ok) temp_.clear();
    Abandon();
    return ok;
  }

  void Abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
  }

 private:
  int fd_ = -1;
  std::string target_;
  std::string temp_;
  uint64_t position_ = 0;
};

namespace {

bool WriteAll(FlvOutputFile& file, StreamBitWriter& writer) {
  const std::vector<uint8_t>& bytes = writer.GetBuffer(true);
  return file.Write(bytes.data(), bytes.size());
}

}  // namespace

FlvFileWriter::FlvFileWriter() = default;

FlvFileWriter::~FlvFileWriter() { Close(); }

void FlvFileWriter::SetHeader(bool hasVideo, bool hasAudio, uint8_t version) {
  header_.flags = static_cast<uint8_t>(hasVideo ? header_.flags | 0x01 : header_.flags & ~0x01);
  header_.flags = static_cast<uint8_t>(hasAudio ? header_.flags | 0x04 : header_.flags & ~0x04);
  header_.version = version;
}

bool FlvFileWriter::Open(const std::wstring& path, bool replaceExisting) {
  if (stream_) return false;
  auto file = std::make_unique<FlvOutputFile>();
  if (!file->Create(toolbox::WideToUtf8(path), replaceExisting)) return false;
  BigEndianBitWriter writer;
  for (char c : header_.signature) writer.WriteU8(static_cast<uint8_t>(c));
  writer.WriteU8(header_.version);
  writer.WriteU8(header_.flags);
  writer.WriteU32(header_.headerSize);
  writer.WriteU32(0);  // size of the tag before the first: none
  if (!WriteAll(*file, writer)) return false;
  stream_ = std::move(file);
  failed_ = false;
  return true;
}

void FlvFileWriter::WriteTag(FlvTag* tag, bool keep) {
  if (!tag) return;
  if (stream_ && !failed_) {
    BigEndianBitWriter writer;
    const uint32_t written = tag->Write(writer);
    if (written == 0) {
      failed_ = true;
    } else {
      writer.WriteU32(written);
      if (!WriteAll(*stream_, writer)) failed_ = true;
    }
  }
  if (!keep) delete tag;
}

uint32_t FlvFileWriter::Close() {
  if (!stream_) return 0;
  std::unique_ptr<FlvOutputFile> file = std::move(stream_);
  const uint64_t size = file->Position();
  const bool ok = !failed_ && file->Commit();
  failed_ = false;
  if (!ok) return 0;
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}
