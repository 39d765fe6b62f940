#include "script/grammar/TextScanner.h"

TextScanner::TextScanner(antlr::InputBuffer& input, bool caseSensitive)
    : CharScanner(input, caseSensitive), text_(dynamic_cast<TextInputBuffer*>(&input)) {}

TextScanner::TextScanner(antlr::InputBuffer* input, bool caseSensitive)
    : CharScanner(input, caseSensitive), text_(dynamic_cast<TextInputBuffer*>(input)) {}

TextScanner::TextScanner(const antlr::LexerSharedInputState& state, bool caseSensitive)
    : CharScanner(state, caseSensitive),
      text_(dynamic_cast<TextInputBuffer*>(&inputState->getInput())) {}

int TextScanner::testLiteralsTable(int ttype) const {
  if (!getCaseSensitiveLiterals()) return CharScanner::testLiteralsTable(ttype);
  if (!literalsHashed_) {
    // The keys stay where the runtime's table keeps them.
    for (const auto& [literal, type] : literals) literalTypes_.emplace(literal, type);
    literalsHashed_ = true;
  }
  const auto found = literalTypes_.find(std::string_view(text));
  return found != literalTypes_.end() ? found->second : ttype;
}

antlr::RefToken TextScanner::makeToken(int t) {
  if (!reuse_) return CharScanner::makeToken(t);
  if (!reused_) reused_ = tokenFactory();
  // A token as the factory makes it: no text until the rule sets one.
  reused_->setText(std::string());
  reused_->setType(t);
  reused_->setColumn(inputState->tokenStartColumn);
  reused_->setLine(inputState->tokenStartLine);
  return reused_;
}
