// The preprocessor's lexer. It cuts a script into the same operators, strings, numbers and
// names as the ActionScript lexer, plus directives, comments and line ends, and skips
// nothing: the preprocessor sees every character of its input as some token.
//
// With plain runs on, a name, a run of blanks or a bracket or separator goes on as one
// PLAIN_TEXT token over the script text after it that the preprocessor only copies: most
// lines then come as one or two tokens instead of one a word, blank and operator.
header "pre_include_hpp" {
#include "script/grammar/TextScanner.h"
}

options {
  language = "Cpp";
}

class PreprocessorLexer extends Lexer("TextScanner");
options {
  k = 4;
  charVocabulary = '\3'..'\377';
  testLiterals = false;
  caseSensitive = true;
  caseSensitiveLiterals = true;
  defaultErrorHandler = false;
  exportVocab = Preprocessor;
}

// Token numbers, in this order from 4.
tokens {
  INCLUDE; DEFINE; IFDEF; IFNDEF; ELSE; ENDIF;
  LPAREN; RPAREN; LBRACKET; RBRACKET; LCURLY; RCURLY; SEMI; COMMA; SELECT; ALTERNATE;
  ASSIGN; ASSIGN_ADD; ASSIGN_SUB; ASSIGN_MUL; ASSIGN_DIV; ASSIGN_MOD;
  ASSIGN_LSL; ASSIGN_ASR; ASSIGN_LSR; ASSIGN_AND; ASSIGN_OR; ASSIGN_XOR;
  LOGICAL_AND; LOGICAL_OR; LOGICAL_NOT; EQ; GTHAN; LTHAN; GTE; LTE; NE;
  BIT_AND; BIT_OR; BIT_XOR; BIT_NOT; LSL; LSR; ASR;
  PLUS; MINUS; MULTIPLY; DIVIDE; MOD; INC; DEC;
  WS; NEWLINE; STRING_LITERAL; QUOTED_LITERAL; IDENTIFIER; ESC; HEX_DIGIT; EXPONENT;
  NUMERIC_LITERAL; SL_COMMENT; ML_COMMENT; PLAIN_TEXT;
}

{
 public:
  // Plain runs are for script text outside directives: a directive's operands must come as
  // the tokens they are.
  void PlainRuns(bool on) { plainRuns_ = on; }

 private:
  // Takes at once what PLAIN_TEXT's loop would take character by character, and stops
  // where it would stop (the loop then ends at once). Where the characters are not read
  // straight from memory, or while guessing, the loop does it all.
  void SkipPlainRun() {
    enum : uint8_t { kStop, kName, kDigit, kTaken, kDot, kSlash };
    static const std::array<uint8_t, 256> kinds = [] {
      std::array<uint8_t, 256> k{};
      for (int c = 'a'; c <= 'z'; ++c) k[c] = k[c - 'a' + 'A'] = kName;
      k['_'] = k['$'] = kName;
      for (int c = '0'; c <= '9'; ++c) k[c] = kDigit;
      for (const char c : std::string_view(" \t\f()[]{};,?:=+-*%<>&|^!~")) k[static_cast<unsigned char>(c)] = kTaken;
      k['.'] = kDot;
      k['/'] = kSlash;
      return k;
    }();
    const std::string_view text = Ahead();
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = begin + text.size();
    const auto* p = begin;
    while (p < end) {
      const uint8_t kind = kinds[*p];
      if (kind == kName) {
        for (++p; p < end && (kinds[*p] == kName || kinds[*p] == kDigit); ++p) {
        }
      } else if (kind == kTaken) {
        ++p;
      } else if (kind == kDot && !(p + 1 < end && kinds[p[1]] == kDigit)) {
        ++p;
      } else if (kind == kSlash && !(p + 1 < end && (p[1] == '/' || p[1] == '*'))) {
        ++p;
      } else {
        break;
      }
    }
    ConsumeAhead(static_cast<size_t>(p - begin));
  }

  // Where the last line end read inside a block comment stands, and whether it is the last
  // thing read.
  void NoteLineEnd() {
    lineEndLine_ = getLine();
    lineEndColumn_ = getColumn();
  }
  void AtEndOfLastLine() {
    if (lineEndLine_ == getLine() - 1 && getColumn() == 1) {
      setLine(lineEndLine_);
      setColumn(lineEndColumn_);
    }
  }

  bool plainRuns_ = false;
  int lineEndLine_ = 0;
  int lineEndColumn_ = 0;
}

INCLUDE : "#include" ;
DEFINE  : "#define" ;
IFDEF   : "#ifdef" ;
IFNDEF  : "#ifndef" ;
ELSE    : "#else" ;
ENDIF   : "#endif" ;

LPAREN
  : '('
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
RPAREN
  : ')'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
LBRACKET
  : '['
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
RBRACKET
  : ']'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
LCURLY
  : '{'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
RCURLY
  : '}'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
SEMI
  : ';'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
COMMA
  : ','
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
SELECT
  : '?'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
ALTERNATE
  : ':'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;

