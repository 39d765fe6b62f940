#pragma once
// Text files are written through a standard output stream whose stream buffer reads and
// writes a file's data through the operating system's file calls:
//   ForkStreamBuf        a stream buffer over one open file, with a 16-byte buffer;
//   ForkOutputStream     an output stream that holds a ForkStreamBuf;
//   EncodedOutputStream  a ForkOutputStream that writes wide text in a text encoding.
#include <ios>
#include <ostream>
#include <streambuf>
#include <string>

class ForkStreamBuf : public std::streambuf {
 public:
  explicit ForkStreamBuf(int forkRef = -1);
  ~ForkStreamBuf() override;
  ForkStreamBuf(const ForkStreamBuf&) = delete;
  ForkStreamBuf& operator=(const ForkStreamBuf&) = delete;

  // Opens the file for the mode (see the table in the source); a file that does not exist
  // is created empty first. Null when the buffer is already open, the mode is not one of
  // the supported combinations, or the file cannot be created or opened.
  ForkStreamBuf* Open(const std::string& nativePath, std::ios_base::openmode mode);
  // Writes pending output and closes the file; null when any step failed. The buffer is
  // closed afterwards in every case.
  ForkStreamBuf* Close();
  bool IsOpen() const { return forkRef_ >= 0; }

 protected:
  std::streambuf* setbuf(char_type* s, std::streamsize n) override;
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
  int sync() override;
  std::streamsize showmanyc() override;
  int_type underflow() override;
  int_type uflow() override;
  int_type pbackfail(int_type c) override;
  int_type overflow(int_type c) override;

 private:
  static constexpr int kBufferSize = 16;
  bool WriteBytes(const char* bytes, size_t n);
  bool FlushPending();
  bool EnterReading();
  int_type ReadOne(bool keepPosition);

  int forkRef_;
  char buffer_[kBufferSize];
  bool writing_ = false;
  bool buffered_ = true;
};

class ForkOutputStream : public std::ostream {
 public:
  ForkOutputStream();
  ~ForkOutputStream() override = default;

  // Opens the buffer for the mode plus out; on failure sets the fail state.
  void Open(const std::string& nativePath, std::ios_base::openmode mode);
  bool IsOpen() const { return buf_.IsOpen(); }
  // Closes the buffer; on failure sets the fail state.
  void Close();

 protected:
  ForkStreamBuf buf_;
};

// Wide text goes out as UTF-8, the encoding of every document of the system.
class EncodedOutputStream : public ForkOutputStream {
 public:
  explicit EncodedOutputStream(unsigned encoding = 0);
  ~EncodedOutputStream() override;

  bool Open(const std::string& nativePath, std::ios_base::openmode mode, unsigned encoding);
  // Writes the text in one piece; a lone surrogate or a value above U+10FFFF is written as
  // U+FFFD, the rest as it is.
  EncodedOutputStream& WriteWide(const wchar_t* text);
  EncodedOutputStream& WriteWide(const std::wstring& text);

 private:
  unsigned encoding_;
};
