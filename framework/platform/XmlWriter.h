#pragma once
// Writes an XML document to a file as a stream of text pieces. There is no document model:
// callers hand over fixed markup (element and attribute names with their punctuation) and
// values in between; the writer adds the header and trailer, escapes values, and gives
// numbers, booleans and paths their text form. The pieces are encoded straight into one
// buffer that goes to the file in large blocks.
//
// A document is saved safely: it is written to a temporary file beside the target, every
// write is checked, and only Close renames the complete file over the target. A save that
// fails leaves the previous file as it was, and Close reports false.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathString.h"
#include "framework/platform/XmlReader.h"
#include "toolbox/TextCodec.h"

struct XmlWriterOptions {
  OSType fileType = toolbox::kUnknownOSType;
  OSType creator = toolbox::kUnknownOSType;
  // WritePath writes paths relative to the document's folder.
  bool relativePaths = false;
  // The standard declaration <?xml ... ?> instead of the wrapper element <xml ...>.
  bool standardHeader = false;
  // A header (and for the wrapper form its closing tag) at all.
  bool writeHeader = true;
  // The saved file survives a crash (see SafeFileWriter::SetDurable).
  bool durable = true;
};

class XmlWriter {
 public:
  XmlWriter();
  // Only Close puts the document in place: a writer destroyed while still open (an
  // exception or an early return in the middle of a save) discards what it wrote, and the
  // previous file stays as it was.
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Starts the document and writes the header. A relative path is resolved once, here.
  // False when the file cannot be created (a folder is there, or a file while `replace`
  // is false, or the folder cannot take it).
  bool Open(const PathString& path, const XmlWriterOptions& options, bool replace);
  // Writes the trailer and puts the complete file in place. False when anything written
  // since Open failed or the file could not be put in place; the previous file is then
  // unchanged. True, doing nothing, when the writer is not open.
  bool Close();

  XmlWriter& Write(const wchar_t* text);
  XmlWriter& Write(const std::wstring& text);
  void WriteEscaped(const wchar_t* text);
  void WriteEscaped(std::wstring_view text);
  XmlWriter& WriteBool(bool value);
  XmlWriter& WriteShort(int16_t value);
  XmlWriter& WriteUShort(uint16_t value);
  XmlWriter& WriteLong(int32_t value);
  XmlWriter& WriteULong(uint32_t value);
  XmlWriter& WriteFloat(float value);
  XmlWriter& WriteDouble(double value);
  // The path relative to the document's folder (without a leading "./") or absolute, by
  // the option, escaped. A path longer than the system takes fails the document.
  XmlWriter& WritePath(const PathString& path);

  // Makes the file's writes fail after `bytes` more bytes, as a full disk would (tests).
  void FailWritesAfter(size_t bytes) { file_.FailWritesAfter(bytes); }

  // Keeps the document within what XmlDocument::Load reads with the same caps (the default
  // caps unless set; set before Open). A document that outgrows them is not saved: writing
  // stops, Close reports false and TooLarge tells why.
  void SetLimits(const XmlLimits& limits) { buffer_.limits = limits; }
  bool TooLarge() const { return tooLarge_; }

 private:
  static constexpr size_t kBlockSize = 64 * 1024;

  // Encoded bytes not yet handed to the file; it takes them a block at a time.
  class Buffer {
   public:
    using value_type = char;
    explicit Buffer(SafeFileWriter& file) : file_(file) {}
    void push_back(char c) {
      if (used_ == kBlockSize) Flush();
      data_[used_++] = c;
    }
    template <typename It>
    void append(It first, It last) {
      for (; first != last; ++first) push_back(*first);
    }
    void append(std::string_view bytes);
    // Markup (text written unescaped) encoded as UTF-8: up to a NUL, or the whole view.
    void AppendUtf8(const wchar_t* text);
    void AppendUtf8(std::wstring_view text);
    void CountMarkup(std::wstring_view text);
    // Hands what the buffer holds to the file (nothing once the file failed) and empties it.
    void Flush();
    void Clear() { used_ = 0; }

    // What was handed on: bytes, and in the markup what makes a reader's nodes. Every
    // element, comment and processing instruction starts with '<', every text is followed
    // by one (or ends the document), and every attribute has a '=': so a reader makes at
    // most 2 '<' + '=' + 1 nodes of it. Escaped values hold neither as markup.
    uint64_t bytes = 0;
    uint64_t markupOpens = 0;
    uint64_t equalsSigns = 0;
    uint64_t NodeBound() const { return 2 * markupOpens + equalsSigns + 1; }
    // The caps; once they are passed, nothing more goes to the file.
    XmlLimits limits;
    bool Exceeded() const { return bytes > limits.maxFileSize || NodeBound() > limits.maxNodes; }

   private:
    SafeFileWriter& file_;
    std::unique_ptr<char[]> data_{new char[kBlockSize]};
    size_t used_ = 0;
  };


  bool Writing() const { return open_ && !file_.Failed(); }
  void WriteAscii(std::string_view text);
  void WriteText(std::wstring_view text);
  void WriteText(const wchar_t* text);

  SafeFileWriter file_;
  toolbox::StringEncoding encoding_;
  Buffer buffer_{file_};
  PathString path_;
  bool relativePaths_ = false;
  bool standardHeader_ = false;
  bool writeHeader_ = true;
  bool open_ = false;
  bool tooLarge_ = false;
};

// A value escaped for element text and attribute values alike: the markup characters,
// tab, line feed and carriage return as references, every character from U+0080 up as a
// hexadecimal reference of its full code, and every character XML 1.0 cannot carry
// (control characters, surrogates, U+FFFE, U+FFFF, values above U+10FFFF) as "&#xfffd;".
std::wstring EscapeXmlText(std::wstring_view text);

// printf's "%g": at most six significant digits, whatever the process locale.
std::wstring FormatXmlDouble(double value);
