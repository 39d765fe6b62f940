// Token streams of the preprocessor's lexer, which skips nothing. Tokens are written
// "type:text" (line ends as \n); a lexical error ends the stream with "!" and its kind.
#include <gtest/gtest.h>

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include <sstream>
#include <string>

#include "script/grammar/PreprocessorLexer.hpp"

namespace {

std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Lex(const std::string& text) {
  std::istringstream in(text, std::ios::in | std::ios::binary);
  PreprocessorLexer lexer(in);
  std::string out;
  try {
    for (;;) {
      antlr::RefToken t = lexer.nextToken();
      if (t->getType() == antlr::Token::EOF_TYPE) break;
      if (!out.empty()) out += ' ';
      out += std::to_string(t->getType()) + ":" + Visible(t->getText());
    }
  } catch (const antlr::TokenStreamRecognitionException& e) {
    const std::string message = e.getMessage();
    if (!out.empty()) out += ' ';
    if (message.find("unexpected char") != std::string::npos) out += "!NoViable";
    else if (message.find("expecting") != std::string::npos) out += "!Mismatched";
    else out += "!" + message;
  }
  return out;
}

TEST(PreprocessorLexer, TokenNumbers) {
  using T = PreprocessorTokenTypes;
  const int numbers[] = {T::INCLUDE, T::DEFINE, T::IFDEF, T::IFNDEF, T::ELSE, T::ENDIF,
                         T::LPAREN, T::RPAREN, T::LBRACKET, T::RBRACKET, T::LCURLY, T::RCURLY,
                         T::SEMI, T::COMMA, T::SELECT, T::ALTERNATE, T::ASSIGN, T::ASSIGN_ADD,
                         T::ASSIGN_SUB, T::ASSIGN_MUL, T::ASSIGN_DIV, T::ASSIGN_MOD,
                         T::ASSIGN_LSL, T::ASSIGN_ASR, T::ASSIGN_LSR, T::ASSIGN_AND,
                         T::ASSIGN_OR, T::ASSIGN_XOR, T::LOGICAL_AND, T::LOGICAL_OR,
                         T::LOGICAL_NOT, T::EQ, T::GTHAN, T::LTHAN, T::GTE, T::LTE, T::NE,
                         T::BIT_AND, T::BIT_OR, T::BIT_XOR, T::BIT_NOT, T::LSL, T::LSR, T::ASR,
                         T::PLUS, T::MINUS, T::MULTIPLY, T::DIVIDE, T::MOD, T::INC, T::DEC,
                         T::WS, T::NEWLINE, T::STRING_LITERAL, T::QUOTED_LITERAL, T::IDENTIFIER,
                         T::ESC, T::HEX_DIGIT, T::EXPONENT, T::NUMERIC_LITERAL, T::SL_COMMENT,
                         T::ML_COMMENT};
  ASSERT_EQ(std::size(numbers), 62u);
  for (size_t i = 0; i < std::size(numbers); ++i) EXPECT_EQ(numbers[i], static_cast<int>(i) + 4);
}

TEST(PreprocessorLexer, TokenStreams) {
  struct Case {
    std::string in;
    const char* tokens;
  } cases[] = {
      {"#include \"a.as\"", "4:#include 55:  57:\"a.as\""},
      {"#define X 1\n", "5:#define 55:  59:X 55:  63:1 56:\\n"},
      {"#defineX", "5:#define 59:X"},
      {"#ifdef A #ifndef B #else #endif", "6:#ifdef 55:  59:A 55:  7:#ifndef 55:  59:B 55:  8:#else 55:  9:#endif"},
      {"#defne X", "!Mismatched"},
      {"#pragma once", "!NoViable"},
      {"#if X", "!NoViable"},
      {"#IFDEF X", "!NoViable"},
      // Keywords are identifiers here, and a lone "." is a number.
      {"if function .", "59:if 55:  59:function 55:  63:."},
      // A run of blanks is one token; line ends are normalised by the caller.
      {"a \t\fb", "59:a 55: \t\f 59:b"},
      {"#define  X\t 1", "5:#define 55:   59:X 55:\t  63:1"},
      {"a\r\nb\rc\nd", "59:a 56:\\r\\n 59:b 56:\\r 59:c 56:\\n 59:d"},
      // Comments keep their delimiters; "//" takes its line end.
      {"x // note\ny", "59:x 55:  64:// note\\n 59:y"},
      {"x // note", "59:x 55:  64:// note"},
      {"/* a\nb */c", "65:/* a\\nb */ 59:c"},
      {"/* ** */", "65:/* ** */"},
      {"/* open", "!Mismatched"},
      {std::string("/* a\x01 */"), "!Mismatched"},
      {"a /= b", "59:a 55:  24:/= 55:  59:b"},
      // Bytes 128 to 255 inside strings and comments only.
      {"\"\xE9\" // \xE9\n/* \xE9 */", "57:\"\xE9\" 55:  64:// \xE9\\n 65:/* \xE9 */"},
      {"\xE9", "!NoViable"},
      {"@", "!NoViable"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lex(c.in), c.tokens) << "input: " << Visible(c.in);
}

TEST(PreprocessorLexer, CommentsCountLines) {
  std::istringstream in("/* a\r\nb\rc\nd */x // e\ny", std::ios::in | std::ios::binary);
  PreprocessorLexer lexer(in);
  EXPECT_EQ(lexer.nextToken()->getLine(), 1);       // the block comment
  antlr::RefToken x = lexer.nextToken();
  EXPECT_EQ(x->getText(), "x");
  EXPECT_EQ(x->getLine(), 4);
  EXPECT_EQ(lexer.nextToken()->getType(), PreprocessorTokenTypes::WS);
  EXPECT_EQ(lexer.nextToken()->getType(), PreprocessorTokenTypes::SL_COMMENT);
  antlr::RefToken y = lexer.nextToken();
  EXPECT_EQ(y->getText(), "y");
  EXPECT_EQ(y->getLine(), 5);
  EXPECT_TRUE(lexer.getCaseSensitiveLiterals());
}

}  // namespace
