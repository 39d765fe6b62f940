// ActionScript 1: the lexer that cuts preprocessed script text into tokens. Its token
// vocabulary, numbered by the tokens section below, is the parser's as well.
header "pre_include_hpp" {
#include "script/grammar/TextScanner.h"
}

options {
  language = "Cpp";
}

class ActionScriptLexer extends Lexer("TextScanner");
options {
  k = 4;
  charVocabulary = '\3'..'\377';
  // Only the rules whose text can be a literal look it up (once, at their end).
  testLiterals = false;
  caseSensitive = true;
  caseSensitiveLiterals = true;
  defaultErrorHandler = false;
  exportVocab = ActionScript;
}

// Token numbers, in this order from 4. The literals among them fill the literal table.
tokens {
  "{"; "function"; IDENTIFIER; "("; ")"; ";"; "}"; "if"; "else"; "with"; "while"; "do";
  "for"; "in"; "onClipEvent"; ","; "on"; "keyPress"; "break"; "continue"; "return"; "var";
  ASSIGN; ASSIGN_ADD; ASSIGN_SUB; ASSIGN_MUL; ASSIGN_DIV; ASSIGN_MOD;
  ASSIGN_LSL; ASSIGN_ASR; ASSIGN_LSR; ASSIGN_AND; ASSIGN_OR; ASSIGN_XOR;
  "?"; ":"; LOGICAL_OR; LOGICAL_AND; BIT_OR; BIT_XOR; BIT_AND; EQ; NE;
  LTHAN; GTHAN; LTE; GTE; "instanceof"; LSL; LSR; ASR;
  PLUS; MINUS; MULTIPLY; DIVIDE; MOD; INC; DEC; BIT_NOT; LOGICAL_NOT;
  "delete"; "["; "]"; "."; "new"; NUMERIC_LITERAL; STRING_LITERAL; QUOTED_LITERAL;
  LPAREN; RPAREN; LCURLY; RCURLY; LBRACKET; RBRACKET; SEMI; COMMA; SELECT; ALTERNATE;
  WS; ESC; HEX_DIGIT; EXPONENT;
}

LPAREN    options { testLiterals = true; } : '(' ;
RPAREN    options { testLiterals = true; } : ')' ;
LCURLY    options { testLiterals = true; } : '{' ;
RCURLY    options { testLiterals = true; } : '}' ;
LBRACKET  options { testLiterals = true; } : '[' ;
RBRACKET  options { testLiterals = true; } : ']' ;
SEMI      options { testLiterals = true; } : ';' ;
COMMA     options { testLiterals = true; } : ',' ;
SELECT    options { testLiterals = true; } : '?' ;
ALTERNATE options { testLiterals = true; } : ':' ;

ASSIGN      : '=' ;
EQ          : "==" ;
LOGICAL_NOT : '!' ;
NE          : "!=" ;
LTHAN       : '<' ;
LTE         : "<=" ;
LSL         : "<<" ;
ASSIGN_LSL  : "<<=" ;
GTHAN       : '>' ;
GTE         : ">=" ;
ASR         : ">>" ;
LSR         : ">>>" ;
ASSIGN_ASR  : ">>=" ;
ASSIGN_LSR  : ">>>=" ;
PLUS        : '+' ;
ASSIGN_ADD  : "+=" ;
INC         : "++" ;
MINUS       : '-' ;
ASSIGN_SUB  : "-=" ;
DEC         : "--" ;
MULTIPLY    : '*' ;
ASSIGN_MUL  : "*=" ;
DIVIDE      : '/' ;
ASSIGN_DIV  : "/=" ;
MOD         : '%' ;
ASSIGN_MOD  : "%=" ;
BIT_AND     : '&' ;
ASSIGN_AND  : "&=" ;
LOGICAL_AND : "&&" ;
BIT_OR      : '|' ;
ASSIGN_OR   : "|=" ;
LOGICAL_OR  : "||" ;
BIT_XOR     : '^' ;
ASSIGN_XOR  : "^=" ;
BIT_NOT     : '~' ;

WS
  : ( options { greedy = true; }
    : ' '
    | '\t'
    | '\f'
    | ( options { generateAmbigWarnings = false; }
      : "\r\n" | '\r' | '\n'
      )
      { newline(); }
    )+
    { $setType(ANTLR_USE_NAMESPACE(antlr)Token::SKIP); }
  ;

IDENTIFIER
options { testLiterals = true; }
  : ( 'a'..'z' | 'A'..'Z' | '_' | '$' )
    ( options { greedy = true; } : 'a'..'z' | 'A'..'Z' | '_' | '$' | '0'..'9' )*
  ;

// A lone "." is matched here and becomes the "." token through the literal table.
NUMERIC_LITERAL
options { testLiterals = true; }
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

protected EXPONENT : ( 'e' | 'E' ) ( '+' | '-' )? ( '0'..'9' )+ ;

protected HEX_DIGIT : ( '0'..'9' | 'A'..'F' | 'a'..'f' ) ;

// Escapes are checked, never translated: the token keeps its quotes and backslashes.
STRING_LITERAL : '"' ( ESC | ~( '"' | '\\' | '\n' | '\r' ) )* '"' ;

QUOTED_LITERAL : '\'' ( ESC | ~( '\'' | '\\' | '\n' | '\r' ) )* '\'' ;

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
