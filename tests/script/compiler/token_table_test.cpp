// The token types shared by the ActionScript lexer and parser: every number and name.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "script/grammar/ActionScriptLexer.hpp"
#include "script/grammar/ActionScriptParser.hpp"

namespace {

const char* const kExpectedNames[86] = {
    "<0>",          "EOF",           "<2>",          "NULL_TREE_LOOKAHEAD",
    "\"{\"",        "\"function\"",  "IDENTIFIER",   "\"(\"",
    "\")\"",        "\";\"",         "\"}\"",        "\"if\"",
    "\"else\"",     "\"with\"",      "\"while\"",    "\"do\"",
    "\"for\"",      "\"in\"",        "\"onClipEvent\"", "\",\"",
    "\"on\"",       "\"keyPress\"",  "\"break\"",    "\"continue\"",
    "\"return\"",   "\"var\"",       "ASSIGN",       "ASSIGN_ADD",
    "ASSIGN_SUB",   "ASSIGN_MUL",    "ASSIGN_DIV",   "ASSIGN_MOD",
    "ASSIGN_LSL",   "ASSIGN_ASR",    "ASSIGN_LSR",   "ASSIGN_AND",
    "ASSIGN_OR",    "ASSIGN_XOR",    "\"?\"",        "\":\"",
    "LOGICAL_OR",   "LOGICAL_AND",   "BIT_OR",       "BIT_XOR",
    "BIT_AND",      "EQ",            "NE",           "LTHAN",
    "GTHAN",        "LTE",           "GTE",          "\"instanceof\"",
    "LSL",          "LSR",           "ASR",          "PLUS",
    "MINUS",        "MULTIPLY",      "DIVIDE",       "MOD",
    "INC",          "DEC",           "BIT_NOT",      "LOGICAL_NOT",
    "\"delete\"",   "\"[\"",         "\"]\"",        "\".\"",
    "\"new\"",      "NUMERIC_LITERAL", "STRING_LITERAL", "QUOTED_LITERAL",
    "LPAREN",       "RPAREN",        "LCURLY",       "RCURLY",
    "LBRACKET",     "RBRACKET",      "SEMI",         "COMMA",
    "SELECT",       "ALTERNATE",     "WS",           "ESC",
    "HEX_DIGIT",    "EXPONENT",
};

TEST(TokenTable, NamesAndNumbers) {
  std::istringstream in;
  ActionScriptLexer lexer(in);
  ActionScriptParser parser(lexer);
  ASSERT_EQ(parser.getNumTokens(), 86);
  for (int type = 0; type < 86; ++type) {
    ASSERT_NE(parser.getTokenName(type), nullptr) << type;
    EXPECT_STREQ(parser.getTokenName(type), kExpectedNames[type]) << type;
    EXPECT_STREQ(ActionScriptParser::kTokenNames[type], kExpectedNames[type]) << type;
  }
  EXPECT_EQ(parser.getTokenName(86), nullptr);
  EXPECT_EQ(parser.getTokenNames(), ActionScriptParser::kTokenNames);
}

TEST(TokenTable, NamedTypes) {
  using T = ActionScriptTokenTypes;
  const struct {
    int type;
    const char* name;
  } named[] = {
      {T::LITERAL_function, "\"function\""}, {T::IDENTIFIER, "IDENTIFIER"},
      {T::LITERAL_if, "\"if\""},             {T::LITERAL_var, "\"var\""},
      {T::ASSIGN, "ASSIGN"},                 {T::ASSIGN_XOR, "ASSIGN_XOR"},
      {T::LOGICAL_OR, "LOGICAL_OR"},         {T::LITERAL_instanceof, "\"instanceof\""},
      {T::LOGICAL_NOT, "LOGICAL_NOT"},       {T::LITERAL_new, "\"new\""},
      {T::NUMERIC_LITERAL, "NUMERIC_LITERAL"}, {T::QUOTED_LITERAL, "QUOTED_LITERAL"},
      {T::LPAREN, "LPAREN"},                 {T::ALTERNATE, "ALTERNATE"},
      {T::WS, "WS"},                         {T::EXPONENT, "EXPONENT"},
  };
  for (const auto& n : named) EXPECT_STREQ(kExpectedNames[n.type], n.name);
}

// The lexer's literal table: 18 keywords and 11 punctuation texts, found whole and
// case-sensitively.
TEST(TokenTable, LiteralTable) {
  const char* const literals[] = {"function", "if", "else", "with", "while", "do", "for",
                                  "in", "onClipEvent", "on", "keyPress", "break", "continue",
                                  "return", "var", "instanceof", "delete", "new",
                                  "{", "(", ")", ";", "}", ",", "?", ":", "[", "]", "."};
  ASSERT_EQ(std::size(literals), 29u);
  for (const char* text : literals) {
    std::istringstream in(text);
    ActionScriptLexer lexer(in);
    const int type = lexer.nextToken()->getType();
    EXPECT_EQ(kExpectedNames[type], "\"" + std::string(text) + "\"") << text;
  }
}

}  // namespace
