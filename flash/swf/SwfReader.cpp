#include "flash/swf/SwfReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "flash/swf/ControlTags.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfCompression.h"
#include "flash/swf/SwfObject.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "toolbox/Utf8.h"

SwfReader::SwfReader() { Reset(); }

SwfReader::~SwfReader() {
  Close();
  CloseStream();
}

void SwfReader::FreeBytes::operator()(uint8_t* p) const { free(p); }

void SwfReader::CloseStream() {
  if (streamFile) fclose(streamFile);
  streamFile = nullptr;
  streamWindow.reset();
  streamWindowCapacity = 0;
}

void SwfReader::Reset() {
  CloseStream();
  buffer.clear();
  buffer.shrink_to_fit();
  window = nullptr;
  windowBase = 0;
  windowSize = 0;
  inputSize = 0;
  tags.clear();
  position = 0;
  bitPosition = 0;
  frameCount = 0;
  tagLength = 0;
  tagEnd = 0;
  rootPathSeen = false;
  compressed = 0;
  truncated = false;
  overran = false;
}

bool SwfReader::LoadFromWriter(SwfBitWriter& writer) {
  const auto& bytes = writer.GetBuffer();
  // Positions are 32-bit; a larger input is cut (the format cannot describe more anyway).
  const size_t size = std::min<size_t>(bytes.size(), UINT32_MAX);
  // The tags were written for the writer's version: read them the same way.
  LoadTagBody(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)),
              writer.GetVersion());
  return true;
}

void SwfReader::LoadTagBody(std::vector<uint8_t> bytes, uint8_t version) {
  Reset();
  if (bytes.size() > UINT32_MAX) bytes.resize(UINT32_MAX);
  buffer = std::move(bytes);
  inputSize = static_cast<uint32_t>(buffer.size());
  window = buffer.data();
  windowSize = inputSize;
  header.version = version;
  tagEnd = GetSize();
  tagLength = tagEnd;
}

void SwfReader::ClearTags(bool deleteTags) {
  if (!deleteTags) return;
  for (SwfTag* t : tags) delete t;
  tags.clear();
}

void SwfReader::GetFrameSize(uint32_t& width, uint32_t& height) {
  width = static_cast<uint32_t>(header.GetWidth());
  height = static_cast<uint32_t>(header.GetHeight());
}

// ---- Loading ----

namespace {

// A file for an inflated movie in the application's private temporary folder that has no name
// from the start where the file system allows, else loses it at once: it lives exactly as long
// as its descriptors, so that a process killed while reading leaves nothing on disk.
int MakeSwfTemporaryFile() {
  PathString pattern;
  if (!GetTemporaryPath(pattern, L"swf-XXXXXX", true)) return -1;
  std::string native = toolbox::WideToUtf8(pattern);
#ifdef O_TMPFILE
  const size_t slash = native.rfind('/');
  if (slash != std::string::npos) {
    const std::string folder = slash == 0 ? "/" : native.substr(0, slash);
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
  }
#endif
  std::vector<char> name(native.begin(), native.end());
  name.push_back('\0');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.data());
  return fd;
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) fclose(f);
  }
};

