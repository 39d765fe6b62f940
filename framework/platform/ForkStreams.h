#pragma once
// Text files are written through a standard output stream whose stream buffer reads and
// writes a file's data through the operating system's file calls:
//   ForkStreamBuf        a stream buffer over one open file, with a 16-byte buffer;
//   ForkOutputStream     an output stream that holds a ForkStreamBuf;
//   EncodedOutputStream  a ForkOutputStream that writes wide text in a text encoding;
//   TextFileWriter       creates a text file and writes wide text into it.
// A stream can also write into a SafeFileWriter, so that a document reaches its file only
// when it is complete.
#include <cstdint>
#include <ios>
#include <ostream>
#include <streambuf>
#include <string>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathString.h"
#include "toolbox/TextCodec.h"

class ForkStreamBuf : public std::streambuf {
 public:
  explicit ForkStreamBuf(int forkRef = -1);
  ~ForkStreamBuf() override;
  ForkStreamBuf(const ForkStreamBuf&) = delete;
  ForkStreamBuf& operator=(const ForkStreamBuf&) = delete;

  // Opens the file for the mode (see the table in the source); a file that does not exist
  // is created empty first. Null when the buffer is already open, the mode is not one of
  // the supported combinations, or the file cannot be created or opened.
  ForkStreamBuf* Open(const PathString& path, std::ios_base::openmode mode);
  // Writes into the temporary file of a safe save (output only; the buffer neither reads
  // nor seeks). Closing the buffer leaves committing to the file's owner.
  ForkStreamBuf* Open(SafeFileWriter& file);
  // Writes pending output and closes the file; null when any step failed. The buffer is
  // closed afterwards in every case.
  ForkStreamBuf* Close();
  bool IsOpen() const { return forkRef_ >= 0 || safe_ != nullptr; }

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
  SafeFileWriter* safe_ = nullptr;
  char buffer_[kBufferSize];
  bool writing_ = false;
  bool buffered_ = true;
};

class ForkOutputStream : public std::ostream {
 public:
  ForkOutputStream();
  ~ForkOutputStream() override = default;

  // Opens the buffer for the mode plus out; on failure sets the fail state.
  void Open(const PathString& path, std::ios_base::openmode mode);
  void Open(SafeFileWriter& file);
  bool IsOpen() const { return buf_.IsOpen(); }
  // Closes the buffer; on failure sets the fail state.
  void Close();

 protected:
  ForkStreamBuf buf_;
};

// Writes wide text converted to a text encoding; the system always passes the document
// encoding (UTF-8).
class EncodedOutputStream : public ForkOutputStream {
 public:
  explicit EncodedOutputStream(toolbox::StringEncoding encoding);
  ~EncodedOutputStream() override;

  bool Open(const PathString& path, std::ios_base::openmode mode, toolbox::StringEncoding encoding);
  bool Open(SafeFileWriter& file, toolbox::StringEncoding encoding);
  // Writes the text in one piece. In UTF-8 a lone surrogate or a value above U+10FFFF is
  // written as U+FFFD and the rest as it is; another encoding writes '?' for what it lacks.
  EncodedOutputStream& WriteWide(const wchar_t* text);
  EncodedOutputStream& WriteWide(const std::wstring& text);

 private:
  toolbox::StringEncoding encoding_;
};

// Creates a text file and writes wide text into it in the document encoding.
class TextFileWriter {
 public:
  TextFileWriter();
  virtual ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Creates the file (type 'TEXT', creator 'ttex' without information) and opens it. A
  // relative path is resolved once, and that one path is created and opened.
  virtual bool Open(const PathString& path, const FileCreateInfo* info, bool replace);
  // False when any write, the final flush or closing failed.
  virtual bool Close();
  TextFileWriter& Write(const wchar_t* text);
  TextFileWriter& Write(const std::wstring& text);
  TextFileWriter& WriteLong(long value);

 private:
  EncodedOutputStream stream_;
};
