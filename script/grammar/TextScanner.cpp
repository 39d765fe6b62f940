#include "script/grammar/TextScanner.h"

std::string ScannedToken::getText() const { return std::string(scanner_.TokenText()); }

TextScanner::TextScanner(antlr::InputBuffer& input, bool caseSensitive)
    : CharScanner(input, caseSensitive),
      state_(inputState.get()),
      text_(dynamic_cast<TextInputBuffer*>(&input)) {
  Configure();
}

TextScanner::TextScanner(antlr::InputBuffer* input, bool caseSensitive)
    : CharScanner(input, caseSensitive),
      state_(inputState.get()),
      text_(dynamic_cast<TextInputBuffer*>(input)) {
  Configure();
}

TextScanner::TextScanner(const antlr::LexerSharedInputState& state, bool caseSensitive)
    : CharScanner(state, caseSensitive),
      state_(inputState.get()),
      text_(dynamic_cast<TextInputBuffer*>(&state_->getInput())) {
  Configure();
}

int TextScanner::IndexLiterals(int ttype) const {
  // Literals that ignore case are left to the runtime's own test.
  if (!getCaseSensitiveLiterals()) return CharScanner::testLiteralsTable(ttype);
  // The keys stay where the runtime's table keeps them. No literal is empty.
  for (int c = 0; c < 256; ++c) {
    firstIndex_[static_cast<size_t>(c)] = static_cast<uint32_t>(literalsByFirst_.size());
    for (const auto& [literal, type] : literals) {
      if (!literal.empty() && static_cast<unsigned char>(literal[0]) == c)
        literalsByFirst_.emplace_back(literal, type);
    }
  }
  firstIndex_[256] = static_cast<uint32_t>(literalsByFirst_.size());
  literalsIndexed_ = true;
  return testLiteralsTable(ttype);
}

// Every character of the string, as the runtime compares them.
void TextScanner::match(const std::string& s) {
  for (const char ch : s) {
    const int la = LA(1), c = (ch & 0xFF);
    if (la != c) throw antlr::MismatchedCharException(la, c, false, this);
    consume();
  }
}

antlr::RefToken TextScanner::MakeToken(int t) {
  if (!reuse_) return CharScanner::makeToken(t);
  if (!scanned_) {
    scanned_ = new ScannedToken(*this);
    reused_ = antlr::RefToken(scanned_);
  }
  scanned_->Reset(t, state_->tokenStartLine, state_->tokenStartColumn);
  return reused_;
}