struct DescriptorCloser {
  int fd;
  ~DescriptorCloser() {
    if (fd >= 0) close(fd);
  }
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// Writes a whole block to a descriptor; false when it cannot.
bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int InflateSwfToTemporary(const PathString& path, uint32_t& errorCode) {
  errorCode = kSwfErrorNotSwf;
  uint8_t head[8] = {};
  {
    std::unique_ptr<FILE, FileCloser> f(OpenFilePath(path, "rb"));
    if (!f || fread(head, 1, 8, f.get()) != 8) return -1;
  }
  const uint32_t declared = head[4] | head[5] << 8 | head[6] << 16 | static_cast<uint32_t>(head[7]) << 24;
  if (declared > kMaxSwfMovieBytes) {
    errorCode = kSwfErrorTooLarge;
    return -1;
  }
  DescriptorCloser descriptor{MakeSwfTemporaryFile()};
  if (descriptor.fd < 0) {
    errorCode = kSwfErrorCannotOpen;
    return -1;
  }
  // The inflated bytes go to the file in large blocks, not in zlib's small chunks.
  constexpr size_t kBlock = 64 * 1024;
  std::vector<uint8_t> pending;
  pending.reserve(kBlock);
  uint64_t written = 0;
  const int fd = descriptor.fd;
  auto sink = [fd, &written, &pending](const uint8_t* bytes, size_t count) {
    written += count;
    pending.insert(pending.end(), bytes, bytes + count);
    if (pending.size() < kBlock) return true;
    const bool ok = WriteAll(fd, pending.data(), pending.size());
    pending.clear();
    return ok;
  };
  // Never more than the header declares: a small file cannot fill the disk. A stream that
  // holds more than that (one byte more is enough to tell) is no movie, as for
  // DecompressSwfFile; one that holds less is judged by its bytes.
  const bool ok = InflateSwfFile(path, sink, uint64_t{declared} + 1);
  if (!ok || written > declared || !WriteAll(fd, pending.data(), pending.size()) || lseek(fd, 0, SEEK_SET) != 0)
    return -1;
  return descriptor.Release();
}

namespace {

// The bytes a movie is read in at a time.
constexpr size_t kSwfReadBlock = 64 * 1024;

}  // namespace

template <class Next>
bool SwfReader::FillBuffer(uint32_t total, Next next) {
  // The buffer grows with the bytes actually there, never ahead of them from a length the
  // movie merely declares; more than the readers load is refused once it is there.
  const uint64_t limit = std::min<uint64_t>(total, uint64_t{kMaxSwfMovieBytes} + 1);
  while (buffer.size() < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kSwfReadBlock, limit - buffer.size()));
    const size_t old = buffer.size();
    buffer.resize(old + want);
    const size_t got = next(buffer.data() + old, want);
    buffer.resize(old + got);
    if (got == 0) break;
  }
  if (buffer.size() > kMaxSwfMovieBytes) {
    Reset();
    errorCode = kSwfErrorTooLarge;
    return false;
  }
  return true;
}

bool SwfReader::FinishLoad(bool checkSignature, bool parseTags) {
  if (!streamFile) {
    inputSize = static_cast<uint32_t>(buffer.size());
    window = buffer.data();
    windowSize = inputSize;
  }
  tagEnd = GetSize();
  tagLength = tagEnd;
  position = 0;
  bitPosition = 0;
  // A header cut short is a damaged movie, not an empty one.
  const uint32_t rectAt = checkSignature ? 8 : 4;
  const uint32_t rectBytes = Have(rectAt, 1) ? (5 + 4 * (At(rectAt) >> 3) + 7) / 8 : 1;
  if (GetSize() < rectAt + rectBytes + 4) return Refuse();
  header.Read(*this, checkSignature);
  frameCount = header.frameCount;
  if (!parseTags) return true;
  ReadTagsUntil(nullptr, 0);
  return CompleteTagList([] { return new EndTag(); });
}

bool SwfReader::Refuse() {
  ClearTags(true);
  errorCode = kSwfErrorNotSwf;
  return false;
}

template <class MakeEnd>
bool SwfReader::CompleteTagList(MakeEnd makeEnd) {
  // A tag running past the end of the bytes means the movie was cut: refused like a cut CWS.
  if (truncated) return Refuse();
  // A movie that merely lacks its End tag gets one, so that it is written back complete.
  if (tags.empty() || tags.back()->GetTagCode() != 0) tags.push_back(makeEnd());
  return true;
}

bool SwfReader::ReadAllTagsFromMemory(const PathString& path, bool checkSignature, uint32_t byteCount,
                                      bool parseTags) {
  return LoadFile(path, checkSignature, byteCount, parseTags, 0);
}

