#pragma once
// The base of the generated lexers. The runtime's scanner reaches every character through
// two virtual calls, builds a new token object for every token and looks every token up in
// an ordered map of literals. This one reads a TextInputBuffer directly where it has one,
// matches and consumes without virtual calls (the generated rules call the final methods
// here), finds literals among the few that start with the token's first character and,
// when asked, hands out one token object over and over and takes token texts where they
// stand in the input. What it accepts, the tokens, texts, lines, columns and errors stay
// the runtime's.
#include <antlr/CharScanner.hpp>
#include <antlr/CommonToken.hpp>
#include <antlr/MismatchedCharException.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/grammar/TextInputBuffer.h"

class TextScanner;

// The token a TextScanner hands out over and over: its text is the scanner's current text.
class ScannedToken final : public antlr::CommonToken {
 public:
  explicit ScannedToken(const TextScanner& scanner) : scanner_(scanner) {}
  void Reset(int type, int line, int column) {
    type_ = type;
    this->line = line;
    col = column;
  }
  // Its own copy of the type, read without a call for every token.
  int getType() const override { return type_; }
  void setType(int type) override { type_ = type; }
  std::string getText() const override;
  void setText(const std::string&) override {}

 private:
  const TextScanner& scanner_;
  int type_ = 0;
};

class TextScanner : public antlr::CharScanner {
 public:
  TextScanner(antlr::InputBuffer& input, bool caseSensitive);
  TextScanner(antlr::InputBuffer* input, bool caseSensitive);
  TextScanner(const antlr::LexerSharedInputState& state, bool caseSensitive);

  // With `reuse`, nextToken returns the same token object each time (not one from the
  // token factory), overwritten by the next call: for a reader that takes what it needs
  // from a token before asking for the next one, and keeps none beyond the scanner. Its
  // text is the scanner's own, never copied: a rule's whole match, since no rule here
  // changes or drops a part of its text. On a TextInputBuffer that text is where it stands
  // in the input, and consumed characters are not collected at all.
  void ReuseTokens(bool reuse) {
    reuse_ = reuse;
    Configure();
  }

  // The text of the token read last, valid until the next one is read, or for as long as
  // the input text lives when TextsStayPut.
  bool TextsStayPut() const { return !saveConsumedInput; }
  // The token handed out over and over with ReuseTokens, or null.
  const ScannedToken* ReusedToken() const { return reuse_ ? scanned_ : nullptr; }
  std::string_view TokenText() const {
    return saveConsumedInput ? std::string_view(text)
                             : text_->Slice(tokenStart_, text_->Position());
  }
  const std::string& getText() const final {
    if (saveConsumedInput) return text;
    tokenText_.assign(TokenText());
    return tokenText_;
  }

  [[gnu::always_inline]] int LA(unsigned int i) final {
    if (direct_) [[likely]] return text_->Peek(i);
    return SlowLA(i);
  }

  [[gnu::always_inline]] void append(char c) final {
    if (saveConsumedInput) text.push_back(c);
  }

  [[gnu::always_inline]] void consume() final {
    // Case-sensitive text in memory whose characters nobody collects: only the column
    // moves, by a tab stop for a tab.
    if (fast_ && state_->guessing == 0) [[likely]] {
      if (text_->Peek(1) == '\t') tab();
      else ++state_->column;
      text_->Advance();
      return;
    }
    SlowConsume();
  }

  // The text from the next character on, for a rule that measures a run of characters
  // itself; empty unless consume() would take them straight from memory (case-sensitive
  // text in memory whose characters nobody collects, outside trials).
  std::string_view Ahead() const {
    return fast_ && state_->guessing == 0 ? text_->Rest() : std::string_view();
  }
  // Consumes the next `count` characters of Ahead(), none of them a line end, as consume()
  // would one by one.
  void ConsumeAhead(size_t count) {
    if (count == 0) return;
    const std::string_view ahead = text_->Rest().substr(0, count);
    if (ahead.find('\t') == std::string_view::npos) {
      state_->column += static_cast<int>(count);
    } else {
      for (const char c : ahead) {
        if (c == '\t') tab();
        else ++state_->column;
      }
    }
    text_->Advance(count);
  }

