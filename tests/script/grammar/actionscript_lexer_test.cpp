// Token streams of the ActionScript lexer. Tokens are written "type:text"; a lexical error
// ends the stream with "!" and the exception's class.
#include <gtest/gtest.h>

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include <sstream>
#include <string>

#include "script/grammar/ActionScriptLexer.hpp"

namespace {

std::string Lex(const std::string& text, bool positions = false) {
  std::istringstream in(text, std::ios::in | std::ios::binary);
  ActionScriptLexer lexer(in);
  std::string out;
  try {
    for (;;) {
      antlr::RefToken t = lexer.nextToken();
      if (t->getType() == antlr::Token::EOF_TYPE) break;
      if (!out.empty()) out += ' ';
      out += std::to_string(t->getType()) + ":" + t->getText();
      if (positions) out += "@" + std::to_string(t->getLine()) + "." + std::to_string(t->getColumn());
    }
  } catch (const antlr::TokenStreamRecognitionException& e) {
    // The stream keeps only a sliced copy of the lexer's exception, so its class is told by
    // its message: "unexpected char" for no viable alternative, "expecting" for a mismatch.
    const std::string message = e.getMessage();
    if (!out.empty()) out += ' ';
    if (message.find("unexpected char") != std::string::npos) out += "!NoViable";
    else if (message.find("expecting") != std::string::npos) out += "!Mismatched";
    else out += "!" + message;
  }
  return out;
}

struct Case {
  const char* in;
  const char* tokens;
};

TEST(ActionScriptLexer, TokenStreams) {
  const Case cases[] = {
      // Full stops: member access, fractions, the lone "." token (67).
      {"a.b", "6:a 67:. 6:b"},
      {".5", "69:.5"},
      {"x=.5;", "6:x 26:= 69:.5 9:;"},
      {"1.", "69:1."},
      {"1..2", "69:1. 69:.2"},
      {"5.e3", "69:5.e3"},
      {"5.each", "!NoViable"},
      // Hexadecimal and decimal forms.
      {"0x1F 0X1f", "69:0x1F 69:0X1f"},
      {"0x ", "!NoViable"},
      {"0x1G", "69:0x1 6:G"},
      {"0x1F.5", "69:0x1F.5"},
      {"08 0099", "69:08 69:0099"},
      {"1e5 1E+5 2e-3", "69:1e5 69:1E+5 69:2e-3"},
      {"1e ", "!NoViable"},
      {"1e+a", "!NoViable"},
      // Operators: longest first.
      {">>>=", "34:>>>="},
      {">>>>", "53:>>> 48:>"},
      {"a+++b", "6:a 60:++ 55:+ 6:b"},
      {"===", "45:== 26:="},
      {"!==", "46:!= 26:="},
      {"<<= <= << < >>= >= >> >", "32:<<= 49:<= 52:<< 47:< 33:>>= 50:>= 54:>> 48:>"},
      {"+= -= *= /= %= &= |= ^=", "27:+= 28:-= 29:*= 30:/= 31:%= 35:&= 36:|= 37:^="},
      {"&& || & | ^ ~ ! -- - * / %", "41:&& 40:|| 44:& 42:| 43:^ 62:~ 63:! 61:-- 56:- 57:* 58:/ 59:%"},
      // Punctuation comes out with the parser's literal types.
      {"( ) { } [ ] ; , ? :", "7:( 8:) 4:{ 10:} 65:[ 66:] 9:; 19:, 38:? 39::"},
      // Keywords are case-sensitive; other words are identifiers.
      {"For IF Var true null this", "6:For 6:IF 6:Var 6:true 6:null 6:this"},
      {"on keyPress onClipEvent", "20:on 21:keyPress 18:onClipEvent"},
      {"$a _b c9", "6:$a 6:_b 6:c9"},
      // Strings keep quotes and escapes untranslated.
      {"\"a\\nb\"", "70:\"a\\nb\""},
      {"'it\\'s'", "71:'it\\'s'"},
      {"\"\\u00e9\" \"\\uu00e9\"", "70:\"\\u00e9\" 70:\"\\uu00e9\""},
      {"\"\\1234\"", "70:\"\\1234\""},
      {"\"\\400\"", "70:\"\\400\""},
      {"\"\\q\"", "!NoViable"},
      {"\"\\u12\"", "!NoViable"},
      {"\"open\nx", "!Mismatched"},
      {"\"open", "!Mismatched"},
      {"'open", "!Mismatched"},
      // Bytes 128 to 255 only inside strings; 0 to 2 nowhere.
      {"\"\xE9\xFF\"", "70:\"\xE9\xFF\""},
      {"\xE9", "!NoViable"},
      {"\"a\x01\"", "!Mismatched"},
      {"@", "!NoViable"},
      {"#", "!NoViable"},
      {"`", "!NoViable"},
      {"\\", "!NoViable"},
      {"\x0B", "!NoViable"},
      {"\x7F", "!NoViable"},
      // Empty input and whitespace only.
      {"", ""},
      {" \t\f\r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Lex(c.in), c.tokens) << "input: " << c.in;
}

TEST(ActionScriptLexer, NulInsideStringFails) {
  EXPECT_EQ(Lex(std::string("\"a\0b\"", 5)), "!Mismatched");
}

TEST(ActionScriptLexer, LinesAndColumns) {
  const Case cases[] = {
      {"a\r\nb", "6:a@1.1 6:b@2.1"},
      {"a\n\rb", "6:a@1.1 6:b@3.1"},
      {"a\rb", "6:a@1.1 6:b@2.1"},
      {"\tx", "6:x@1.9"},
      {"ab\tx", "6:ab@1.1 6:x@1.9"},
      {"  if (x)", "11:if@1.3 7:(@1.6 6:x@1.7 8:)@1.8"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lex(c.in, true), c.tokens) << "input: " << c.in;
}

TEST(ActionScriptLexer, EndTokenRepeats) {
  std::istringstream in("x", std::ios::in | std::ios::binary);
  ActionScriptLexer lexer(in);
  EXPECT_EQ(lexer.nextToken()->getType(), ActionScriptTokenTypes::IDENTIFIER);
  for (int i = 0; i < 3; ++i) {
    antlr::RefToken end = lexer.nextToken();
    EXPECT_EQ(end->getType(), antlr::Token::EOF_TYPE);
    EXPECT_EQ(end->getText(), "");
  }
  EXPECT_TRUE(lexer.getCaseSensitiveLiterals());
}

}  // namespace