bool SwfReader::OpenStream(const PathString& path, uint32_t window) {
  return LoadFile(path, true, 0, false, std::max<uint32_t>(window, 1));
}

// With `window` other than 0 (and no `byteCount`) a regular file is opened as a stream read
// through a window of that many bytes instead of being loaded.
bool SwfReader::LoadFile(const PathString& path, bool checkSignature, uint32_t byteCount, bool parseTags,
                         uint32_t window) {
  Reset();
  errorCode = 0;
  // Not handed to child processes: an opened stream keeps its file open.
  FILE* f = OpenFilePath(path, "rbe");
  if (!f) {
    errorCode = kSwfErrorCannotOpen;
    return false;
  }
  return LoadOpenFile(f, &path, checkSignature, byteCount, parseTags, window);
}

bool SwfReader::LoadOpenFile(FILE* file, const PathString* path, bool checkSignature, uint32_t byteCount,
                             bool parseTags, uint32_t window) {
  std::unique_ptr<FILE, FileCloser> f(file);
  uint8_t head[8];
  size_t have = 0;
  if (checkSignature) {
    have = fread(head, 1, 4, f.get());
    if (have == 4 && head[0] == 'C') {
      f.reset();
      // Every failure of the compressed route counts as a movie that could not be read.
      compressed = 1;
      if (head[1] != 'W' || head[2] != 'S' || !path) {
        errorCode = kSwfErrorNotSwf;
        return false;
      }
      uint32_t error = 0;
      const int inflated = InflateSwfToTemporary(*path, error);
      if (inflated < 0) {
        errorCode = error;
        return false;
      }
      std::unique_ptr<FILE, FileCloser> copy(fdopen(inflated, "rb"));
      if (!copy) {
        close(inflated);
        errorCode = kSwfErrorCannotOpen;
        return false;
      }
      // An opened stream keeps reading the inflated copy, which goes when the stream closes.
      const bool ok = LoadOpenFile(copy.release(), nullptr, true, byteCount, parseTags, window);
      compressed = 1;
      return ok;
    }
    if (have != 4 || head[0] != 'F' || head[1] != 'W' || head[2] != 'S') {
      errorCode = kSwfErrorNotSwf;
      return false;
    }
  }
  const size_t lengthBytes = fread(head + have, 1, 4, f.get());
  buffer.assign(head, head + have + lengthBytes);
  if (lengthBytes == 4) {
    // The movie is judged by its bytes: the whole file is read, whatever its header's length
    // says (0, or more than is there); only a `byteCount` given by the caller bounds it.
    // Offsets count as if the four signature bytes were there.
    const uint32_t total = byteCount != 0 ? byteCount : UINT32_MAX;
    const uint32_t inBuffer = byteCount > 4 && !checkSignature ? total - 4 : total;
    // A file larger than the readers load is refused before any of it is read.
    struct stat st;
    if (byteCount == 0 && fstat(fileno(file), &st) == 0) {
      if (st.st_size > static_cast<off_t>(kMaxSwfMovieBytes)) {
        Reset();
        errorCode = kSwfErrorTooLarge;
        return false;
      }
      if (window != 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // The movie is the file's bytes as they are now; the window is filled as they are read.
        streamFile = f.release();
        windowBytes = window;
        inputSize = static_cast<uint32_t>(st.st_size);
        buffer.clear();
        buffer.shrink_to_fit();
        return FinishLoad(checkSignature, parseTags);
      }
      // The file's own size spares the buffer the copies of growing step by step (and the
      // peak of holding the old and the new block at once); one block more for the read
      // that finds the end.
      if (st.st_size > 0) buffer.reserve(static_cast<size_t>(st.st_size) + kSwfReadBlock);
    }
    if (!FillBuffer(inBuffer, [file](uint8_t* to, size_t n) { return fread(to, 1, n, file); })) return false;
  }
  f.reset();
  return FinishLoad(checkSignature, parseTags);
}