  [[gnu::always_inline]] void match(int c) final {
    const int la = LA(1);
    if (la != c) throw antlr::MismatchedCharException(la, c, false, this);
    consume();
  }
  void match(const antlr::BitSet& b) final {
    const int la = LA(1);
    if (!b.member(static_cast<unsigned int>(la)))
      throw antlr::MismatchedCharException(la, b, false, this);
    consume();
  }
  void match(const char* s) final {
    while (*s != '\0') {
      const int la = LA(1), c = (*s++ & 0xFF);
      if (la != c) throw antlr::MismatchedCharException(la, c, false, this);
      consume();
    }
  }
  void match(const std::string& s) final;
  [[gnu::always_inline]] void matchNot(int c) final {
    const int la = LA(1);
    if (la == c) throw antlr::MismatchedCharException(la, c, true, this);
    consume();
  }
  [[gnu::always_inline]] void matchRange(int c1, int c2) final {
    const int la = LA(1);
    if (la < c1 || la > c2) throw antlr::MismatchedCharException(la, c1, c2, false, this);
    consume();
  }

  void resetText() final {
    text.clear();
    if (text_) tokenStart_ = text_->Position();
    state_->tokenStartColumn = state_->column;
    state_->tokenStartLine = state_->line;
  }

  void newline() final {
    ++state_->line;
    state_->column = 1;
  }

  void setInputState(antlr::LexerSharedInputState state) final {
    CharScanner::setInputState(state);
    state_ = inputState.get();
    text_ = dynamic_cast<TextInputBuffer*>(&inputState->getInput());
    Configure();
  }

  void setCaseSensitive(bool on) final {
    CharScanner::setCaseSensitive(on);
    Configure();
  }

  int testLiteralsTable(int ttype) const final {
    if (!literalsIndexed_) [[unlikely]] return IndexLiterals(ttype);
    const std::string_view token = TokenText();
    if (token.empty()) return ttype;
    const auto first = static_cast<unsigned char>(token[0]);
    for (uint32_t i = firstIndex_[first]; i < firstIndex_[first + 1u]; ++i) {
      if (literalsByFirst_[i].first == token) return literalsByFirst_[i].second;
    }
    return ttype;
  }

 protected:
  antlr::RefToken makeToken(int t) final {
    if (!reuse_ || !scanned_) return MakeToken(t);
    scanned_->Reset(t, state_->tokenStartLine, state_->tokenStartColumn);
    return reused_;
  }

 private:
  antlr::RefToken MakeToken(int t);
  // Fills the literals index on first use, then tests as testLiteralsTable does.
  int IndexLiterals(int ttype) const;
  // Derives what depends on the input, the case and token reuse.
  void Configure() {
    saveConsumedInput = !(reuse_ && text_);
    direct_ = text_ && caseSensitive;
    fast_ = direct_ && !saveConsumedInput;
  }
  [[gnu::always_inline]] int Raw(unsigned int i) {
    return text_ ? text_->Peek(i) : state_->getInput().LA(i);
  }
  // LA and consume for any input and case.
  [[gnu::noinline]] int SlowLA(unsigned int i) {
    const int c = Raw(i);
    return caseSensitive ? c : toLower(c);
  }
  [[gnu::noinline]] void SlowConsume() {
    if (state_->guessing == 0) {
      const int c = LA(1);
      append(static_cast<char>(caseSensitive ? c : Raw(1)));
      if (c == '\t') tab();
      else ++state_->column;
    }
    if (text_) text_->Advance();
    else state_->getInput().consume();
  }

  // The input state, reached without the reference count's checks.
  antlr::LexerInputState* state_;
  // The input when it is text in memory, else null.
  TextInputBuffer* text_;
  // True for a case-sensitive scanner reading text in memory: its characters are read
  // straight from the text; and when, besides, its token texts stay where they are in the
  // text, consuming a character only moves the column.
  bool direct_ = false;
  bool fast_ = false;
  bool reuse_ = false;
  // Where the token under way starts in a TextInputBuffer.
  size_t tokenStart_ = 0;
  mutable std::string tokenText_;
  // The token handed out over and over, and its concrete object.
  antlr::RefToken reused_;
  ScannedToken* scanned_ = nullptr;
  // The literals table ordered by first character, filled on first use from the runtime's
  // table: the literals starting with character c are literalsByFirst_[firstIndex_[c]] up to
  // literalsByFirst_[firstIndex_[c + 1]].
  mutable std::vector<std::pair<std::string_view, int>> literalsByFirst_;
  mutable std::array<uint32_t, 257> firstIndex_{};
  mutable bool literalsIndexed_ = false;
};
