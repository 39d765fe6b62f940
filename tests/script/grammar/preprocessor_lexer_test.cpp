// Token streams of the preprocessor's lexer, which skips nothing. Tokens are written
// "type:text" (line ends as \n); a lexical error ends the stream with "!" and its kind.
#include <gtest/gtest.h>

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "script/grammar/PreprocessorLexer.hpp"
#include "script/grammar/TextInputBuffer.h"

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
                         T::ML_COMMENT, T::PLAIN_TEXT};
  ASSERT_EQ(std::size(numbers), 63u);
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

// Plain runs change how the text is cut, never what is read: a run covers whole tokens of
// the plain stream that the preprocessor only copies, starts where the first of them does,
// and any error is the same error at the same place. Both inputs: text in memory and a stream.
struct Scan {
  struct Token {
    int type;
    std::string text;
    int line, column;
  };
  std::vector<Token> tokens;
  std::string error;
};

Scan ScanAll(const std::string& text, bool runs, bool inMemory) {
  TextInputBuffer buffer(text);
  std::istringstream in(text, std::ios::in | std::ios::binary);
  std::unique_ptr<PreprocessorLexer> lexer(inMemory ? new PreprocessorLexer(buffer)
                                                    : new PreprocessorLexer(in));
  lexer->ReuseTokens(inMemory);
  lexer->PlainRuns(runs);
  Scan scan;
  try {
    for (antlr::RefToken t = lexer->nextToken(); t->getType() != antlr::Token::EOF_TYPE;
         t = lexer->nextToken()) {
      scan.tokens.push_back({t->getType(), t->getText(), t->getLine(), t->getColumn()});
    }
  } catch (const antlr::TokenStreamRecognitionException& e) {
    scan.error = e.getMessage() + " at " + std::to_string(e.getLine()) + ":" +
                 std::to_string(e.getColumn());
  }
  return scan;
}

bool Copied(const Scan::Token& t) {
  using T = PreprocessorTokenTypes;
  switch (t.type) {
    case T::IDENTIFIER: case T::WS: case T::DIVIDE: case T::ASSIGN_DIV:
      return true;
    case T::NUMERIC_LITERAL:
      return t.text == ".";
    default:
      return t.type >= T::LPAREN && t.type <= T::DEC;
  }
}

TEST(PreprocessorLexer, PlainRunsEndWhereTokensEnd) {
  const std::string inputs[] = {
      "a.b a.5 a .5 a. x.\n", "a.e5 a 1e5 0x1F x1 2 f(1)", "a/b a//c\nd a/*c*/b a/=b a/ a*/b",
      "a#b #define X 1\nX", "a\"s\"b a'c'b", "a\r\nb\rc", "a@b", "a\xE9", "a\x01", "a\vb",
      "a\\b", "a`", "\ta\t\tb\tc  d", ">>>= <<= != == >>> ++ -- && || ~x?y:z;",
      "$a_9 _$1 [a]{b}(c),d", "  var x = foo(a, b);\n", "x", "x .", "x /",
  };
  for (const std::string& input : inputs) {
    for (const bool inMemory : {true, false}) {
      const Scan plain = ScanAll(input, false, inMemory);
      const Scan runs = ScanAll(input, true, inMemory);
      SCOPED_TRACE(Visible(input) + (inMemory ? " in memory" : " from a stream"));
      EXPECT_EQ(runs.error, plain.error);
      size_t j = 0;
      for (const Scan::Token& t : runs.tokens) {
        ASSERT_LT(j, plain.tokens.size()) << t.text;
        EXPECT_EQ(t.line, plain.tokens[j].line) << t.text;
        EXPECT_EQ(t.column, plain.tokens[j].column) << t.text;
        if (t.type != PreprocessorTokenTypes::PLAIN_TEXT) {
          EXPECT_EQ(t.type, plain.tokens[j].type);
          EXPECT_EQ(t.text, plain.tokens[j++].text);
          continue;
        }
        std::string covered;
        while (covered.size() < t.text.size() && j < plain.tokens.size()) {
          EXPECT_TRUE(Copied(plain.tokens[j])) << plain.tokens[j].text;
          covered += plain.tokens[j++].text;
        }
        EXPECT_EQ(covered, t.text);
      }
      EXPECT_EQ(j, plain.tokens.size());
    }
  }
  // A usual line is one token and its line end.
  EXPECT_EQ(ScanAll("  var x = foo(a, b);\n", true, true).tokens.size(), 2u);
}

}  // namespace