bool SwfReader::OpenMemory(const uint8_t* bytes, size_t size, bool checkSignature, uint32_t byteCount,
                           bool parseTags) {
  Reset();
  errorCode = 0;
  if (!bytes) size = 0;
  size_t at = 0;
  if (checkSignature) {
    if (size >= 1 && bytes[0] == 'C') compressed = 1;
    if (size < 4 || bytes[0] != 'F' || bytes[1] != 'W' || bytes[2] != 'S') {
      errorCode = kSwfErrorNotSwf;
      return false;
    }
    at = 4;
  }
  if (size - at >= 4) {
    const uint32_t total = byteCount != 0 ? byteCount : UINT32_MAX;
    const uint32_t inBuffer = byteCount > 4 && !checkSignature ? total - 4 : total;
    buffer.assign(bytes, bytes + at + 4);
    size_t next = at + 4;
    if (!FillBuffer(inBuffer, [&](uint8_t* to, size_t n) {
          const size_t k = std::min(n, size - next);
          std::copy(bytes + next, bytes + next + k, to);
          next += k;
          return k;
        }))
      return false;
  } else {
    buffer.assign(bytes, bytes + size);
  }
  return FinishLoad(checkSignature, parseTags);
}

bool SwfReader::ReadAllTags(const PathString& path) {
  if (!ReadAllTagsFromMemory(path, true, 0, false)) return false;
  const uint32_t end = GetSize();
  while (position < end) {
    AlignByte();
    uint16_t code = 0;
    uint32_t length = 0;
    if (!ReadRecordHeader(code, length)) break;
    if (uint64_t{position} + length > end) truncated = true;
    const uint32_t tagStop = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + length, end));
    const uint32_t savedLength = tagLength, savedEnd = tagEnd;
    tagLength = length;
    tagEnd = tagStop;
    SwfTag* tag;
    if (code == 9) tag = new SetBackgroundColorTag();
    else if (code == 43) tag = new FrameLabelTag();
    else tag = new RawTag(code, length);
    tag = ReadTagBody(*this, tag, code, length);
    AlignByte();
    if (position != tagStop) Seek(tagStop);
    tagLength = savedLength;
    tagEnd = savedEnd;
    tags.push_back(tag);
    if (code == 0) break;
  }
  return CompleteTagList([] { return new RawTag(0, 0); });
}

bool SwfReader::ReadTagsUntil(SwfReader* source, uint32_t frameLimit) {
  SwfReader& from = source ? *source : *this;
  tags.clear();
  // The tags of the body being read: a sprite's, or the whole movie's.
  const uint32_t limit = std::min(from.tagEnd, from.GetSize());
  uint32_t frames = 0;
  while (from.GetPosition() < limit) {
    SwfTag* tag = ReadTagFrom(from, *this, limit);
    tags.push_back(tag);
    const uint16_t code = tag->GetTagCode();
    if (code == 0) return false;
    if (code == 1 && frameLimit != 0 && ++frames >= frameLimit) return true;
  }
  return false;
}

uint32_t SwfReader::BytesLeft() const { return position < GetSize() ? GetSize() - position : 0; }

uint32_t SwfReader::TagBytesLeft() const {
  const uint32_t end = ReadLimit();
  return position < end ? end - position : 0;
}

bool SwfReader::CanRead(uint32_t count) {
  if (TagBytesLeft() >= count) return true;
  overran = true;
  return false;
}

void SwfReader::Seek(uint32_t newPosition) {
  position = std::min(newPosition, GetSize());
  bitPosition = 0;
}

void SwfReader::Skip(uint32_t count) {
  position = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + count, GetSize()));
}

void SwfReader::AlignByte() {
  if (bitPosition != 0) {
    if (position < GetSize()) ++position;
    bitPosition = 0;
  }
}

