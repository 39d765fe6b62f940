#pragma once
// The base of the generated parser. The runtime's token buffer keeps reference-counted token
// objects in a queue and reaches them through several virtual calls for every look at the
// next token. This one copies type, position and text of each token read into a window of
// plain values, reads the window without virtual calls (the generated rules call the final
// methods here) and drops what was consumed while no trial is under way. Tokens are read
// from the lexer exactly when the runtime would read them, so errors come at the same point.
// A token object is made only where one is asked for (errors, labels).
#include <antlr/LLkParser.hpp>
#include <antlr/MismatchedTokenException.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LookaheadParser : public antlr::LLkParser {
 public:
  LookaheadParser(antlr::TokenBuffer& buffer, int k);
  LookaheadParser(antlr::TokenStream& lexer, int k);
  LookaheadParser(const antlr::ParserSharedInputState& state, int k);

  [[gnu::always_inline]] int LA(unsigned int i) final {
    return source_ ? At(i).type : LLkParser::LA(i);
  }
  antlr::RefToken LT(unsigned int i) final;
  // Takes the next token, remembering its line and text.
  [[gnu::always_inline]] void consume() final {
    if (!source_) return ConsumeBuffered();
    lastLine_ = At(1).line;
    ++next_;
    // Outside trials nothing before the token consumed last is looked at again.
    if (markers_ == 0 && next_ > kKept) Forget();
  }
  unsigned int mark() final {
    if (!source_) return LLkParser::mark();
    ++markers_;
    return static_cast<unsigned int>(next_);
  }
  void rewind(unsigned int position) final {
    if (!source_) return LLkParser::rewind(position);
    next_ = position;
    --markers_;
  }

  [[gnu::always_inline]] void match(int t) final {
    if (LA(1) != t) [[unlikely]] Mismatch(t, false);
    consume();
  }
  [[gnu::always_inline]] void matchNot(int t) final {
    if (LA(1) == t) [[unlikely]] Mismatch(t, true);
    consume();
  }
  [[gnu::always_inline]] void match(const antlr::BitSet& b) final {
    if (!b.member(static_cast<unsigned int>(LA(1)))) [[unlikely]] Mismatch(b);
    consume();
  }

  // Line and column of the token `i` places ahead (from 1).
  int LineAhead(unsigned int i);
  int ColumnAhead(unsigned int i);
  // Text of the token consumed last, for an action right after it was matched.
  std::string_view LastText() const {
    return source_ && next_ > 0 ? window_[next_ - 1].text : std::string_view(lastText_);
  }

  // Whether the parser reads the lexer through its own window, which can skip ahead.
  bool CanSkipAhead() const { return source_ != nullptr; }
  // How many tokens were consumed from the start (with CanSkipAhead).
  size_t TokenIndex() const { return forgotten_ + next_; }
  // Moves ahead to where TokenIndex was `index`, over tokens already read and parsed
  // before a rewind, as if they had been consumed again; `lastLine` is the line the
  // parser had taken last there.
  void SkipTo(size_t index, int32_t lastLine) {
    next_ = index - forgotten_;
    lastLine_ = lastLine;
  }

 protected:
  // Line of the token consumed last, trials included; 0 before the first.
  int32_t lastLine_ = 0;

 private:
  // A token's text stays where the lexer's input holds it when the lexer can say so, else
  // in texts_.
  struct Lexeme {
    int type;
    int line;
    int column;
    std::string_view text;
  };

  static constexpr size_t kKept = 64;

  [[gnu::always_inline]] const Lexeme& At(unsigned int i) {
    const size_t at = next_ + i - 1;
    while (at >= window_.size()) [[unlikely]] Read();
    return window_[at];
  }
  void Read();
  [[noreturn, gnu::noinline]] void Mismatch(int expected, bool inverted);
  [[noreturn, gnu::noinline]] void Mismatch(const antlr::BitSet& expected);
  void ConsumeBuffered();
  void Forget();

  // The lexer read directly, or null when the runtime's buffer is used.
  antlr::TokenStream* source_ = nullptr;
  // The same lexer when it is a TextScanner, whose token texts are read without a copy.
  class TextScanner* scanner_ = nullptr;
  // Tokens read; window_[next_] is the next one, window_[next_ - 1] the one consumed last.
  std::vector<Lexeme> window_;
  size_t next_ = 0;
  // Tokens dropped from the front of the window.
  size_t forgotten_ = 0;
  unsigned int markers_ = 0;
  std::string lastText_;
  std::vector<std::unique_ptr<std::string>> texts_;
};
