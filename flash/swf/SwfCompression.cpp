#include "flash/swf/SwfCompression.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "flash/swf/SwfReader.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"

namespace {

// zlib moves the data in chunks this small; the file streams and the output buffer below
// do the actual disk access in large blocks.
constexpr size_t kChunkBytes = 64;
constexpr size_t kFlushBytes = 64 * 1024;

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

File OpenForReading(const PathString& path) { return File(OpenFilePath(path, "rb")); }

bool ReadSignature(const PathString& path, char signature[3]) {
  File f = OpenForReading(path);
  return f && fread(signature, 1, 3, f.get()) == 3;
}

FileCreateInfo SwfFileInfo() {
  FileCreateInfo info;
  info.type = toolbox::MakeOSType("SWFL");
  info.creator = toolbox::MakeOSType("SWF2");
  return info;
}

// Collects output and hands it to the safe writer in large blocks; every write is checked.
class BufferedOutput {
 public:
  explicit BufferedOutput(SafeFileWriter& file) : file_(file) {}
  bool Write(const uint8_t* bytes, size_t count) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    return pending_.size() < kFlushBytes || Flush();
  }
  bool Flush() {
    const bool ok = pending_.empty() || file_.Write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
  }

 private:
  SafeFileWriter& file_;
  std::vector<uint8_t> pending_;
};

}  // namespace

bool HasSwfSignature(const PathString& path) {
  char s[3];
  return ReadSignature(path, s) && (s[0] == 'F' || s[0] == 'C') && s[1] == 'W' && s[2] == 'S';
}

bool IsCompressedSwfFile(const PathString& path) {
  char s[3];
  return ReadSignature(path, s) && memcmp(s, "CWS", 3) == 0;
}

bool CompressSwfFile(const PathString& source, const PathString& target, bool replace) {
  if (!HasSwfSignature(source)) return false;
  const FileCreateInfo info = SwfFileInfo();
  SafeFileWriter file;
  if (!file.Open(target, &info, replace)) return false;
  File in = OpenForReading(source);
  if (!in) return false;
  uint8_t head[8];
  if (fread(head, 1, 8, in.get()) != 8 || memcmp(head, "FWS", 3) != 0) return false;
  BufferedOutput out(file);
  memcpy(head, "CWS", 3);
  if (!out.Write(head, 8)) return false;

  z_stream z{};
  if (deflateInit(&z, 9) != Z_OK) return false;
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, deflateEnd);
  uint8_t input[kChunkBytes], output[kChunkBytes];
  for (;;) {
    if (z.avail_in == 0) {
      const size_t n = fread(input, 1, sizeof input, in.get());
      if (n == 0) {
        if (ferror(in.get())) return false;
        break;
      }
      z.next_in = input;
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = output;
    z.avail_out = sizeof output;
    if (deflate(&z, Z_NO_FLUSH) == Z_STREAM_ERROR) return false;
    if (!out.Write(output, sizeof output - z.avail_out)) return false;
  }
  int status;
  do {
    z.next_out = output;
    z.avail_out = sizeof output;
    status = deflate(&z, Z_FINISH);
    if (status == Z_STREAM_ERROR) return false;
    if (!out.Write(output, sizeof output - z.avail_out)) return false;
  } while (status == Z_OK);
  if (status != Z_STREAM_END) return false;
  guard.reset();
  return out.Flush() && file.Commit();
}

bool InflateSwfFile(const PathString& source, const SwfByteSink& sink, uint64_t limit, bool exact) {
  File in = OpenForReading(source);
  if (!in) return false;
  uint8_t head[8];
  if (fread(head, 1, 8, in.get()) != 8 || memcmp(head, "CWS", 3) != 0) return false;
  memcpy(head, "FWS", 3);
  if (limit < 8 || (limit == 8 && !exact)) return !exact && sink(head, static_cast<size_t>(limit));
  if (!sink(head, 8)) return false;
  uint64_t left = limit - 8;

  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, inflateEnd);
  uint8_t input[kChunkBytes], output[kChunkBytes];
  bool atEnd = false;
  for (;;) {
    if (z.avail_in == 0 && !atEnd) {
      const size_t n = fread(input, 1, sizeof input, in.get());
      if (n == 0) {
        if (ferror(in.get())) return false;
        atEnd = true;
      }
      z.next_in = input;
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = output;
    z.avail_out = sizeof output;
    const int status = inflate(&z, Z_SYNC_FLUSH);
    const size_t produced = sizeof output - z.avail_out;
    const size_t taken = static_cast<size_t>(std::min<uint64_t>(produced, left));
    if (taken > 0 && !sink(output, taken)) return false;
    left -= taken;
    // With `exact` the stream must hold the limit's bytes, no fewer and no more.
    if (exact && taken < produced) return false;
    if (status == Z_STREAM_END) return !exact || left == 0;
    if (left == 0 && !exact) return true;
    // Output still held back fills the buffer again before more input is read; only an
    // input that has ended while nothing moves is a truncated stream.
    if (status == Z_BUF_ERROR) {
      if (atEnd || z.avail_in != 0) return false;
      continue;
    }
    if (status != Z_OK) return false;
    if (atEnd && z.avail_in == 0 && produced == 0) return false;
  }
}

bool DecompressSwfFile(const PathString& source, const PathString& target, bool replace) {
  if (!IsCompressedSwfFile(source)) return false;
  const FileCreateInfo info = SwfFileInfo();
  SafeFileWriter file;
  if (!file.Open(target, &info, replace)) return false;
  // The result is exactly the length the header declares, never more than the readers load:
  // a small file cannot unpack into an unbounded one, and a stream that does not match its
  // header is no movie.
  uint8_t head[8];
  {
    File in = OpenForReading(source);
    if (!in || fread(head, 1, 8, in.get()) != 8) return false;
  }
  const uint32_t declared = head[4] | head[5] << 8 | head[6] << 16 | static_cast<uint32_t>(head[7]) << 24;
  if (declared < 8 || declared > kMaxSwfMovieBytes) return false;
  BufferedOutput out(file);
  if (!InflateSwfFile(source, [&out](const uint8_t* b, size_t n) { return out.Write(b, n); }, declared, true))
    return false;
  return out.Flush() && file.Commit();
}

bool DecompressSwfFileInPlace(const PathString& path, bool keepBackup) {
  if (!IsCompressedSwfFile(path)) {
    // Nothing to do for a movie that is not compressed; a file that cannot be read at all is
    // no success.
    File f = OpenForReading(path);
    return f != nullptr;
  }
  if (keepBackup) {
    PathString backup;
    if (!RenameWithTilde(backup, path, true)) return false;
    if (DecompressSwfFile(backup, path, false)) return true;
    // Nothing was written at `path`: the compressed movie goes back to its name.
    PathString name;
    GetPathFileName(name, MakeAbsolutePath(path), false);
    DeletePath(path, false);
    RenameFile(backup, name);
    return false;
  }
  PathString sibling;
  if (!MakeUniquePath(sibling, path)) return false;
  if (!DecompressSwfFile(path, sibling, false)) return false;
  // The rename replaces the compressed file in one step.
  PathString name;
  GetPathFileName(name, MakeAbsolutePath(path), false);
  if (RenameFile(sibling, name)) return true;
  DeletePath(sibling, false);
  return false;
}