uint32_t SwfReader::ReadBits(uint16_t count, bool isSigned) {
  if (count == 0) return 0;
  if (count > 32) count = 32;
  uint32_t value = 0;
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t bit = 0;
    if (position < ReadLimit() && Have(position, 1)) {
      bit = (At(position) >> (7 - bitPosition)) & 1u;
      if (++bitPosition > 7) {
        bitPosition = 0;
        ++position;
      }
    } else {
      overran = true;
    }
    value = (value << 1) | bit;
  }
  if (isSigned && count < 32 && (value & (1u << (count - 1)))) value |= ~0u << count;
  return value;
}

uint8_t SwfReader::PeekU8() {
  const uint32_t at = position + (bitPosition != 0 ? 1 : 0);
  return at < ReadLimit() && Have(at, 1) ? At(at) : 0;
}

uint8_t SwfReader::ReadU8() {
  AlignByte();
  if (!Have(position, 1) || !CanRead(1)) {
    overran = true;
    return 0;
  }
  return At(position++);
}

uint16_t SwfReader::ReadU16() {
  AlignByte();
  // A stream's file found shorter than it was ends the input there: the size is checked after.
  if (!Have(position, 2) || !CanRead(2)) {
    overran = true;
    return 0;
  }
  const uint16_t v = static_cast<uint16_t>(At(position) | (At(position + 1) << 8));
  position += 2;
  return v;
}

uint32_t SwfReader::ReadU32() {
  AlignByte();
  if (!Have(position, 4) || !CanRead(4)) {
    overran = true;
    return 0;
  }
  uint32_t v = 0;
  for (uint32_t i = 4; i-- > 0;) v = (v << 8) | At(position + i);
  position += 4;
  return v;
}

