#include "script/grammar/LookaheadParser.h"

#include <antlr/CommonToken.hpp>

#include "script/grammar/TextScanner.h"

LookaheadParser::LookaheadParser(antlr::TokenBuffer& buffer, int k) : LLkParser(buffer, k) {}

LookaheadParser::LookaheadParser(antlr::TokenStream& lexer, int k)
    : LLkParser(lexer, k), source_(&lexer), scanner_(dynamic_cast<TextScanner*>(&lexer)) {}

LookaheadParser::LookaheadParser(const antlr::ParserSharedInputState& state, int k)
    : LLkParser(state, k) {}

void LookaheadParser::Read() {
  antlr::RefToken token = source_->nextToken();
  // The scanner's reused token is read directly.
  if (scanner_ && scanner_->TextsStayPut() && token.get() == scanner_->ReusedToken()) {
    const auto* scanned = static_cast<const ScannedToken*>(token.get());
    window_.push_back({scanned->getType(), scanned->getLine(), scanned->getColumn(), scanner_->TokenText()});
    return;
  }
  std::string_view text;
  if (scanner_ && scanner_->TextsStayPut()) {
    text = scanner_->TokenText();
  } else {
    texts_.push_back(std::make_unique<std::string>(token->getText()));
    text = *texts_.back();
  }
  window_.push_back({token->getType(), token->getLine(), token->getColumn(), text});
}

antlr::RefToken LookaheadParser::LT(unsigned int i) {
  if (!source_) return LLkParser::LT(i);
  const Lexeme& lexeme = At(i);
  antlr::RefToken token(new antlr::CommonToken(lexeme.type, std::string(lexeme.text)));
  token->setLine(lexeme.line);
  token->setColumn(lexeme.column);
  return token;
}

int LookaheadParser::LineAhead(unsigned int i) {
  return source_ ? At(i).line : LLkParser::LT(i)->getLine();
}

int LookaheadParser::ColumnAhead(unsigned int i) {
  return source_ ? At(i).column : LLkParser::LT(i)->getColumn();
}

void LookaheadParser::Mismatch(int expected, bool inverted) {
  throw antlr::MismatchedTokenException(getTokenNames(), getNumTokens(), LT(1), expected,
                                        inverted, getFilename());
}

void LookaheadParser::Mismatch(const antlr::BitSet& expected) {
  throw antlr::MismatchedTokenException(getTokenNames(), getNumTokens(), LT(1), expected, false,
                                        getFilename());
}

void LookaheadParser::ConsumeBuffered() {
  antlr::RefToken token = LLkParser::LT(1);
  lastLine_ = token->getLine();
  lastText_ = token->getText();
  LLkParser::consume();
}

void LookaheadParser::Forget() {
  forgotten_ += next_ - 1;
  window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(next_ - 1));
  next_ = 1;
}
