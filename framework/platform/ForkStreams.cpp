#include "framework/platform/ForkStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "framework/platform/PathLayer.h"
#include "framework/platform/TextEncoding.h"
#include "framework/platform/WideText.h"

namespace {

// Open modes, less the at-end bit, and the access they give. Any other combination fails.
int AccessForMode(std::ios_base::openmode mode) {
  using std::ios_base;
  const ios_base::openmode m = mode & ~ios_base::ate;
  const ios_base::openmode in = ios_base::in, out = ios_base::out, bin = ios_base::binary,
                           app = ios_base::app, trunc = ios_base::trunc;
  if (m == in || m == (in | bin)) return O_RDONLY;
  if (m == out || m == (out | app) || m == (out | trunc)) return O_WRONLY;
  if (m == (out | bin) || m == (out | bin | app) || m == (in | out) || m == (in | out | bin) ||
      m == (out | trunc | bin) || m == (in | out | trunc) || m == (in | out | trunc | bin))
    return O_RDWR;
  return -1;
}

}  // namespace

ForkStreamBuf::ForkStreamBuf(int forkRef) : forkRef_(forkRef) {}

ForkStreamBuf::~ForkStreamBuf() { Close(); }

ForkStreamBuf* ForkStreamBuf::Open(const PathString& path, std::ios_base::openmode mode) {
  if (IsOpen()) return nullptr;
  const int access = AccessForMode(mode);
  if (access < 0 || path.empty()) return nullptr;
  const std::string nativePath = ToNativeString(path);
  // The system creates every file it writes afresh before opening it, so neither truncation
  // nor appending changes the starting position here.
  int fd;
  do {
    fd = ::open(nativePath.c_str(), access | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  if ((mode & std::ios_base::ate) && ::lseek(fd, 0, SEEK_END) < 0) {
    ::close(fd);
    return nullptr;
  }
  forkRef_ = fd;
  writing_ = false;
  setg(nullptr, nullptr, nullptr);
  setp(nullptr, nullptr);
  return this;
}

ForkStreamBuf* ForkStreamBuf::Open(SafeFileWriter& file) {
  if (IsOpen() || !file.IsOpen()) return nullptr;
  safe_ = &file;
  writing_ = false;
  setg(nullptr, nullptr, nullptr);
  setp(nullptr, nullptr);
  return this;
}

ForkStreamBuf* ForkStreamBuf::Close() {
  if (!IsOpen()) return nullptr;
  bool ok = FlushPending();
  if (safe_) {
    ok = ok && !safe_->Failed();
    safe_ = nullptr;
  } else if (::close(forkRef_) != 0) {
    ok = false;
  }
  forkRef_ = -1;
  writing_ = false;
  setg(nullptr, nullptr, nullptr);
  setp(nullptr, nullptr);
  return ok ? this : nullptr;
}

std::streambuf* ForkStreamBuf::setbuf(char_type*, std::streamsize n) {
  buffered_ = n != 0;
  return this;
}

bool ForkStreamBuf::WriteBytes(const char* bytes, size_t n) {
  if (safe_) return safe_->Write(bytes, n);
  while (n > 0) {
    const ssize_t done = ::write(forkRef_, bytes, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

// Writes the put area; on failure the bytes not written move to its start.
bool ForkStreamBuf::FlushPending() {
  if (!pbase() || pptr() == pbase()) return true;
  const char* p = pbase();
  size_t left = static_cast<size_t>(pptr() - pbase());
  if (safe_) {
    // A safe save's file keeps no partial state: once a write failed, the save is lost.
    if (!safe_->Write(p, left)) return false;
    setp(pbase(), epptr());
    return true;
  }
  while (left > 0) {
    const ssize_t done = ::write(forkRef_, p, left);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      std::memmove(buffer_, p, left);
      setp(buffer_, buffer_ + kBufferSize);
      pbump(static_cast<int>(left));
      return false;
    }
    p += done;
    left -= static_cast<size_t>(done);
  }
  setp(pbase(), epptr());  // empty
  return true;
}

ForkStreamBuf::int_type ForkStreamBuf::overflow(int_type c) {
  if (!IsOpen()) return traits_type::eof();
  if (buffered_ && !pbase()) {
    // Reading and writing share one position: give back what was read ahead.
    if (gptr() && gptr() < egptr()) {
      if (safe_ || ::lseek(forkRef_, -(egptr() - gptr()), SEEK_CUR) < 0) return traits_type::eof();
    }
    setg(nullptr, nullptr, nullptr);
    setp(buffer_, buffer_ + kBufferSize);
  }
  writing_ = true;
  if (!FlushPending()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return WriteBytes(&ch, 1) ? c : traits_type::eof();
}

int ForkStreamBuf::sync() {
  if (!IsOpen()) return -1;
  if (traits_type::eq_int_type(overflow(traits_type::eof()), traits_type::eof())) return -1;
  if (safe_) return safe_->Failed() ? -1 : 0;  // its commit makes the file durable
  return ::fsync(forkRef_) == 0 || errno == EINVAL ? 0 : -1;
}

std::streamsize ForkStreamBuf::showmanyc() {
  return gptr() && gptr() < egptr() ? egptr() - gptr() : 0;
}

bool ForkStreamBuf::EnterReading() {
  if (!IsOpen() || safe_) return false;
  if (pbase()) {
    if (!FlushPending()) return false;
    setp(nullptr, nullptr);
  }
  writing_ = false;
  return true;
}

// One byte read from the file; unless keepPosition, the file position moves back over it.
ForkStreamBuf::int_type ForkStreamBuf::ReadOne(bool keepPosition) {
  char ch;
  ssize_t n;
  do {
    n = ::read(forkRef_, &ch, 1);
  } while (n < 0 && errno == EINTR);
  if (n != 1) return traits_type::eof();
  if (!keepPosition && ::lseek(forkRef_, -1, SEEK_CUR) < 0) return traits_type::eof();
  return traits_type::to_int_type(ch);
}

ForkStreamBuf::int_type ForkStreamBuf::underflow() {
  if (!EnterReading()) return traits_type::eof();
  if (!buffered_) return ReadOne(false);
  if (gptr() && gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (!eback()) {
    setg(buffer_, buffer_, buffer_);
  } else if (egptr() == buffer_ + kBufferSize) {
    // Keep the last four characters so that they can still be put back.
    std::memmove(buffer_, egptr() - 4, 4);
    setg(buffer_, buffer_ + 4, buffer_ + 4);
  }
  const int_type c = ReadOne(true);
  if (traits_type::eq_int_type(c, traits_type::eof())) return c;
  *egptr() = traits_type::to_char_type(c);
  setg(eback(), gptr(), egptr() + 1);
  return c;
}

ForkStreamBuf::int_type ForkStreamBuf::uflow() {
  if (buffered_) return std::streambuf::uflow();
  if (!EnterReading()) return traits_type::eof();
  return ReadOne(true);
}

ForkStreamBuf::int_type ForkStreamBuf::pbackfail(int_type c) {
  if (!IsOpen() || safe_) return traits_type::eof();
  if (!buffered_) {
    if (::lseek(forkRef_, -1, SEEK_CUR) < 0) return traits_type::eof();
    return traits_type::not_eof(c);
  }
  if (!gptr() || gptr() == eback()) return traits_type::eof();
  gbump(-1);
  if (!traits_type::eq_int_type(c, traits_type::eof())) *gptr() = traits_type::to_char_type(c);
  return traits_type::not_eof(c);
}

ForkStreamBuf::pos_type ForkStreamBuf::seekoff(off_type off, std::ios_base::seekdir dir,
                                               std::ios_base::openmode which) {
  const pos_type failed = pos_type(off_type(-1));
  if (!IsOpen() || safe_ || !FlushPending()) return failed;
  int whence = SEEK_SET;
  if (dir == std::ios_base::cur) {
    whence = SEEK_CUR;
    if ((which & std::ios_base::in) && gptr()) off -= egptr() - gptr();
  } else if (dir == std::ios_base::end) {
    whence = SEEK_END;
  }
  const off_t at = ::lseek(forkRef_, static_cast<off_t>(off), whence);
  if (at < 0) return failed;
  setg(nullptr, nullptr, nullptr);
  setp(nullptr, nullptr);
  writing_ = false;
  return pos_type(off_type(at));
}

ForkStreamBuf::pos_type ForkStreamBuf::seekpos(pos_type pos, std::ios_base::openmode which) {
  return seekoff(off_type(pos), std::ios_base::beg, which);
}

ForkOutputStream::ForkOutputStream() : std::ostream(nullptr) { rdbuf(&buf_); }

void ForkOutputStream::Open(const PathString& path, std::ios_base::openmode mode) {
  if (!buf_.Open(path, mode | std::ios_base::out)) setstate(std::ios_base::failbit);
}

void ForkOutputStream::Open(SafeFileWriter& file) {
  if (!buf_.Open(file)) setstate(std::ios_base::failbit);
}

void ForkOutputStream::Close() {
  if (!buf_.Close()) setstate(std::ios_base::failbit);
}

EncodedOutputStream::EncodedOutputStream(toolbox::StringEncoding encoding) : encoding_(encoding) {}

EncodedOutputStream::~EncodedOutputStream() {
  if (IsOpen()) {
    flush();
    Close();
  }
}

bool EncodedOutputStream::Open(const PathString& path, std::ios_base::openmode mode,
                               toolbox::StringEncoding encoding) {
  ForkOutputStream::Open(path, mode);
  encoding_ = encoding;
  return IsOpen();
}

bool EncodedOutputStream::Open(SafeFileWriter& file, toolbox::StringEncoding encoding) {
  ForkOutputStream::Open(file);
  encoding_ = encoding;
  return IsOpen();
}

EncodedOutputStream& EncodedOutputStream::WriteWide(const wchar_t* text) {
  if (text && *text) WriteWide(std::wstring(text));
  return *this;
}

EncodedOutputStream& EncodedOutputStream::WriteWide(const std::wstring& text) {
  if (text.empty()) return *this;
  const std::string bytes = toolbox::EncodeText(text, encoding_);
  write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return *this;
}

TextFileWriter::TextFileWriter() : stream_(GetDocumentEncoding()) {}

TextFileWriter::~TextFileWriter() { Close(); }

bool TextFileWriter::Open(const PathString& path, const FileCreateInfo* info, bool replace) {
  FileCreateInfo text;
  text.type = toolbox::MakeOSType("TEXT");
  text.creator = toolbox::MakeOSType("ttex");
  const PathString absolute = MakeAbsolutePath(path);
  if (!CreateFileWithInfo(absolute, info ? info : &text, replace, kWriterForm)) return false;
  return stream_.Open(absolute, std::ios_base::out, GetDocumentEncoding());
}

bool TextFileWriter::Close() {
  if (!stream_.IsOpen()) return true;
  stream_.flush();
  stream_.Close();
  const bool ok = !stream_.fail();
  stream_.clear();
  return ok;
}

TextFileWriter& TextFileWriter::Write(const wchar_t* text) {
  stream_.WriteWide(text);
  return *this;
}

TextFileWriter& TextFileWriter::Write(const std::wstring& text) {
  stream_.WriteWide(text);
  return *this;
}

TextFileWriter& TextFileWriter::WriteLong(long value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  stream_.write(buf, r.ptr - buf);
  return *this;
}