ASSIGN      : '=' ;
ASSIGN_ADD  : "+=" ;
ASSIGN_SUB  : "-=" ;
ASSIGN_MUL  : "*=" ;
ASSIGN_DIV  : "/=" ;
ASSIGN_MOD  : "%=" ;
ASSIGN_LSL  : "<<=" ;
ASSIGN_ASR  : ">>=" ;
ASSIGN_LSR  : ">>>=" ;
ASSIGN_AND  : "&=" ;
ASSIGN_OR   : "|=" ;
ASSIGN_XOR  : "^=" ;
LOGICAL_AND : "&&" ;
LOGICAL_OR  : "||" ;
LOGICAL_NOT : '!' ;
EQ          : "==" ;
GTHAN       : '>' ;
LTHAN       : '<' ;
GTE         : ">=" ;
LTE         : "<=" ;
NE          : "!=" ;
BIT_AND     : '&' ;
BIT_OR      : '|' ;
BIT_XOR     : '^' ;
BIT_NOT
  : '~'
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;
LSL         : "<<" ;
LSR         : ">>>" ;
ASR         : ">>" ;
PLUS        : '+' ;
MINUS       : '-' ;
MULTIPLY    : '*' ;
DIVIDE      : '/' ;
MOD         : '%' ;
INC         : "++" ;
DEC         : "--" ;

// A run of blanks is one token: scripts are indented, and a token per blank would be a third
// of all the tokens read.
WS
  : ( options { greedy = true; } : ' ' | '\t' | '\f' )+
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;

NEWLINE
  : ( options { generateAmbigWarnings = false; }
    : "\r\n" | '\r' | '\n' )
    { newline(); }
  ;

STRING_LITERAL : '"' ( ESC | ~( '"' | '\\' | '\n' | '\r' ) )* '"' ;

QUOTED_LITERAL : '\'' ( ESC | ~( '\'' | '\\' | '\n' | '\r' ) )* '\'' ;

IDENTIFIER
  : ( 'a'..'z' | 'A'..'Z' | '_' | '$' )
    ( options { greedy = true; } : 'a'..'z' | 'A'..'Z' | '_' | '$' | '0'..'9' )*
    ( options { greedy = true; } : { plainRuns_ }? PLAIN_TEXT { $setType(PLAIN_TEXT); } )?
  ;

// What follows a token that can start a plain run and still belongs to it: names, blanks and
// every operator character, up to what starts a number (a digit outside a name, a "." before
// a digit), a string, a comment, a directive or a line end, and before any character no rule
// takes, so that such a character is refused where it stands. A token in the run would have
// been read the same from where it starts, so the run ends where a token ended before.
protected PLAIN_TEXT
  : { SkipPlainRun(); }
    ( options { greedy = true; }
    : ( 'a'..'z' | 'A'..'Z' | '_' | '$' )
      ( options { greedy = true; } : 'a'..'z' | 'A'..'Z' | '_' | '$' | '0'..'9' )*
    | ' ' | '\t' | '\f'
    | '(' | ')' | '[' | ']' | '{' | '}' | ';' | ',' | '?' | ':'
    | '=' | '+' | '-' | '*' | '%' | '<' | '>' | '&' | '|' | '^' | '!' | '~'
    | { LA(2) < '0' || LA(2) > '9' }? '.'
    | { LA(2) != '/' && LA(2) != '*' }? '/'
    )*
  ;

protected ESC
  : '\\'
    ( 'n' | 'r' | 't' | 'b' | 'f' | '"' | '\'' | '\\'
    | ( 'u' )+ HEX_DIGIT HEX_DIGIT HEX_DIGIT HEX_DIGIT
    | '0'..'3'
      ( options { warnWhenFollowAmbig = false; }
      : '0'..'7' ( options { warnWhenFollowAmbig = false; } : '0'..'7' )?
      )?
    | '4'..'7' ( options { warnWhenFollowAmbig = false; } : '0'..'7' )?
    )
  ;

protected HEX_DIGIT : ( '0'..'9' | 'A'..'F' | 'a'..'f' ) ;

protected EXPONENT : ( 'e' | 'E' ) ( '+' | '-' )? ( '0'..'9' )+ ;

// A lone "." is a number token here; only the ActionScript lexer turns it into ".".
NUMERIC_LITERAL
  : '.'
    ( ( '0'..'9' )+ ( options { greedy = true; } : EXPONENT )? )?
  | ( '0'
      ( ( 'x' | 'X' ) ( options { greedy = true; } : HEX_DIGIT )+
      | ( '0'..'9' )+
      )?
    | '1'..'9' ( options { greedy = true; } : '0'..'9' )*
    )
    ( options { greedy = true; }
    : '.' ( options { greedy = true; } : '0'..'9' )*
      ( options { greedy = true; } : EXPONENT )?
    | EXPONENT
    )?
  ;

// The comment takes its line end with it. It also ends at the end of the text, and before a
// character no rule takes, which is then refused where it stands, on the comment's line.
SL_COMMENT
  : "//" ( ~( '\n' | '\r' ) )*
    ( '\n' { newline(); }
    | '\r' ( options { greedy = true; } : '\n' )? { newline(); }
    )?
  ;

// A comment left open at the end of the text is refused at the end of its last line, not at
// the start of a line after it. The line ends are told apart by the next character alone:
// the end of the text may follow them.
ML_COMMENT
  : "/*"
    ( options { generateAmbigWarnings = false; }
    : { LA(2) != '/' }? '*'
    | { NoteLineEnd(); } '\n' { newline(); }
    | { NoteLineEnd(); } '\r' { if (LA(1) == '\n') match('\n'); newline(); }
    | ~( '*' | '\n' | '\r' )
    )*
    { if (LA(1) == EOF_CHAR) AtEndOfLastLine(); }
    "*/"
  ;
