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
  explicit TextInputBuffer(std::string_view text) : text_(text) {}

  // The character `i` places ahead (from 1), or EOF.
  int Peek(unsigned int i) const {
    const size_t at = position_ + i - 1;
    return at < text_.size() ? static_cast<unsigned char>(text_[at]) : EOF;
  }
  void Advance() { ++position_; }
  size_t Position() const { return position_; }
  // The text from one position to another.
  std::string_view Slice(size_t from, size_t to) const {
    return std::string_view(text_.data() + from, to - from);
  }

  void reset() override {
    InputBuffer::reset();
    position_ = 0;
  }
  void consume() override { Advance(); }
  void fill(unsigned int) override {}
  int getChar() override { return Peek(1); }
  int LA(unsigned int i) override { return Peek(i); }
  unsigned int mark() override {
    ++nMarkers;
    return static_cast<unsigned int>(position_);
  }
  bool isMarked() const override { return nMarkers != 0; }
  void rewind(unsigned int mark) override {
    position_ = mark;
    --nMarkers;
  }

 private:
  std::string_view text_;
  size_t position_ = 0;
};
