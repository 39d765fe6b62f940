#pragma once
// A lexer's input read straight from text in memory. The runtime's own buffer takes one
// character at a time from a stream into a queue, which is most of a lexer's time; this one
// looks the characters up where they stand. Characters read as the stream gives them
// (0 to 255), and EOF after the end. A TextScanner reads it without virtual calls.
#include <antlr/InputBuffer.hpp>

#include <cstdio>
#include <string_view>

class TextInputBuffer final : public antlr::InputBuffer {
 public:
  // The text must outlive the buffer.
  explicit TextInputBuffer(std::string_view text)
      : begin_(reinterpret_cast<const unsigned char*>(text.data())),
        at_(begin_),
        end_(begin_ + text.size()) {}

  // The character `i` places ahead (from 1), or EOF.
  int Peek(unsigned int i) const {
    return static_cast<size_t>(end_ - at_) >= i ? at_[i - 1] : EOF;
  }
  // Takes the next character; only while one remains (a scanner consumes only a character
  // it matched, never EOF).
  void Advance() { ++at_; }
  void Advance(size_t count) { at_ += count; }
  // The text from the next character on.
  std::string_view Rest() const {
    return std::string_view(reinterpret_cast<const char*>(at_), static_cast<size_t>(end_ - at_));
  }
  size_t Position() const { return static_cast<size_t>(at_ - begin_); }
  // The text from one position to another.
  std::string_view Slice(size_t from, size_t to) const {
    return std::string_view(reinterpret_cast<const char*>(begin_) + from, to - from);
  }

  void reset() override {
    InputBuffer::reset();
    at_ = begin_;
  }
  void consume() override {
    if (at_ != end_) Advance();
  }
  void fill(unsigned int) override {}
  int getChar() override { return Peek(1); }
  int LA(unsigned int i) override { return Peek(i); }
  unsigned int mark() override {
    ++nMarkers;
    return static_cast<unsigned int>(Position());
  }
  bool isMarked() const override { return nMarkers != 0; }
  void rewind(unsigned int mark) override {
    at_ = begin_ + mark;
    --nMarkers;
  }

 private:
  // Where the text starts, the next character, and where the text ends.
  const unsigned char* begin_;
  const unsigned char* at_;
  const unsigned char* end_;
};