std::string SwfReader::ReadStringBytes(uint32_t count) {
  AlignByte();
  std::string bytes;
  if (count > 0) {
    TakeBytes(std::min(count, TagBytesLeft()), [&bytes](const uint8_t* from, uint32_t n) {
      bytes.append(reinterpret_cast<const char*>(from), n);
    });
  } else {
    // A string missing its 0 byte ends with the tag being read, never in the next tag's bytes.
    const uint32_t size = ReadLimit();
    while (position < size && Have(position, 1)) {
      const uint32_t stop = std::min(size, windowBase + windowSize);
      const uint8_t* from = window + (position - windowBase);
      const auto* zero = static_cast<const uint8_t*>(std::memchr(from, 0, stop - position));
      const uint32_t n = zero ? static_cast<uint32_t>(zero - from) : stop - position;
      bytes.append(reinterpret_cast<const char*>(from), n);
      position += n;
      if (zero) {
        ++position;
        break;
      }
    }
    return bytes;
  }
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

void SwfReader::ReadString(std::wstring& out, uint32_t count, bool) {
  const std::string bytes = ReadStringBytes(count);
  out.clear();
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
}

void SwfReader::ReadString(SwfString& out, uint32_t count, bool detectRootPath) {
  std::string bytes = ReadStringBytes(count);
  if (detectRootPath) {
    std::string head = bytes.substr(0, 5);
    for (char& c : head) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if ((!bytes.empty() && bytes[0] == '/') || head == "_root") rootPathSeen = true;
  }
  out = SwfString::FromFile(std::move(bytes), GetVersion());
}

void SwfReader::ReadBytes(std::vector<uint8_t>& out, uint32_t count) {
  AlignByte();
  TakeBytes(std::min(count, TagBytesLeft()), [&out](const uint8_t* from, uint32_t n) {
    out.insert(out.end(), from, from + n);
  });
}

template <class Append>
void SwfReader::TakeBytes(uint32_t count, Append append) {
  while (count > 0 && Have(position, 1)) {
    const uint32_t n = std::min(count, windowBase + windowSize - position);
    append(window + (position - windowBase), n);
    position += n;
    count -= n;
  }
}

bool SwfReader::MoveWindow(uint32_t at, uint32_t count) {
  if (at >= inputSize) return false;
  // Loaded whole, the input holds every byte there is.
  if (!streamFile) return true;
  // The window starts at a page boundary of the file and of memory alike: the kernel copies
  // far faster between equally aligned pages.
  constexpr uint32_t kPage = 4096;
  const uint32_t base = at - at % kPage;
  const uint32_t want = std::min(std::max(windowBytes, at - base + count), inputSize - base);
  if (want > streamWindowCapacity) {
    const uint32_t capacity = static_cast<uint32_t>((std::max<uint64_t>(windowBytes, want) + kPage - 1) / kPage * kPage);
    streamWindow.reset(static_cast<uint8_t*>(aligned_alloc(kPage, capacity)));
    streamWindowCapacity = streamWindow ? capacity : 0;
    if (!streamWindow) throw std::bad_alloc();
  }
  window = streamWindow.get();
  windowBase = base;
  size_t got = 0;
  while (got < want) {
    const ssize_t n = pread(fileno(streamFile), streamWindow.get() + got, want - got, static_cast<off_t>(base) + got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  windowSize = static_cast<uint32_t>(got);
  if (got < want) {
    // The file has shrunk (or cannot be read) since it was opened: the input ends where its
    // bytes do, and the movie counts as cut.
    inputSize = base + windowSize;
    truncated = true;
  }
  return at < inputSize;
}

SwfTag* SwfReader::ReadNextTag() { return ReadTagFrom(*this, *this, GetSize()); }

bool SwfReader::ReadRecordHeader(uint16_t& code, uint32_t& length) {
  AlignByte();
  code = 0;
  length = 0;
  if (BytesLeft() == 0) return false;
  if (BytesLeft() < 2) {
    truncated = true;
    Skip(BytesLeft());
    return false;
  }
  // The header belongs to no tag: what it reads does not count against the one read before.
  const bool overranBefore = overran;
  const uint16_t recordHeader = ReadU16();
  code = static_cast<uint16_t>(recordHeader >> 6);
  length = recordHeader & 0x3F;
  if (length == 0x3F) {
    if (BytesLeft() < 4) {
      truncated = true;
      Skip(BytesLeft());
      length = 0;
      return true;
    }
    length = ReadU32();
  }
  overran = overranBefore;
  return true;
}

SwfTag* ReadTagBody(SwfReader& source, SwfTag* tag, uint16_t code, uint32_t length) {
  const uint32_t bodyStart = source.GetPosition();
  const bool overranBefore = source.overran;
  source.overran = false;
  tag->Read(source);
  if (source.overran && !dynamic_cast<RawTag*>(tag)) {
    // A body shorter than its tag's fields: read on as zeros, the fields would be written
    // back as bytes the movie never had. The tag is kept as it was read.
    delete tag;
    source.Seek(bodyStart);
    tag = new RawTag(code, length);
    tag->Read(source);
  }
  source.overran = overranBefore;
  return tag;
}

SwfTag* ReadTagFrom(SwfReader& source, SwfReader& factory, uint32_t limit) {
  uint16_t code = 0;
  uint32_t length = 0;
  source.ReadRecordHeader(code, length);
  // A tag of the movie's own list that runs past the bytes there: the movie was cut. (One
  // inside a sprite is cut to the sprite.)
  if (limit >= source.GetSize() && uint64_t{source.GetPosition()} + length > source.GetSize()) source.truncated = true;
  // Computed in 64 bits and clamped to the input and the enclosing body: a forged length
  // can neither wrap below the body's start nor reach past the bytes present.
  limit = std::min(limit, source.GetSize());
  const uint32_t end = static_cast<uint32_t>(
      std::max<uint64_t>(std::min<uint64_t>(uint64_t{source.GetPosition()} + length, limit), source.GetPosition()));
  const uint32_t savedLength = source.tagLength;
  const uint32_t savedEnd = source.tagEnd;
  source.tagLength = length;
  source.tagEnd = end;
  SwfTag* tag = ReadTagBody(source, CreateTagForCode(factory, code, length), code, length);
  source.AlignByte();
  if (source.GetPosition() != end) source.Seek(end);
  source.tagLength = savedLength;
  source.tagEnd = savedEnd;
  return tag;
}
